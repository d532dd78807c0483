#include "common/globals.h"
#include "common/timing.h"
#include "once_received.h"
#include "service/cam_pwm_parameters.h"
#include "sim/vvt_controller.h"
#include "sim_ports.h"
#include "test_environment.h"
#include "vvt_fixture.h"

#include <QLineEdit>
#include <QtTest>

#include <memory>

using namespace vx;

class TestCamPwmParameters : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        env = std::make_unique<test::TestEnvironment>();
        timing::setScale(0.3);
        ecu = std::make_unique<sim::VvtController>();
        ecu->settings().camParams[0] = 600;
        ecu->settings().camParams[8] = 999;
        ecu->storePermanently();
        session = std::make_unique<test::OnlineWorkspace>();
    }
    void cleanup()
    {
        session.reset();
        ecu.reset();
        env.reset();
    }

    void layout();
    void commits_data();
    void commits();
    void stepKeys_data();
    void stepKeys();
    void filteredKeys();
    void flashFailureRestoresTheOldValue();
    void noAnswerIsALostLink();
    void allThrottleButtons();
    void offlineOnlyStores();
    void changesWhileReconnecting();
    void changesDuringAnotherExchange();

private:
    CamPwmParameters& openDialog()
    {
        test::plugAtPort(*ecu, 1, *env);
        if (!session->openRunning())
            qFatal("the workspace did not connect");
        session->workspace->SetupPWM_Click();
        return session->workspace->pwmParameters();
    }
    void enter(CamPwmParameters& dialog, int index, const QString& text)
    {
        QLineEdit* box = dialog.box(index);
        box->setFocus();
        box->selectAll();
        if (text.isEmpty())
            QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClicks(box, text);
        QTest::keyClick(box, Qt::Key_Return);
    }

    std::unique_ptr<test::TestEnvironment> env;
    std::unique_ptr<sim::VvtController> ecu;
    std::unique_ptr<test::OnlineWorkspace> session;
};

void TestCamPwmParameters::layout()
{
    CamPwmParameters& dialog = openDialog();
    QVERIFY(dialog.isVisible());
    QVERIFY(!dialog.isModal());
    QCOMPARE(dialog.windowTitle(), QStringLiteral("PWM Parameters Setup"));
    QCOMPARE(dialog.box(0)->text(), QStringLiteral("60.0"));
    QCOMPARE(dialog.box(7)->text(), QStringLiteral("7.0"));
    QCOMPARE(dialog.box(8)->text(), QStringLiteral("99.9"));
    QCOMPARE(dialog.box(7)->objectName(), QStringLiteral("CamPWMRatio_7"));
    // Duty cycles left, deltas right, inlet frame beside the exhaust frame.
    QVERIFY(dialog.box(6)->mapTo(&dialog, QPoint()).x() >
            dialog.box(0)->mapTo(&dialog, QPoint()).x());
    QVERIFY(dialog.box(3)->mapTo(&dialog, QPoint()).x() >
            dialog.box(6)->mapTo(&dialog, QPoint()).x());
    QCOMPARE(dialog.allThrottleButton(0)->text(), QStringLiteral("All Throttle Enable"));
}

void TestCamPwmParameters::commits_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<double>("stored");
    QTest::newRow("70 in box 0") << 0 << "70" << QStringList() << QByteArray("02BCih") << 70.0;
    QTest::newRow("7.5 in box 7") << 7 << "7.5" << QStringList() << QByteArray("004Biv") << 7.5;
    QTest::newRow("100 typed") << 11 << "100" << QStringList() << QByteArray("03E8ee") << 100.0;
    QTest::newRow("unchanged") << 0 << "60" << QStringList() << QByteArray() << 60.0;
    QTest::newRow("out of range") << 0 << "101" << QStringList{"Value out of range"} << QByteArray()
                                  << 60.0;
    QTest::newRow("empty") << 0 << "" << QStringList{"Invalid input"} << QByteArray() << 60.0;
}

void TestCamPwmParameters::commits()
{
    QFETCH(int, index);
    QFETCH(QString, typed);
    QFETCH(QStringList, messages);
    QFETCH(QByteArray, sent);
    QFETCH(double, stored);
    CamPwmParameters& dialog = openDialog();
    ecu->clearReceivedLines();
    enter(dialog, index, typed);
    QCOMPARE(env->prompts.texts(), messages);
    for (const Message& m : env->prompts.messages)
        QCOMPARE(m.title, QStringLiteral("Warning"));
    QCOMPARE(G.CamParams[index], stored);
    QCOMPARE(dialog.box(index)->text(), QString::number(stored, 'f', 1));
    const QByteArrayList lines = test::commandLines(*ecu);
    QCOMPARE(lines, sent.isEmpty() ? QByteArrayList() : QByteArrayList{sent});
    if (!sent.isEmpty())
        QCOMPARE(ecu->settings().camParams[index], static_cast<int>(stored * 10 + 0.5));
    QTRY_VERIFY(session->workspace->timer3().isActive());
    // Leaving the box again sends nothing new.
    dialog.box(index)->clearFocus();
    QCOMPARE(test::commandLines(*ecu), lines);
}

void TestCamPwmParameters::stepKeys_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QChar>("key");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QByteArray>("sent");
    QTest::newRow("+ at 99.9 gives five characters")
        << 8 << QChar('+') << "99.9" << QStringList{"Invalid input"} << QByteArray();
    QTest::newRow("+") << 0 << QChar('+') << "60.1" << QStringList() << QByteArray("0259ih");
    QTest::newRow("-") << 7 << QChar('_') << "6.9" << QStringList() << QByteArray("0045iv");
}

void TestCamPwmParameters::stepKeys()
{
    QFETCH(int, index);
    QFETCH(QChar, key);
    QFETCH(QString, shown);
    QFETCH(QStringList, messages);
    QFETCH(QByteArray, sent);
    CamPwmParameters& dialog = openDialog();
    ecu->clearReceivedLines();
    dialog.box(index)->setFocus();
    QTest::keyClicks(dialog.box(index), QString(key));
    QCOMPARE(dialog.box(index)->text(), shown);
    QCOMPARE(env->prompts.texts(), messages);
    QCOMPARE(test::commandLines(*ecu), sent.isEmpty() ? QByteArrayList() : QByteArrayList{sent});
}

void TestCamPwmParameters::filteredKeys()
{
    CamPwmParameters& dialog = openDialog();
    QLineEdit* box = dialog.box(2);
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, QStringLiteral("4a5 .x5"));
    QCOMPARE(box->text(), QStringLiteral("45.5"));
    // Delete edits like backspace. The X11 keyboard reports it with the DEL character, which
    // types nothing and is no key for the filter.
    QTest::keyClick(box, Qt::Key_Home);
    QTest::sendKeyEvent(QTest::Press, box, Qt::Key_Delete, QString(QChar(0x7f)), Qt::NoModifier);
    QCOMPARE(box->text(), QStringLiteral("5.5"));
    QTest::keyClicks(box, QStringLiteral("99"));
    QCOMPARE(box->text(), QStringLiteral("995.5"));
    // Five characters take no more keys but backspace and Enter.
    QTest::keyClicks(box, QStringLiteral("1"));
    QCOMPARE(box->text(), QStringLiteral("995.5"));
    QTest::keyClick(box, Qt::Key_End);
    QTest::keyClick(box, Qt::Key_Backspace);
    QCOMPARE(box->text(), QStringLiteral("995."));
    box->setText(QString::number(G.CamParams[2], 'f', 1));
}

void TestCamPwmParameters::flashFailureRestoresTheOldValue()
{
    CamPwmParameters& dialog = openDialog();
    ecu->setFlashFails(true);
    enter(dialog, 3, "55");
    QCOMPARE(env->prompts.texts(), QStringList{"FLASH update failed!!! Please try again"});
    QCOMPARE(env->prompts.messages[0].icon, Icon::Critical);
    QCOMPARE(env->prompts.messages[0].title, QStringLiteral("Error"));
    QCOMPARE(G.CamParams[3], 70.0);
    QCOMPARE(dialog.box(3)->text(), QStringLiteral("70.0"));
    QCOMPARE(ecu->settings().camParams[3], 700);
}

void TestCamPwmParameters::noAnswerIsALostLink()
{
    CamPwmParameters& dialog = openDialog();
    ecu->setUnanswered({"eh"});
    enter(dialog, 3, "55");
    QCOMPARE(session->workspace->statusText(), QStringLiteral("Lost connection"));
    // Kept: it goes to the controller with the next map upload.
    QCOMPARE(G.CamParams[3], 55.0);
    QVERIFY(env->prompts.messages.isEmpty());
}

void TestCamPwmParameters::allThrottleButtons()
{
    CamPwmParameters& dialog = openDialog();
    QTest::mouseClick(dialog.allThrottleButton(1), Qt::LeftButton);
    QCOMPARE(dialog.allThrottleButton(1)->text(), QStringLiteral("All Throttle Disable"));
    QVERIFY(dialog.GetThrottleEnable(1));
    QVERIFY(ecu->settings().exhaustAllThrottle);
    QTest::mouseClick(dialog.allThrottleButton(1), Qt::LeftButton);
    QVERIFY(!dialog.GetThrottleEnable(1));
    QVERIFY(!ecu->settings().exhaustAllThrottle);
    QVERIFY(test::commandLines(*ecu).contains("01et"));
    QVERIFY(test::commandLines(*ecu).contains("00et"));
    dialog.SetThrottleEnable(0, "01");
    QVERIFY(dialog.GetThrottleEnable(0));
    dialog.SetThrottleEnable(0, "00");
    QVERIFY(!dialog.GetThrottleEnable(0));
    QTRY_VERIFY(session->workspace->timer3().isActive());
}

void TestCamPwmParameters::offlineOnlyStores()
{
    G.OfflineMode = true;
    test::plugAtPort(*ecu, 1, *env);
    session->open();
    session->workspace->SetupPWM_Click();
    CamPwmParameters& dialog = session->workspace->pwmParameters();
    enter(dialog, 2, "33.3");
    QCOMPARE(G.CamParams[2], 33.3);
    QTest::mouseClick(dialog.allThrottleButton(0), Qt::LeftButton);
    QVERIFY(dialog.GetThrottleEnable(0));
    QCOMPARE(ecu->receivedByteCount(), 0);
    QVERIFY(env->prompts.messages.isEmpty());
}

void TestCamPwmParameters::changesWhileReconnecting()
{
    CamPwmParameters& dialog = openDialog();
    sim::FaultSettings faults;
    faults.silent = true;
    ecu->setFaults(faults);
    QTRY_COMPARE(session->workspace->statusText(), QStringLiteral("Lost connection"));
    // The connect ticks have the port open for a wake-up.
    QTRY_VERIFY(session->workspace->port().isOpen());
    ecu->clearReceivedLines();
    enter(dialog, 0, "70");
    QTest::mouseClick(dialog.allThrottleButton(0), Qt::LeftButton);
    QCOMPARE(G.CamParams[0], 70.0);
    QCOMPARE(test::commandLines(*ecu), QByteArrayList());
    QVERIFY(env->prompts.messages.isEmpty());

    // Back again: the controller's parameters differ from the PC's, so the reload is offered.
    env->prompts.answer(Answer::Yes);
    ecu->setFaults({});
    QVERIFY(session->waitStatus(QStringLiteral("Running")));
    QCOMPARE(env->prompts.texts(),
             QStringList{"ECU's PWM parameters are different to the PC's PWM parameters.\r"
                         "Reload the ECU's PWM parameters from the PC?"});
    QCOMPARE(ecu->settings().camParams[0], 700);
    // The all-throttle state shown is the controller's again.
    QVERIFY(!dialog.GetThrottleEnable(0));
}

void TestCamPwmParameters::changesDuringAnotherExchange()
{
    CamPwmParameters& dialog = openDialog();
    sim::FaultSettings slow;
    slow.replyDelay = std::chrono::milliseconds(300);
    ecu->setFaults(slow);
    // While "Save in ECU" waits for the controller.
    const test::OnceReceived change(*ecu, "unv", [&] {
        enter(dialog, 0, "70");
        QTest::mouseClick(dialog.allThrottleButton(0), Qt::LeftButton);
    });
    env->prompts.answer(Answer::Yes);
    ecu->clearReceivedLines();
    session->workspace->Nvram_Click();
    QVERIFY(change.acted());
    QCOMPARE(env->prompts.beeps, 2);
    QCOMPARE(G.CamParams[0], 60.0);
    QCOMPARE(dialog.box(0)->text(), QStringLiteral("60.0"));
    QCOMPARE(dialog.allThrottleButton(0)->text(), QStringLiteral("All Throttle Enable"));
    QCOMPARE(test::commandLines(*ecu), QByteArrayList{"unv"});
    QCOMPARE(test::statusOf(*session->workspace), QStringLiteral("Running"));
    QVERIFY(session->workspace->timer3().isActive());
    QCOMPARE(env->prompts.texts(),
             QStringList{"Are you sure you want to make this map permanent in the ECU?"});
    // Once the exchange is over the same change goes through.
    ecu->setFaults({});
    enter(dialog, 0, "70");
    QTRY_COMPARE(ecu->settings().camParams[0], 700);
}

QTEST_MAIN(TestCamPwmParameters)
#include "test_cam_pwm_parameters.moc"
