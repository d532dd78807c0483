#include "app/mainmenu.h"
#include "common/globals.h"
#include "common/timing.h"
#include "gearbox_fixture.h"
#include "once_received.h"
#include "serial/workspace_link.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace vx;
using vx::test::GearboxFixture;

namespace {

const QString kNotVantorex =
    QStringLiteral("ECU is not a Vantorex VVT/Gearbox system or it maybe in 'Update Mode'");
const QString kTitle = QStringLiteral("Gearbox Controller Setup   -   GCU Firmware Version: ");

} // namespace

class TestGearboxConnect : public QObject
{
    Q_OBJECT
private slots:
    void init() { fx = std::make_unique<GearboxFixture>(); }
    void cleanup() { fx.reset(); }

    void connectsAndShowsTheVersion_data();
    void connectsAndShowsTheVersion();
    void leavesTestModeLeftOver();
    void retriesUntilTheControllerAnswers();
    void refusesAtTheVersion_data();
    void refusesAtTheVersion();
    void notAGearboxController();
    void triggerTypes_data();
    void triggerTypes();
    void silentAfterWakeUpRetries();
    void lostLinkReconnects();
    void vanishedPortReconnects();
    void portOpenErrorCancelCloses();
    void exitClosesAndShowsTheMainWindow();
    void linkIsRegisteredWhileOpen();
    void exitDuringAnExchange();
    void requestDuringAnExchange_data();
    void requestDuringAnExchange();
    void fromTheMainWindow_data();
    void fromTheMainWindow();

private:
    std::unique_ptr<GearboxFixture> fx;
};

void TestGearboxConnect::connectsAndShowsTheVersion_data()
{
    QTest::addColumn<QByteArray>("version");
    QTest::addColumn<int>("number");
    QTest::newRow("2.3-6") << QByteArray("V2.3-6") << 20306;
    QTest::newRow("two-digit fields") << QByteArray("V2.03-08") << 20308;
    QTest::newRow("minimum 2.0-0") << QByteArray("V2.0-0") << 20000;
    QTest::newRow("letter X") << QByteArray("X2.4-1") << 20401;
}

void TestGearboxConnect::connectsAndShowsTheVersion()
{
    QFETCH(QByteArray, version);
    QFETCH(int, number);
    fx->gcu.setVersion(version);
    QVERIFY(fx->openAndConnect());
    QCOMPARE(fx->workspace->windowTitle(), kTitle + QString::fromLatin1(version));
    QCOMPARE(G.FirmwareVersionNumber, number);
    QCOMPARE(fx->workspace->Prompt, QStringLiteral("*"));
    QVERIFY(fx->gcu.wakeUpCount() >= 1);
    const QByteArrayList lines = fx->gcu.receivedLines();
    QCOMPARE(lines.mid(0, 5), (QByteArrayList{"", "ex", "ve", "do", "do"}));
    QVERIFY(lines.contains("00gd"));
    QVERIFY(fx->env->prompts.messages.isEmpty());
    QVERIFY(fx->button("TestUpshift")->isEnabled());
    QVERIFY(!fx->button("UpShift")->isEnabled());
}

void TestGearboxConnect::leavesTestModeLeftOver()
{
    fx->gcu.setPrompt(sim::GearboxController::kTestModePrompt);
    QVERIFY(fx->openAndConnect());
    QVERIFY(!fx->gcu.inTestMode());
    QCOMPARE(fx->child<QPushButton>("EnableDisable")->text(), QStringLiteral("Enable"));
    QCOMPARE(fx->workspace->Prompt, QStringLiteral("*"));
}

void TestGearboxConnect::retriesUntilTheControllerAnswers()
{
    sim::FaultSettings silent;
    silent.silent = true;
    fx->gcu.setFaults(silent);
    fx->open();
    QTRY_VERIFY_WITH_TIMEOUT(fx->gcu.wakeUpCount() >= 2, 5000);
    QCOMPARE(fx->status(), QStringLiteral("Connecting..."));
    QCOMPARE(G.ControllerConnected, 0);
    fx->gcu.setFaults({});
    QVERIFY(fx->waitRunning());
    QVERIFY(fx->env->prompts.messages.isEmpty());
}

void TestGearboxConnect::refusesAtTheVersion_data()
{
    QTest::addColumn<QByteArray>("version");
    QTest::addColumn<bool>("illegal");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("icon");
    QTest::newRow("illegal") << QByteArray("V2.3-8") << true << kNotVantorex
                             << QString(kProgramTitle) << int(Icon::None);
    QTest::newRow("short answer") << QByteArray("V2") << false << kNotVantorex
                                  << QString(kProgramTitle) << int(Icon::None);
    QTest::newRow("too old")
        << QByteArray("V1.99-99") << false
        << QStringLiteral("ECU firmware V1.99-99 is too old, requires a minimum of V2.0.0")
        << QStringLiteral("Error") << int(Icon::Critical);
}

void TestGearboxConnect::refusesAtTheVersion()
{
    QFETCH(QByteArray, version);
    QFETCH(bool, illegal);
    QFETCH(QString, message);
    QFETCH(QString, title);
    QFETCH(int, icon);
    fx->gcu.setVersion(version);
    if (illegal) {
        sim::FaultSettings faults;
        faults.illegalCommands = {"ve"};
        fx->gcu.setFaults(faults);
    }
    fx->open();
    QTRY_VERIFY_WITH_TIMEOUT(fx->workspace.isNull(), 5000);
    QCOMPARE(fx->env->prompts.texts(), QStringList{message});
    QCOMPARE(fx->env->prompts.messages.first().title, title);
    QCOMPARE(int(fx->env->prompts.messages.first().icon), icon);
    QCOMPARE(fx->shell.mainWindowShown, 1);
    QCOMPARE(G.ControllerConnected, 0);
    QVERIFY(!fx->gcu.receivedLines().contains("do"));
}

void TestGearboxConnect::notAGearboxController()
{
    fx->gcu.setDescriptionOverride("VVT ECU Type 3 cam phasing controller");
    fx->open();
    QTRY_VERIFY_WITH_TIMEOUT(fx->workspace.isNull(), 5000);
    QCOMPARE(fx->env->prompts.texts(), QStringList{"The connected ECU is NOT a Gearbox GCU!!"});
    QCOMPARE(fx->shell.gearboxButtonDisabled, 1);
    QCOMPARE(fx->shell.mainWindowShown, 1);
    QCOMPARE(G.ControllerConnected, 0);
}

void TestGearboxConnect::triggerTypes_data()
{
    QTest::addColumn<int>("fromEcu");
    QTest::addColumn<int>("pcType");
    QTest::addColumn<int>("ecuType");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("runs");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QByteArrayList>("sent");
    QTest::addColumn<int>("triggerAfter");

    const QString question = QStringLiteral(
        "ECU and PC have different trigger types\rECU = Multitooth 36-1-1-1-1\rPC = Yamaha R1\r"
        "Change trigger type in the ECU?");
    QTest::newRow("same") << 0 << 2 << 2 << int(Answer::No) << true << QStringList()
                          << QByteArrayList() << 2;
    QTest::newRow("controller wins")
        << 1 << 2 << 4 << int(Answer::No) << true << QStringList() << QByteArrayList() << 4;
    QTest::newRow("refused")
        << 0 << 2 << 4 << int(Answer::No) << false
        << QStringList{question, "Use Setup to change the PC's trigger type to match the "
                                 "ECU (Multitooth 36-1-1-1-1)"}
        << QByteArrayList() << 2;
    QTest::newRow("changed") << 0 << 2 << 4 << int(Answer::Yes) << false
                             << QStringList{question,
                                            "The ECU will have now restarted in Yamaha R1 trigger "
                                            "mode. Please re-connect to the ECU"}
                             << QByteArrayList{"02ty", "00000000ch"} << 2;
}

void TestGearboxConnect::triggerTypes()
{
    QFETCH(int, fromEcu);
    QFETCH(int, pcType);
    QFETCH(int, ecuType);
    QFETCH(int, answer);
    QFETCH(bool, runs);
    QFETCH(QStringList, texts);
    QFETCH(QByteArrayList, sent);
    QFETCH(int, triggerAfter);
    G.ProgSettingsFromECU = fromEcu;
    G.TriggerType = pcType;
    fx->gcu.settings().setValue("ty", ecuType);
    fx->env->prompts.answer(Answer(answer));
    fx->env->prompts.answer(Answer::Ok);
    fx->open();
    if (runs) {
        QVERIFY(fx->waitRunning());
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(fx->workspace.isNull(), 5000);
        QCOMPARE(fx->shell.mainWindowShown, 1);
    }
    QCOMPARE(fx->env->prompts.texts(), texts);
    if (!texts.isEmpty()) {
        const Message& asked = fx->env->prompts.messages.first();
        QCOMPARE(asked.title, QStringLiteral("Warning"));
        QCOMPARE(asked.buttons, Buttons::YesNo);
        QCOMPARE(asked.icon, Icon::Question);
        QCOMPARE(asked.defaultButton, std::optional<Answer>(Answer::No));
    }
    if (answer == int(Answer::Yes)) {
        QCOMPARE(fx->env->prompts.messages.last().icon, Icon::Exclamation);
        QCOMPARE(fx->env->prompts.messages.last().title, QStringLiteral("Warning"));
        QCOMPARE(fx->gcu.restartRequests(), 1);
        QCOMPARE(fx->gcu.settings().value("ty"), std::optional<int>(pcType));
    }
    QByteArrayList changes;
    for (const QByteArray& line : fx->gcu.receivedLines()) {
        if (line.endsWith("ty") && line != "ty")
            changes << line;
        if (line.endsWith("ch"))
            changes << line;
    }
    QCOMPARE(changes, sent);
    QCOMPARE(G.TriggerType, triggerAfter);
}

void TestGearboxConnect::silentAfterWakeUpRetries()
{
    // Answers the wake-up and "ex" but never the version: the bounded wait starts over.
    sim::FaultSettings faults;
    faults.silentAfterLines = 2;
    fx->gcu.setFaults(faults);
    fx->open();
    QTRY_VERIFY_WITH_TIMEOUT(fx->gcu.receivedLines().count("ve") >= 1, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(fx->gcu.wakeUpCount() >= 2, 5000);
    QCOMPARE(G.ControllerConnected, 0);
    QVERIFY(fx->workspace);
    QVERIFY(fx->env->prompts.messages.isEmpty());
}

void TestGearboxConnect::lostLinkReconnects()
{
    QVERIFY(fx->openAndConnect());
    sim::FaultSettings silent;
    silent.silent = true;
    fx->gcu.setFaults(silent);
    QTRY_COMPARE_WITH_TIMEOUT(fx->status(), QStringLiteral("Lost connection"), 5000);
    QCOMPARE(G.ControllerConnected, 0);
    QVERIFY(!fx->box("UpshiftTimeout")->isEnabled());
    fx->gcu.setFaults({});
    QVERIFY(fx->waitRunning());
    QVERIFY(fx->box("UpshiftTimeout")->isEnabled());
}

void TestGearboxConnect::vanishedPortReconnects()
{
    QVERIFY(fx->openAndConnect());
    // Still unplugged at the reconnect: the port error box, then the setup dialog the user
    // closes once the adapter is back.
    fx->env->prompts.answer(Answer::Ok);
    fx->env->prompts.whileShown = [this](const Message&) { QVERIFY(fx->gcu.replug()); };
    QTimer closer;
    connect(&closer, &QTimer::timeout, [] {
        if (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
    });
    closer.start(20);
    fx->gcu.unplug();
    QTRY_COMPARE_WITH_TIMEOUT(G.ControllerConnected, 0, 3000);
    QVERIFY(fx->waitRunning());
    QCOMPARE(fx->env->prompts.texts(),
             QStringList{"COM2 is not available, please select a new COM port"});
}

void TestGearboxConnect::portOpenErrorCancelCloses()
{
    G.ComPortNumber = 7;
    fx->env->prompts.answer(Answer::Cancel);
    fx->open();
    QTRY_VERIFY_WITH_TIMEOUT(fx->workspace.isNull(), 5000);
    QCOMPARE(fx->env->prompts.texts(),
             QStringList{"COM7 is not available, please select a new COM port"});
    const Message& shown = fx->env->prompts.messages.first();
    QCOMPARE(shown.title, QStringLiteral("Port open error"));
    QCOMPARE(shown.buttons, Buttons::OkCancel);
    QCOMPARE(shown.icon, Icon::Critical);
    QCOMPARE(fx->shell.mainWindowShown, 1);
}

void TestGearboxConnect::exitClosesAndShowsTheMainWindow()
{
    QVERIFY(fx->openAndConnect());
    fx->button("GearboxExit")->click();
    QTRY_VERIFY(fx->workspace.isNull());
    QCOMPARE(fx->shell.mainWindowShown, 1);
    QCOMPARE(G.ControllerConnected, 0);
    QTRY_VERIFY(!fx->gcu.link().isOpenByProgram());
}

void TestGearboxConnect::linkIsRegisteredWhileOpen()
{
    QVERIFY(fx->openAndConnect());
    WorkspaceLink* link = workspaceLink(QStringLiteral("GearboxControl"));
    QVERIFY(link);
    QCOMPARE(link->Prompt(), QStringLiteral("*"));
    link->SyncWithRPMTimer(false);
    QVERIFY(!fx->child<QTimer>("GearboxReadTimer")->isActive());
    QCOMPARE(link->GetECUValue("bw\r", QString(), 2), 5);
    G.RxBuffer.clear();
    link->SendValue(7, "bw", 2);
    QCOMPARE(fx->gcu.receivedLines().last(), QByteArray("07bw"));
    QCOMPARE(fx->gcu.settings().value("bw"), std::optional<int>(7));
    link->SyncWithRPMTimer(true);
    QVERIFY(fx->child<QTimer>("GearboxReadTimer")->isActive());
    link->ReInitConnection();
    QCOMPARE(fx->label("CurrRPM")->text(), QStringLiteral("0 RPM"));
    QVERIFY(fx->waitRunning());
    fx->workspace->close();
    QTRY_VERIFY(fx->workspace.isNull());
    QVERIFY(!workspaceLink(QStringLiteral("GearboxControl")));
}

void TestGearboxConnect::exitDuringAnExchange()
{
    QVERIFY(fx->openAndConnect());
    sim::FaultSettings slow;
    slow.replyDelay = std::chrono::milliseconds(150);
    fx->gcu.setFaults(slow);
    QTimer::singleShot(50, fx->workspace, [this] { fx->button("GearboxExit")->click(); });
    fx->button("TestUpshift")->click();
    // The window outlives the exchange that was waiting, then closes.
    QTRY_VERIFY(fx->workspace.isNull());
    QCOMPARE(fx->shell.mainWindowShown, 1);
    QCOMPARE(G.ControllerConnected, 0);
    QVERIFY(fx->gcu.receivedLines().contains("ps"));
}

void TestGearboxConnect::requestDuringAnExchange_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("beeps");
    QTest::newRow("operate button") << "TestDownshift" << 1;
    QTest::newRow("Set button") << "SetPlayUpshift" << 1;
    QTest::newRow("gear Set button") << "SetGear_2" << 1;
    QTest::newRow("switch") << "SwapPaddles" << 1;
    QTest::newRow("RPM match switch") << "RPMMatchMode" << 1;
    QTest::newRow("sync error reset") << "CurrSyncErrors" << 1;
    // A box commit meanwhile is skipped quietly, as a focus change during a commit is.
    QTest::newRow("number box") << "RamWindow" << 0;
    QTest::newRow("gear row") << "BarrelGear_2" << 0;
}

void TestGearboxConnect::requestDuringAnExchange()
{
    QFETCH(QString, control);
    QFETCH(int, beeps);
    fx.reset();
    fx = std::make_unique<GearboxFixture>(0.3);
    QVERIFY(fx->openAndConnect());
    const bool rpmMatch = fx->gcu.settings().value("rm") == 1;
    sim::FaultSettings slow;
    slow.replyDelay = std::chrono::milliseconds(40);
    fx->gcu.setFaults(slow);
    // The user acts again while the upshift still waits for its reply.
    test::OnceReceived again(fx->gcu, "ps", [&] {
        if (QLineEdit* box = fx->box(control))
            fx->typeAndEnter(box, "9");
        else if (QWidget* w = fx->workspace->findChild<QWidget*>(control))
            QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(5, 5));
    });
    fx->button("TestUpshift")->click();
    QVERIFY(again.acted());
    again.stop();
    // The second request is refused: the first command's reply was not taken away from it,
    // and only that command went out.
    QCOMPARE(G.ControllerConnected, 1);
    QCOMPARE(fx->status(), QStringLiteral("Running"));
    QCOMPARE(fx->sentSettings(), QByteArrayList{"ps"});
    QVERIFY(fx->child<QTimer>("GearboxReadTimer")->isActive());
    QVERIFY(fx->env->prompts.messages.isEmpty());
    // Nothing shows what the controller was never sent.
    QVERIFY(!fx->child<QCheckBox>("SwapPaddles")->isChecked());
    QVERIFY(!G.PaddlesSwapped);
    QCOMPARE(fx->child<QCheckBox>("RPMMatchMode")->isChecked(), rpmMatch);
    QCOMPARE(fx->env->prompts.beeps, beeps);
}

void TestGearboxConnect::fromTheMainWindow_data()
{
    QTest::addColumn<bool>("gearbox");
    QTest::newRow("gearbox controller") << true;
    QTest::newRow("another controller") << false;
}

void TestGearboxConnect::fromTheMainWindow()
{
    QFETCH(bool, gearbox);
    if (!gearbox)
        fx->gcu.setDescriptionOverride("VVT ECU Type 3 cam phasing controller");
    Mainmenu window;
    QVERIFY(window.load(QString()));
    G.ComPortNumber = test::kGearboxPort;
    auto* button = window.findChild<QPushButton*>("GearBoxConfig");
    button->click();
    QVERIFY(!window.isVisible());
    fx->workspace = window.gearboxWorkspace();
    QVERIFY(fx->workspace);
    if (gearbox) {
        QVERIFY(fx->waitRunning());
        fx->button("GearboxExit")->click();
    }
    QTRY_VERIFY(window.isVisible());
    QTRY_VERIFY(!window.gearboxWorkspace());
    QCOMPARE(button->isEnabled(), gearbox);
}

QTEST_MAIN(TestGearboxConnect)
#include "test_gearbox_connect.moc"
