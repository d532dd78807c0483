#include "common/globals.h"
#include "common/timing.h"
#include "serial/workspace_link.h"
#include "service/cam_pwm_parameters.h"
#include "service/controller_password.h"
#include "sim/vvt_controller.h"
#include "sim_ports.h"
#include "test_environment.h"
#include "vvt/vvt_link.h"
#include "vvt_fixture.h"
#include "window_driver.h"

#include <QDialog>
#include <QLineEdit>
#include <QtTest>

#include <memory>

using namespace vx;

Q_DECLARE_METATYPE(vx::Message)
Q_DECLARE_METATYPE(std::optional<qint32>)

namespace {
constexpr int kConnectMs = 5000;
}

class TestVvtConnect : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        env = std::make_unique<test::TestEnvironment>();
        timing::setScale(0.2);
        ecu = std::make_unique<sim::VvtController>();
        shell = test::RecordingShell();
    }
    void cleanup()
    {
        delete workspace.data();
        ecu.reset();
        env.reset();
    }

    void reachesRunning_data();
    void reachesRunning();
    void silentControllerKeepsTryingBothRates();
    void rejectedController_data();
    void rejectedController();
    void versionNumbersBeyondSixteenBits();
    void password_data();
    void password();
    void portThatDoesNotExist_data();
    void portThatDoesNotExist();
    void lostLinkWhileRunningReconnects();
    void vanishedAdapterReconnectsWhenBack();
    void offlineSendsNothing();
    void saveWithCancelledDialogStays();
    void linkOperations();
    void serviceDialogsUseTheWorkspaceLink();
    void exitWhileWaitingForTheController();
    void exitWhileWaitingForTheLogin_data();
    void exitWhileWaitingForTheLogin();

private:
    void open()
    {
        workspace = new Changadv(shell);
        workspace->show();
    }
    bool waitRunning(int ms = kConnectMs)
    {
        return QTest::qWaitFor([&] { return workspace && test::statusOf(*workspace) == "Running"; },
                               ms);
    }

    std::unique_ptr<test::TestEnvironment> env;
    std::unique_ptr<sim::VvtController> ecu;
    test::RecordingShell shell;
    QPointer<Changadv> workspace;
};

void TestVvtConnect::reachesRunning_data()
{
    QTest::addColumn<std::optional<qint32>>("onlyAt");
    QTest::addColumn<qint32>("baud");
    QTest::newRow("answers at 38400") << std::optional<qint32>() << 38400;
    QTest::newRow("answers only at 115200") << std::optional<qint32>(115200) << 115200;
}

void TestVvtConnect::reachesRunning()
{
    QFETCH(std::optional<qint32>, onlyAt);
    QFETCH(qint32, baud);
    sim::FaultSettings faults;
    faults.answerOnlyAtBaud = onlyAt;
    ecu->setFaults(faults);
    test::plugAtPort(*ecu, 1, *env);
    open();
    QCOMPARE(test::statusOf(*workspace), QString());
    QVERIFY(waitRunning());
    QCOMPARE(ecu->link().baudRate(), baud);
    QCOMPARE(test::captionOf(*workspace, "FirmwareVer"), QStringLiteral("V1.2-3"));
    QCOMPARE(G.FirmwareVersionNumber, 10203);
    QCOMPARE(G.ControllerConnected, 1);
    QVERIFY(G.VvtEcuType);
    QCOMPARE(G.BufferCaption, QStringLiteral("DEMO"));
    QCOMPARE(workspace->windowTitle(), QStringLiteral("Vantorex ECU Manager - DEMO"));
    QVERIFY(workspace->grid().cell(239)->isEnabled());
    QVERIFY(test::buttonOf(*workspace, "Nvram")->isEnabled());
    QVERIFY(workspace->timer3().isActive());
    QCOMPARE(shell.mainWindowShown, 0);
    QVERIFY2(env->prompts.messages.isEmpty(), qPrintable(env->prompts.texts().join('|')));
}

void TestVvtConnect::silentControllerKeepsTryingBothRates()
{
    sim::FaultSettings faults;
    faults.silent = true;
    ecu->setFaults(faults);
    test::plugAtPort(*ecu, 1, *env);
    QSet<qint32> rates;
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [&] {
        if (ecu->link().isOpenByProgram())
            rates << ecu->link().baudRate();
    });
    watch.start(5);
    open();
    QTRY_VERIFY_WITH_TIMEOUT(rates.contains(115200) && ecu->wakeUpCount() >= 3, kConnectMs);
    QVERIFY(rates.contains(38400));
    QCOMPARE(test::statusOf(*workspace), QStringLiteral("Initialising system"));
    QVERIFY(!workspace->grid().cell(0)->isEnabled());
    QVERIFY(!test::buttonOf(*workspace, "Nvram")->isEnabled());
    QVERIFY(env->prompts.messages.isEmpty());
    QCOMPARE(shell.mainWindowShown, 0);
}

void TestVvtConnect::rejectedController_data()
{
    QTest::addColumn<QByteArray>("version");
    QTest::addColumn<bool>("illegal");
    QTest::addColumn<std::optional<qint32>>("onlyAt");
    QTest::addColumn<Message>("expected");
    QTest::newRow("ve illegal at 38400")
        << QByteArray("V1.2-3") << true << std::optional<qint32>()
        << Message{"ECU is not a Vantorex 3 system, try Vantorex 2",
                   kProgramTitle,
                   Buttons::Ok,
                   Icon::None,
                   {}};
    QTest::newRow("ve illegal at 115200")
        << QByteArray("V1.2-3") << true << std::optional<qint32>(115200)
        << Message{"ECU is not a Vantorex HS system or it maybe in 'Update Mode'",
                   kProgramTitle,
                   Buttons::Ok,
                   Icon::None,
                   {}};
    QTest::newRow("too old")
        << QByteArray("V0.99-99") << false << std::optional<qint32>()
        << Message{"ECU firmware V0.99-99 is too old, requires a minimum of V1.0.0",
                   "Error",
                   Buttons::Ok,
                   Icon::Critical,
                   {}};
}

void TestVvtConnect::rejectedController()
{
    QFETCH(QByteArray, version);
    QFETCH(bool, illegal);
    QFETCH(std::optional<qint32>, onlyAt);
    QFETCH(Message, expected);
    ecu->setVersion(version);
    sim::FaultSettings faults;
    if (illegal)
        faults.illegalCommands = {"ve"};
    faults.answerOnlyAtBaud = onlyAt;
    ecu->setFaults(faults);
    test::plugAtPort(*ecu, 1, *env);
    open();
    QTRY_COMPARE_WITH_TIMEOUT(shell.mainWindowShown, 1, kConnectMs);
    QTRY_VERIFY(!workspace);
    QCOMPARE(env->prompts.messages.size(), 1);
    const Message& shown = env->prompts.messages[0];
    QCOMPARE(shown.text, expected.text);
    QCOMPARE(shown.title, expected.title);
    QCOMPARE(shown.icon, expected.icon);
    QCOMPARE(G.ControllerConnected, 0);
    QTRY_VERIFY(!ecu->link().isOpenByProgram());
}

void TestVvtConnect::versionNumbersBeyondSixteenBits()
{
    ecu->setVersion("V4.5-6");
    test::plugAtPort(*ecu, 1, *env);
    open();
    QVERIFY(waitRunning());
    QCOMPARE(G.FirmwareVersionNumber, 40506);
}

void TestVvtConnect::password_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("typed"); // empty: Cancel in the dialog
    QTest::addColumn<bool>("dialogShown");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("running");
    QTest::newRow("stored password is right") << "tune42"
                                              << "" << false << QStringList() << true;
    QTest::newRow("stored password is wrong, typed one right")
        << "tune41"
        << "tune42" << true << QStringList{"ECU Password incorrect"} << true;
    QTest::newRow("no stored password, typed") << ""
                                               << "tune42" << true << QStringList() << true;
    QTest::newRow("cancelled") << ""
                               << "" << true << QStringList() << false;
}

void TestVvtConnect::password()
{
    QFETCH(QString, stored);
    QFETCH(QString, typed);
    QFETCH(bool, dialogShown);
    QFETCH(QStringList, messages);
    QFETCH(bool, running);
    ecu->setPassword("tune42");
    G.ControllerPassword = stored;
    test::plugAtPort(*ecu, 1, *env);
    bool shown = false;
    test::whenModalShown("EcuSecurity", [&](QWidget* dialog) {
        shown = true;
        QVERIFY(dialog->findChild<QWidget*>("Frame13")->isVisible());
        QVERIFY(!dialog->findChild<QWidget*>("Frame1")->isVisible());
        if (typed.isEmpty()) {
            QTest::mouseClick(dialog->findChild<QPushButton*>("Cancel"), Qt::LeftButton);
            return;
        }
        auto* entry = dialog->findChild<QLineEdit*>("ECU_Password_Entry");
        entry->setText(typed);
        QTest::keyClick(entry, Qt::Key_Return);
    });
    open();
    if (running) {
        QVERIFY(waitRunning());
        QCOMPARE(G.ControllerPassword, QStringLiteral("tune42"));
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(shell.mainWindowShown, 1, kConnectMs);
        QVERIFY(G.PasswordCancelled);
    }
    QCOMPARE(shown, dialogShown);
    QCOMPARE(env->prompts.texts(), messages);
    if (!messages.isEmpty())
        QCOMPARE(env->prompts.messages[0].icon, Icon::Critical);
}

void TestVvtConnect::portThatDoesNotExist_data()
{
    QTest::addColumn<bool>("permission");
    QTest::newRow("no such port") << false;
    QTest::newRow("no permission") << true;
}

void TestVvtConnect::portThatDoesNotExist()
{
    QFETCH(bool, permission);
    G.ComPortNumber = 5;
    if (permission) {
        test::plugAtPort(*ecu, 5, *env);
        ComPort::setAccessCheck([](const QString& device) {
            return PortOpenResult{PortFailure::PermissionDenied, device, "dialout"};
        });
    }
    // OK opens the setup dialog; the second box is answered with Cancel, which closes.
    env->prompts.answer(Answer::Ok);
    env->prompts.answer(Answer::Cancel);
    int setupShown = 0;
    test::whenModalShown("Setup", [&](QWidget* dialog) {
        ++setupShown;
        static_cast<QDialog*>(dialog)->reject();
    });
    open();
    QTRY_COMPARE_WITH_TIMEOUT(shell.mainWindowShown, 1, kConnectMs);
    QCOMPARE(setupShown, 1);
    QCOMPARE(env->prompts.messages.size(), 2);
    const Message& box = env->prompts.messages[0];
    if (permission)
        QVERIFY(box.text.contains("sudo usermod -aG dialout"));
    else
        QCOMPARE(box.text, QStringLiteral("COM5 is not available, please select a new COM port"));
    QCOMPARE(box.title, QStringLiteral("Port open error"));
    QCOMPARE(box.buttons, Buttons::OkCancel);
    QCOMPARE(box.icon, Icon::Critical);
    QTRY_VERIFY(!workspace);
}

void TestVvtConnect::lostLinkWhileRunningReconnects()
{
    test::plugAtPort(*ecu, 1, *env);
    open();
    QVERIFY(waitRunning());
    sim::FaultSettings faults;
    faults.silent = true;
    ecu->setFaults(faults);
    QTRY_COMPARE_WITH_TIMEOUT(test::statusOf(*workspace), QStringLiteral("Reconnecting..."),
                              kConnectMs);
    QCOMPARE(workspace->statusText(), QStringLiteral("Lost connection"));
    QCOMPARE(test::captionOf(*workspace, "CurrRPM"), QStringLiteral("0"));
    QVERIFY(!workspace->grid().cell(0)->isEnabled());
    ecu->setFaults({});
    QVERIFY(waitRunning());
    QVERIFY(env->prompts.messages.isEmpty());
    QCOMPARE(shell.mainWindowShown, 0);
}

void TestVvtConnect::vanishedAdapterReconnectsWhenBack()
{
    test::plugAtPort(*ecu, 1, *env);
    open();
    QVERIFY(waitRunning());
    ecu->unplug();
    QTRY_COMPARE_WITH_TIMEOUT(test::statusOf(*workspace), QStringLiteral("Reconnecting..."),
                              kConnectMs);
    QVERIFY(!workspace->port().isOpen());
    // A few connect ticks with the adapter gone: no message and no busy loop.
    const int ticksBefore = ecu->wakeUpCount();
    QTest::qWait(timing::scaled(timing::kConnectTickMs) * 3);
    QVERIFY(env->prompts.messages.isEmpty());
    QCOMPARE(ecu->wakeUpCount(), ticksBefore);
    QVERIFY(ecu->replug());
    QVERIFY(waitRunning());
    QVERIFY(env->prompts.messages.isEmpty());
}

void TestVvtConnect::offlineSendsNothing()
{
    G.OfflineMode = true;
    test::plugAtPort(*ecu, 1, *env);
    open();
    QCOMPARE(test::statusOf(*workspace), QStringLiteral("Editing offline"));
    QVERIFY(!test::buttonOf(*workspace, "Nvram")->isEnabled());
    QVERIFY(!test::buttonOf(*workspace, "SetPassword")->isEnabled());
    QVERIFY(test::buttonOf(*workspace, "ThrotCal")->isVisible());
    QVERIFY(!workspace->findChild<QWidget*>("EngineData")->isVisible());
    QVERIFY(workspace->grid().cell(0)->isEnabled());
    QTest::qWait(timing::scaled(timing::kConnectTickMs) * 3);
    QCOMPARE(ecu->receivedByteCount(), 0);
    QVERIFY(!ecu->link().isOpenByProgram());
    workspace->Nvram_Click();
    QVERIFY(env->prompts.messages.isEmpty());
}

void TestVvtConnect::saveWithCancelledDialogStays()
{
    test::plugAtPort(*ecu, 1, *env);
    open();
    QVERIFY(waitRunning());
    env->prompts.chooseFile(std::nullopt);
    workspace->ChangAdvExit_Click(1);
    QVERIFY(workspace);
    QCOMPARE(shell.mainWindowShown, 0);
    QCOMPARE(env->prompts.fileRequests.size(), 1);
    workspace->ChangAdvExit_Click(0);
    QCOMPARE(shell.mainWindowShown, 1);
    QCOMPARE(G.ControllerConnected, 0);
    QTRY_VERIFY(!workspace);
    QTRY_VERIFY(!ecu->link().isOpenByProgram());
}

void TestVvtConnect::linkOperations()
{
    test::plugAtPort(*ecu, 1, *env);
    open();
    QVERIFY(waitRunning());
    workspace->SyncWithRPMTimer(false);
    QVERIFY(!workspace->timer3().isActive());
    QCOMPARE(G.PollState, 0);
    QCOMPARE(workspace->GetECUValue("ty\r", QString(), 2), 1);
    ecu->setUnanswered({"ty"});
    QCOMPARE(workspace->GetECUValue("ty\r", QString(), 2), -1);
    QCOMPARE(env->prompts.texts(), QStringList{"ECU not responding"});
    workspace->ReInitConnection();
    QCOMPARE(workspace->statusText(), QStringLiteral("Lost connection"));
    QCOMPARE(test::captionOf(*workspace, "CurrRPM"), QStringLiteral("0 RPM"));
    QVERIFY(!workspace->port().isOpen());
    QVERIFY(workspace->timer2().isActive());
    QVERIFY(waitRunning());
}

void TestVvtConnect::serviceDialogsUseTheWorkspaceLink()
{
    test::plugAtPort(*ecu, 1, *env);
    open();
    QVERIFY(waitRunning());
    bool pausedMeanwhile = false;
    test::whenModalShown("EcuSecurity", [&](QWidget* dialog) {
        pausedMeanwhile = !workspace->timer3().isActive();
        QVERIFY(dialog->findChild<QWidget*>("Frame1")->isVisible());
        QTest::mouseClick(dialog->findChild<QPushButton*>("Exit"), Qt::LeftButton);
    });
    QTest::mouseClick(test::buttonOf(*workspace, "SetPassword"), Qt::LeftButton);
    QVERIFY(pausedMeanwhile);
    QVERIFY(workspace->timer3().isActive());

    bool throttleShown = false;
    test::whenModalShown("ThrottleSetup", [&](QWidget* dialog) {
        throttleShown = true;
        static_cast<QDialog*>(dialog)->reject();
    });
    QTest::mouseClick(test::buttonOf(*workspace, "ThrotCal"), Qt::LeftButton);
    QVERIFY(throttleShown);
    QCOMPARE(workspaceLink("Changadv"), static_cast<WorkspaceLink*>(&workspace->link()));

    QTest::mouseClick(test::buttonOf(*workspace, "SetupPWM_0"), Qt::LeftButton);
    QVERIFY(workspace->pwmParameters().isVisible());
    QVERIFY(!workspace->pwmParameters().isModal());
    QTest::mouseClick(test::buttonOf(*workspace, "ChangAdvExit_0"), Qt::LeftButton);
    QTRY_VERIFY(!workspace);
    QVERIFY(!workspaceLink("Changadv"));
}

void TestVvtConnect::exitWhileWaitingForTheController()
{
    sim::FaultSettings faults;
    faults.replyDelay = std::chrono::milliseconds(40);
    ecu->setFaults(faults);
    test::plugAtPort(*ecu, 1, *env);
    // Exit is pressed while the connect tick waits for the answer to "do".
    connect(ecu.get(), &sim::Controller::lineReceived, this, [&](const QByteArray& line) {
        if (line == "do")
            QTimer::singleShot(10, this,
                               [&] { test::buttonOf(*workspace, "ChangAdvExit_0")->click(); });
    });
    open();
    QTRY_VERIFY_WITH_TIMEOUT(!workspace, kConnectMs);
    QVERIFY(ecu->receivedLines().contains("do"));
    QVERIFY(!ecu->receivedLines().contains("cy"));
    QCOMPARE(shell.mainWindowShown, 1);
    QCOMPARE(G.ControllerConnected, 0);
    QVERIFY(env->prompts.messages.isEmpty());
    QTRY_VERIFY(!ecu->link().isOpenByProgram());
}

void TestVvtConnect::exitWhileWaitingForTheLogin_data()
{
    QTest::addColumn<int>("answered");
    QTest::addColumn<QByteArray>("exitAt");
    QTest::newRow("password question") << 1 << QByteArray("");
    QTest::newRow("version") << 2 << QByteArray("ve");
}

void TestVvtConnect::exitWhileWaitingForTheLogin()
{
    QFETCH(int, answered);
    QFETCH(QByteArray, exitAt);
    timing::setScale(1.0);
    sim::FaultSettings faults;
    faults.silentAfterLines = answered;
    ecu->setFaults(faults);
    test::plugAtPort(*ecu, 1, *env);
    // Exit while the unanswered line is waited for; the main window shown by Exit would find
    // the old workspace again if it stayed for the rest of the wait.
    bool stillThere = false;
    connect(ecu.get(), &sim::Controller::lineReceived, this, [&](const QByteArray& line) {
        if (line != exitAt || ecu->receivedLines().size() != answered + 1)
            return;
        QTimer::singleShot(10, this, [&] {
            test::buttonOf(*workspace, "ChangAdvExit_0")->click();
            QTimer::singleShot(100, this, [&] { stillThere = !workspace.isNull(); });
        });
    });
    open();
    QTRY_COMPARE_WITH_TIMEOUT(shell.mainWindowShown, 1, kConnectMs);
    QTRY_VERIFY(!workspace);
    QTest::qWait(150);
    QVERIFY(!stillThere);
    QVERIFY(env->prompts.messages.isEmpty());
}

QTEST_MAIN(TestVvtConnect)
#include "test_vvt_connect.moc"
