#include "common/globals.h"
#include "common/timing.h"
#include "service/cam_pwm_parameters.h"
#include "sim/vvt_controller.h"
#include "sim_ports.h"
#include "test_environment.h"
#include "vvt_fixture.h"

#include <QtTest>

#include <memory>

using namespace vx;

namespace {

QColor background(const MapCellEdit* cell)
{
    return cell->palette().color(QPalette::Base);
}

using Answers = QList<QPair<QByteArray, QByteArray>>;

} // namespace

class TestVvtLive : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        env = std::make_unique<test::TestEnvironment>();
        timing::setScale(0.3);
        ecu = std::make_unique<sim::VvtController>();
        ecu->loadDemoMap();
        session = std::make_unique<test::OnlineWorkspace>();
    }
    void cleanup()
    {
        session.reset();
        ecu.reset();
        env.reset();
    }

    void decodesTheBatch_data();
    void decodesTheBatch();
    void triggerPointsAndCamPositions();
    void operatingPointFollowsTheEngine();
    void silentControllerIsALostLink();
    void replyMissingOneQuery();
    void syncErrorReset();
    void syncErrorResetWhileTheLinkIsLost();
    void syncErrorResetWhileConnecting();

private:
    void connect(int trigger, int cylinders)
    {
        ecu->settings().triggerType = trigger;
        ecu->settings().cylinders = cylinders;
        ecu->storePermanently();
        test::plugAtPort(*ecu, 1, *env);
        QVERIFY(session->openRunning());
    }
    QString caption(const QString& name) const
    {
        return test::captionOf(*session->workspace, name);
    }
    int linesOf(const QByteArray& query) const { return ecu->receivedLines().count(query); }

    std::unique_ptr<test::TestEnvironment> env;
    std::unique_ptr<sim::VvtController> ecu;
    std::unique_ptr<test::OnlineWorkspace> session;
};

void TestVvtLive::decodesTheBatch_data()
{
    QTest::addColumn<int>("trigger");
    QTest::addColumn<int>("cylinders");
    QTest::addColumn<Answers>("answers");
    QTest::addColumn<QString>("inletAll");
    QTest::addColumn<QString>("rpm");
    QTest::addColumn<QString>("throttle");
    QTest::addColumn<int>("marked"); // -1: no cell marked
    QTest::addColumn<QString>("inletTarget");
    QTest::addColumn<QString>("exhaustTarget");
    QTest::newRow("rev counter 4 cylinders")
        << 1 << 4 << Answers{{"rp", "0100"}, {"th", "1E"}, {"to", "0020"}} << "00"
        << "3660"
        << " 30%" << 36 << "rowband"
        << "rowband";
    QTest::newRow("rev counter 6 cylinders")
        << 1 << 6 << Answers{{"rp", "0100"}, {"th", "1E"}, {"to", "0040"}} << "00"
        << "2440"
        << " 30%" << 64 << "rowband"
        << "rowband";
    QTest::newRow("rev counter fast")
        << 1 << 4 << Answers{{"rp", "0028"}, {"th", "5A"}, {"to", "0060"}} << "00"
        << "10000"
        << " 90%" << 109 << "rowband"
        << "rowband";
    QTest::newRow("toothed wheel 4000 rpm")
        << 0 << 4 << Answers{{"rh", "005B8D"}, {"th", "1E"}, {"to", "0020"}} << "00"
        << "4000"
        << " 30%" << 37 << "rowband"
        << "rowband";
    QTest::newRow("idle, all-throttle off")
        << 0 << 4 << Answers{{"rh", "005B8D"}, {"th", "03"}, {"to", "0000"}} << "00"
        << "4000"
        << " 3%" << -1 << "0"
        << "0";
    QTest::newRow("idle, inlet all-throttle on")
        << 0 << 4 << Answers{{"rh", "005B8D"}, {"th", "03"}, {"to", "0000"}} << "01"
        << "4000"
        << " 3%" << -1 << "rowband"
        << "";
    QTest::newRow("stopped") << 0 << 4 << Answers{{"rh", "000000"}, {"th", "00"}, {"to", "0000"}}
                             << "00"
                             << "0"
                             << " 0%" << -1 << ""
                             << "";
    QTest::newRow("speed beyond the display")
        << 0 << 4 << Answers{{"rh", "000001"}, {"th", "1E"}, {"to", "0020"}} << "00"
        << ""
        << " 30%" << 31 << "rowband"
        << "rowband";
}

void TestVvtLive::decodesTheBatch()
{
    QFETCH(int, trigger);
    QFETCH(int, cylinders);
    QFETCH(Answers, answers);
    QFETCH(QString, inletAll);
    QFETCH(QString, rpm);
    QFETCH(QString, throttle);
    QFETCH(int, marked);
    QFETCH(QString, inletTarget);
    QFETCH(QString, exhaustTarget);
    ecu->settings().inletAllThrottle = inletAll == "01";
    G.ProgSettingsFromECU = 1;
    for (const auto& [query, answer] : answers)
        ecu->setLiveAnswer(query, answer);
    connect(trigger, cylinders);
    QTRY_COMPARE(caption("CurrThrotPos"), throttle);
    QTRY_COMPARE(caption("CurrRPM"), rpm);
    if (marked >= 0) {
        QTRY_COMPARE(background(session->cell(marked)), MapGrid::operatingPointBackground());
        QCOMPARE(background(session->cell(marked + 120)), MapGrid::operatingPointBackground());
        const int row = marked % 30;
        const int band = marked / 30;
        const QString inlet = QString::number(*G.AdvanceMap[row][1][band]);
        const QString exhaust = QString::number(*G.AdvanceMap[row][1][band + 4]);
        QCOMPARE(caption("CamReqPos_0"), inletTarget == "rowband" ? inlet : inletTarget);
        QCOMPARE(caption("CamReqPos_1"), exhaustTarget == "rowband" ? exhaust : exhaustTarget);
    } else {
        for (int i = 0; i < kMapCells; ++i)
            QVERIFY2(background(session->cell(i)) != MapGrid::operatingPointBackground(),
                     qPrintable(QString::number(i)));
        const QString inlet = QString::number(*G.AdvanceMap[7][1][0]);
        QCOMPARE(caption("CamReqPos_0"), inletTarget == "rowband" ? inlet : inletTarget);
        QCOMPARE(caption("CamReqPos_1"), exhaustTarget);
    }
    QCOMPARE(G.ControllerConnected, 1);
    QVERIFY(env->prompts.messages.isEmpty());
}

void TestVvtLive::triggerPointsAndCamPositions()
{
    ecu->setLiveAnswer("cw", "05 0A 14 1E");
    ecu->setLiveAnswer("dw", "FF 00 01 02");
    ecu->setLiveAnswer("dv", "10 11 20 21");
    ecu->setLiveAnswer("sy", "000C");
    connect(1, 4);
    QTRY_COMPARE(caption("Cam1TrigPoint_3"), QStringLiteral("30"));
    QCOMPARE(caption("Cam1TrigPoint_0"), QStringLiteral("5"));
    QCOMPARE(caption("Cam1TrigPoint_1"), QStringLiteral("10"));
    QCOMPARE(caption("Cam1TrigPoint_2"), QStringLiteral("20"));
    QCOMPARE(caption("Cam4TrigPoint_0"), QStringLiteral("255"));
    QCOMPARE(caption("CamPos_0"), QStringLiteral("16"));
    QCOMPARE(caption("CamPos_3"), QStringLiteral("33"));
    QCOMPARE(caption("CurrSyncErrors"), QStringLiteral(" 12"));
}

void TestVvtLive::operatingPointFollowsTheEngine()
{
    ecu->engine().hold(2000, 30);
    connect(0, 4);
    // 2000 rpm: row 3; 30 %: band 1.
    QTRY_COMPARE(background(session->cell(33)), MapGrid::operatingPointBackground());
    QCOMPARE(caption("CamPos_0"), QString::number(*G.AdvanceMap[3][1][1]));
    ecu->engine().hold(6000, 80);
    QTRY_COMPARE(background(session->cell(11 + 90)), MapGrid::operatingPointBackground());
    QCOMPARE(background(session->cell(33)), MapGrid::normalBackground());
    QCOMPARE(caption("CurrRPM"), QStringLiteral("6000"));
}

void TestVvtLive::silentControllerIsALostLink()
{
    connect(1, 4);
    QTRY_VERIFY(linesOf("dv") >= 2);
    ecu->clearReceivedLines();
    sim::FaultSettings faults;
    faults.silent = true;
    ecu->setFaults(faults);
    QTRY_COMPARE(session->workspace->statusText(), QStringLiteral("Lost connection"));
    // The outstanding batch is sent once more after two silent ticks, then the link is given up.
    QVERIFY2(linesOf("rp") >= 1 && linesOf("rp") <= 2, qPrintable(QString::number(linesOf("rp"))));
    QCOMPARE(caption("CurrRPM"), QStringLiteral("0"));
    QCOMPARE(G.ControllerConnected, 0);
    QCOMPARE(G.PollState, 0);
    QVERIFY(!session->workspace->timer3().isActive());
    QVERIFY(env->prompts.messages.isEmpty());
}

void TestVvtLive::replyMissingOneQuery()
{
    ecu->engine().hold(3000, 40);
    connect(1, 4);
    QTRY_VERIFY(caption("CurrThrotPos") == " 40%");
    ecu->engine().hold(3000, 60);
    ecu->clearReceivedLines();
    ecu->setUnanswered({"dv"});
    QTRY_COMPARE_WITH_TIMEOUT(session->workspace->statusText(), QStringLiteral("Lost connection"),
                              5000);
    // Incomplete replies are never shown; the batch is resent once at the fifth tick.
    QCOMPARE(caption("CurrThrotPos"), QStringLiteral(" 40%"));
    QVERIFY2(linesOf("rp") >= 2 && linesOf("rp") <= 3, qPrintable(QString::number(linesOf("rp"))));
}

void TestVvtLive::syncErrorReset()
{
    ecu->engine().hold(3000, 40);
    ecu->engine().addSyncErrors(7);
    connect(1, 4);
    QTRY_COMPARE(caption("CurrSyncErrors"), QStringLiteral(" 7"));
    QTest::mouseClick(test::buttonOf(*session->workspace, "CurrSyncErrors"), Qt::LeftButton);
    QTRY_COMPARE(caption("CurrSyncErrors"), QStringLiteral(" 0"));
    QVERIFY(ecu->receivedLines().contains("0sy"));
    QVERIFY(session->workspace->timer3().isActive());
}

void TestVvtLive::syncErrorResetWhileTheLinkIsLost()
{
    connect(1, 4);
    sim::FaultSettings faults;
    faults.silent = true;
    ecu->setFaults(faults);
    // A batch is outstanding and unanswered when the count is reset.
    QTRY_COMPARE(G.PollState, 2);
    QTest::mouseClick(test::buttonOf(*session->workspace, "CurrSyncErrors"), Qt::LeftButton);
    QCOMPARE(session->workspace->statusText(), QStringLiteral("Lost connection"));
    QVERIFY(!session->workspace->timer3().isActive());
    QVERIFY(!ecu->receivedLines().contains("0sy"));
    QTRY_COMPARE(test::statusOf(*session->workspace), QStringLiteral("Reconnecting..."));
    QVERIFY(!session->workspace->timer3().isActive());
    ecu->setFaults({});
    QVERIFY(session->waitStatus(QStringLiteral("Running")));
    QVERIFY(session->workspace->timer3().isActive());
    QVERIFY(env->prompts.messages.isEmpty());
}

void TestVvtLive::syncErrorResetWhileConnecting()
{
    // The port is open while the sequence waits for the wake-up answer: a click then must not
    // talk to the controller, nor take the answer the next connect step looks for.
    sim::FaultSettings silent;
    silent.silent = true;
    ecu->setFaults(silent);
    test::plugAtPort(*ecu, 1, *env);
    session->open();
    QTRY_VERIFY_WITH_TIMEOUT(ecu->link().isOpenByProgram(), 5000);
    QTest::mouseClick(test::buttonOf(*session->workspace, "CurrSyncErrors"), Qt::LeftButton);
    ecu->setFaults({});
    QVERIFY(session->waitStatus(QStringLiteral("Running"), 10000));
    QVERIFY(!ecu->receivedLines().contains("0sy"));
    QVERIFY(env->prompts.messages.isEmpty());
}

QTEST_MAIN(TestVvtLive)
#include "test_vvt_live.moc"
