#include "common/globals.h"
#include "common/timing.h"
#include "counting_link.h"
#include "serial/com_port.h"
#include "serial/workspace_link.h"
#include "service/controller_password.h"
#include "sim/vvt_controller.h"
#include "sim_ports.h"
#include "test_environment.h"

#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

using namespace vx;

class TestEcuSecurity : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        env = std::make_unique<test::TestEnvironment>();
        timing::setScale(0.2);
        ecu = std::make_unique<sim::VvtController>();
        test::plugAtPort(*ecu, 1, *env);
        port = std::make_unique<ComPort>("VvtComPort");
        port->setPortNumber(1);
        port->setSettings("38400,N,8,1");
        QVERIFY(port->open().ok());
        link = std::make_unique<test::CountingLink>(*port);
        registerWorkspaceLink("Changadv", link.get());
        dialog = std::make_unique<EcuSecurity>();
    }
    void cleanup()
    {
        dialog.reset();
        unregisterWorkspaceLink("Changadv", link.get());
        link.reset();
        port.reset();
        ecu.reset();
        env.reset();
    }

    void modes();
    void refusedEntries_data();
    void refusedEntries();
    void setPassword_data();
    void setPassword();
    void clearPassword_data();
    void clearPassword();
    void noAnswerReconnectsAndStays();
    void entry_data();
    void entry();
    void clickDuringAnExchange_data();
    void clickDuringAnExchange();

private:
    QLineEdit* box(const QString& name) const { return dialog->findChild<QLineEdit*>(name); }
    QWidget* widget(const QString& name) const { return dialog->findChild<QWidget*>(name); }
    void enterPair(const QString& a, const QString& b)
    {
        box("ECU_Password_0")->setText(a);
        box("ECU_Password_1")->setText(b);
    }

    std::unique_ptr<test::TestEnvironment> env;
    std::unique_ptr<sim::VvtController> ecu;
    std::unique_ptr<ComPort> port;
    std::unique_ptr<test::CountingLink> link;
    std::unique_ptr<EcuSecurity> dialog;
};

void TestEcuSecurity::modes()
{
    G.ControllerPassword = "tune42";
    EcuSecurity shown;
    QCOMPARE(shown.windowTitle(), QStringLiteral("ECU Security"));
    QCOMPARE(shown.findChild<QLineEdit*>("ECU_Password_Entry")->text(), QStringLiteral("tune42"));
    QCOMPARE(shown.findChild<QLineEdit*>("ECU_Password_1")->echoMode(), QLineEdit::Password);
    shown.show();
    shown.SetWindowMode(1);
    QVERIFY(shown.findChild<QWidget*>("Frame13")->isVisible());
    QVERIFY(shown.findChild<QWidget*>("OK")->isVisible());
    QVERIFY(!shown.findChild<QWidget*>("Frame1")->isVisible());
    QVERIFY(!shown.findChild<QWidget*>("ClearPassword")->isVisible());
    shown.SetWindowMode(7);
    QVERIFY(shown.findChild<QWidget*>("Frame13")->isVisible());
    shown.SetWindowMode(0);
    QVERIFY(shown.findChild<QWidget*>("Frame1")->isVisible());
    QVERIFY(shown.findChild<QWidget*>("Exit")->isVisible());
    QVERIFY(!shown.findChild<QWidget*>("Cancel")->isVisible());
    QLineEdit* first = shown.findChild<QLineEdit*>("ECU_Password_0");
    first->clear();
    QTest::keyClicks(first, "123456789");
    QCOMPARE(first->text(), QStringLiteral("12345678"));
}

void TestEcuSecurity::refusedEntries_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<QString>("message");
    QTest::newRow("too short") << "ab1"
                               << "ab1"
                               << "ECU Password too short, minimum 4 characters";
    QTest::newRow("not confirmed") << "tune42"
                                   << "tune24"
                                   << "ECU Password and confirm don't match, please re-enter";
}

void TestEcuSecurity::refusedEntries()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(QString, message);
    dialog->show();
    enterPair(first, second);
    dialog->SetPassword_Click();
    QCOMPARE(env->prompts.texts(), QStringList{message});
    QCOMPARE(env->prompts.messages[0].icon, Icon::Critical);
    QCOMPARE(env->prompts.messages[0].title, kProgramTitle);
    QVERIFY(dialog->isVisible());
    QCOMPARE(ecu->receivedByteCount(), 0);
    QCOMPARE(G.ControllerPassword, QString());
}

void TestEcuSecurity::setPassword_data()
{
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<bool>("flashFails");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QByteArray>("controllerPassword");
    const QString question = "Do you really want to secure ECU with this password?";
    QTest::newRow("set") << Answer::Yes << false << QStringList{question} << QByteArray("tune42");
    QTest::newRow("flash fails")
        << Answer::Yes << true
        << QStringList{question, "Flash write failed in ECU, please try again. Password not set"}
        << QByteArray();
    QTest::newRow("declined") << Answer::No << false
                              << QStringList{question, "ECU Password not set!!"} << QByteArray();
}

void TestEcuSecurity::setPassword()
{
    QFETCH(Answer, answer);
    QFETCH(bool, flashFails);
    QFETCH(QStringList, messages);
    QFETCH(QByteArray, controllerPassword);
    ecu->setFlashFails(flashFails);
    dialog->show();
    enterPair("tune42", "tune42");
    env->prompts.answer(answer);
    dialog->SetPassword_Click();
    QCOMPARE(env->prompts.texts(), messages);
    QCOMPARE(env->prompts.messages[0].title, QStringLiteral("ECU Security"));
    QCOMPARE(env->prompts.messages[0].buttons, Buttons::YesNo);
    QCOMPARE(env->prompts.messages[0].icon, Icon::Question);
    if (flashFails) {
        QCOMPARE(env->prompts.messages[1].icon, Icon::Critical);
        QCOMPARE(env->prompts.messages[1].title, QStringLiteral("ECU Security"));
    }
    QVERIFY(!dialog->isVisible());
    // Kept even when not set, so the next connection sends it.
    QCOMPARE(G.ControllerPassword, QStringLiteral("tune42"));
    QCOMPARE(ecu->password(), controllerPassword);
    QCOMPARE(ecu->receivedLines().contains("tune42sp"), answer == Answer::Yes);
    QVERIFY(!ecu->isLocked());
}

void TestEcuSecurity::clearPassword_data()
{
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<bool>("flashFails");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QByteArray>("controllerPassword");
    const QString question = "Do you really want to clear the ECU password?";
    QTest::newRow("cleared") << Answer::Yes << false << QStringList{question} << QByteArray();
    QTest::newRow("flash fails")
        << Answer::Yes << true
        << QStringList{question,
                       "Flash write failed in ECU, please try again. Password not cleared"}
        << QByteArray("tune42");
    QTest::newRow("declined") << Answer::No << false
                              << QStringList{question, "ECU Password not cleared!!"}
                              << QByteArray("tune42");
}

void TestEcuSecurity::clearPassword()
{
    QFETCH(Answer, answer);
    QFETCH(bool, flashFails);
    QFETCH(QStringList, messages);
    QFETCH(QByteArray, controllerPassword);
    ecu->setPassword("tune42", false);
    ecu->setFlashFails(flashFails);
    G.ControllerPassword = "tune42";
    dialog->show();
    env->prompts.answer(answer);
    dialog->ClearPassword_Click();
    QCOMPARE(env->prompts.texts(), messages);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(ecu->password(), controllerPassword);
    QCOMPARE(ecu->receivedLines(), answer == Answer::Yes ? QByteArrayList{"sp"} : QByteArrayList());
    QCOMPARE(G.ControllerPassword.isEmpty(), answer == Answer::Yes);
}

void TestEcuSecurity::noAnswerReconnectsAndStays()
{
    sim::FaultSettings faults;
    faults.silent = true;
    ecu->setFaults(faults);
    dialog->show();
    enterPair("tune42", "tune42");
    env->prompts.answer(Answer::Yes);
    dialog->SetPassword_Click();
    QCOMPARE(env->prompts.messages.size(), 1);
    QCOMPARE(link->reconnects, 1);
    QVERIFY(dialog->isVisible());
}

void TestEcuSecurity::entry_data()
{
    QTest::addColumn<QByteArray>("prompt");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("silent");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("right") << QByteArray("*") << "tune42" << false << QStringList() << true;
    QTest::newRow("right, other prompt")
        << QByteArray(">") << "tune42" << false << QStringList() << true;
    QTest::newRow("wrong") << QByteArray("*") << "tune41" << false
                           << QStringList{"ECU Password incorrect"} << false;
    QTest::newRow("no answer") << QByteArray("*") << "tune42" << true
                               << QStringList{"ECU not responding"} << false;
}

void TestEcuSecurity::entry()
{
    QFETCH(QByteArray, prompt);
    QFETCH(QString, typed);
    QFETCH(bool, silent);
    QFETCH(QStringList, messages);
    QFETCH(bool, accepted);
    ecu->setPassword("tune42");
    ecu->setPrompt(prompt);
    if (silent) {
        sim::FaultSettings faults;
        faults.silent = true;
        ecu->setFaults(faults);
    }
    dialog->SetWindowMode(1);
    dialog->show();
    QLineEdit* entry = box("ECU_Password_Entry");
    entry->setFocus();
    QTest::keyClicks(entry, typed);
    QTest::keyClick(entry, Qt::Key_Return);
    QCOMPARE(env->prompts.texts(), messages);
    if (!messages.isEmpty())
        QCOMPARE(env->prompts.messages[0].icon, silent ? Icon::None : Icon::Critical);
    QCOMPARE(dialog->isVisible(), !accepted);
    QCOMPARE(G.ControllerPassword, typed);
    QCOMPARE(ecu->isLocked(), !accepted);
    QVERIFY(!G.PasswordCancelled);
    if (!accepted) {
        QTest::mouseClick(dialog->findChild<QPushButton*>("Cancel"), Qt::LeftButton);
        QVERIFY(G.PasswordCancelled);
        QVERIFY(!dialog->isVisible());
    }
}

void TestEcuSecurity::clickDuringAnExchange_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("second");
    QTest::addColumn<QByteArrayList>("sent");
    QTest::newRow("set clicked again") << 0 << "SetPassword" << QByteArrayList{"tune42sp"};
    QTest::newRow("clear clicked while setting")
        << 0 << "ClearPassword" << QByteArrayList{"tune42sp"};
    QTest::newRow("password given again") << 1 << "OK" << QByteArrayList{"tune42"};
}

void TestEcuSecurity::clickDuringAnExchange()
{
    QFETCH(int, mode);
    QFETCH(QString, second);
    QFETCH(QByteArrayList, sent);
    timing::setScale(1);
    if (mode == 1)
        ecu->setPassword("tune42");
    sim::FaultSettings slow;
    slow.replyDelay = std::chrono::milliseconds(300);
    ecu->setFaults(slow);
    G.ControllerPassword = "tune42";
    EcuSecurity shown;
    shown.SetWindowMode(mode);
    shown.show();
    const QString question = "Do you really want to secure ECU with this password?";
    if (mode == 0)
        env->prompts.answer(Answer::Yes);

    // The second click comes while the first waits for the controller's reply.
    bool clicked = false;
    QTimer watch;
    connect(&watch, &QTimer::timeout, [&] {
        if (!clicked && ecu->receivedLines().size() == 1) {
            clicked = true;
            shown.findChild<QPushButton*>(second)->click();
        }
    });
    watch.start(1);
    shown.findChild<QPushButton*>(mode == 0 ? "SetPassword" : "OK")->click();

    QVERIFY(clicked);
    QCOMPARE(ecu->receivedLines(), sent);
    QCOMPARE(env->prompts.beeps, 1);
    QCOMPARE(env->prompts.texts(), mode == 0 ? QStringList{question} : QStringList());
    QCOMPARE(link->reconnects, 0);
    QVERIFY(!shown.isVisible());
    QVERIFY(!ecu->isLocked());
    QCOMPARE(ecu->password(), QByteArray("tune42"));
}

QTEST_MAIN(TestEcuSecurity)
#include "test_ecu_security.moc"
