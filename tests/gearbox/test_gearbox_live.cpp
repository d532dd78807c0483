#include "common/globals.h"
#include "gearbox/indicator_light.h"
#include "gearbox_fixture.h"

#include <QLabel>
#include <QtTest>

using namespace vx;
using vx::test::GearboxFixture;

namespace {

const QColor kGreen(0, 255, 0);

// The lines of one status batch as the controller received them.
QByteArrayList batchLines(const QByteArrayList& received)
{
    const qsizetype start = received.lastIndexOf("rp");
    QByteArrayList lines;
    for (qsizetype i = start; i >= 0 && i < received.size() && test::isStatusRead(received.at(i));
         ++i)
        lines.append(received.at(i));
    return lines;
}

} // namespace

class TestGearboxLive : public QObject
{
    Q_OBJECT
private slots:
    void init() { fx = std::make_unique<GearboxFixture>(); }
    void cleanup() { fx.reset(); }

    void batchFollowsTheFirmware_data();
    void batchFollowsTheFirmware();
    void showsEveryField();
    void engineSpeedByTriggerType_data();
    void engineSpeedByTriggerType();
    void threeSilentTicksLoseTheLink();
    void slowAnswersAreCollectedOverTicks();
    void syncErrorReset();
    void syncErrorResetWhileConnecting();
    void realTimingRefreshes();

private:
    std::unique_ptr<GearboxFixture> fx;
};

void TestGearboxLive::batchFollowsTheFirmware_data()
{
    QTest::addColumn<QByteArray>("version");
    QTest::addColumn<QByteArrayList>("batch");
    QTest::addColumn<bool>("manualShown");
    const QByteArrayList ten{"rp", "sy", "th", "rh", "bs", "rs", "gn", "up", "dp", "nb"};
    QTest::newRow("20305") << QByteArray("V2.3-5") << ten << false;
    QTest::newRow("20306") << QByteArray("V2.3-6") << ten + QByteArrayList{"bp", "st", "ap"}
                           << false;
    QTest::newRow("20308") << QByteArray("V2.3-8") << ten + QByteArrayList{"bp", "st", "ap", "mm"}
                           << true;
}

void TestGearboxLive::batchFollowsTheFirmware()
{
    QFETCH(QByteArray, version);
    QFETCH(QByteArrayList, batch);
    QFETCH(bool, manualShown);
    fx->gcu.setVersion(version);
    fx->gcu.live().setValue("st", 7);
    fx->gcu.live().setValue("ap", 0x7B);
    QVERIFY(fx->openAndConnect());
    QTRY_COMPARE(fx->label("CurrThrotPos")->text(), QStringLiteral(" 12%"));
    QTRY_COMPARE(batchLines(fx->gcu.receivedLines()), batch);
    QCOMPARE(fx->child<gearbox::IndicatorLight>("ManualMode")->isVisible(), manualShown);
    QCOMPARE(fx->label("Label52")->isVisible(), manualShown);
    QCOMPARE(fx->label("LastShiftTime")->text(), manualShown || batch.contains("st") ? " 70" : "");
    QCOMPARE(fx->label("CurrAirPress")->text(), batch.contains("ap") ? " 123" : "");
    // A controller that does not know a read never gets asked it.
    QVERIFY(fx->env->prompts.messages.isEmpty());
}

void TestGearboxLive::showsEveryField()
{
    G.TriggerType = 0;
    sim::GearboxLive& live = fx->gcu.live();
    live.setValue("rh", 0x927C);
    live.setValue("sy", 0x0102);
    live.setValue("th", 0x2D);
    live.setValue("bs", 0xC8);
    live.setValue("rs", 0x41);
    live.setValue("gn", 0xFF);
    live.setValue("up", 1);
    live.setValue("dp", 0);
    live.setValue("nb", 1);
    live.setValue("bp", 1);
    live.setValue("mm", 1);
    live.setValue("st", 4);
    live.setValue("ap", 120);
    QVERIFY(fx->openAndConnect());
    QTRY_COMPARE(fx->label("GearPosition")->text(), QStringLiteral("R"));
    QCOMPARE(fx->label("CurrRPM")->text(), QStringLiteral("2500"));
    QCOMPARE(fx->label("CurrSyncErrors")->text(), QStringLiteral(" 258"));
    QCOMPARE(fx->label("CurrThrotPos")->text(), QStringLiteral(" 45%"));
    QCOMPARE(fx->label("BarrelSensor")->text(), QStringLiteral(" 200"));
    QCOMPARE(fx->label("RamSensor")->text(), QStringLiteral(" 65"));
    QCOMPARE(fx->label("LastShiftTime")->text(), QStringLiteral(" 40"));
    QCOMPARE(fx->label("CurrAirPress")->text(), QStringLiteral(" 120"));
    const auto fill = [this](const char* name) {
        return fx->child<gearbox::IndicatorLight>(name)->fill();
    };
    const QColor face = fx->workspace->palette().color(QPalette::Button);
    QCOMPARE(fill("UpShiftLight"), kGreen);
    QCOMPARE(fill("DownShiftLight"), face);
    QCOMPARE(fill("NeutralLight"), kGreen);
    QCOMPARE(fill("BrakePedal"), kGreen);
    QCOMPARE(fill("ManualMode"), kGreen);

    live.setValue("gn", 3);
    live.setValue("up", 0);
    live.setValue("mm", 0);
    QTRY_COMPARE(fx->label("GearPosition")->text(), QStringLiteral(" 3"));
    QTRY_COMPARE(fill("ManualMode"), face);
    QCOMPARE(fill("UpShiftLight"), face);
}

void TestGearboxLive::engineSpeedByTriggerType_data()
{
    QTest::addColumn<int>("trigger");
    QTest::addColumn<int>("cylinders");
    QTest::addColumn<int>("rp");
    QTest::addColumn<int>("rh");
    QTest::addColumn<QString>("rpm");
    QTest::newRow("rev counter 0100") << 1 << 4 << 0x0100 << 0 << "3660";
    QTest::newRow("rev counter 003A") << 1 << 4 << 0x003A << 0 << "10000";
    QTest::newRow("crank 00927C") << 0 << 4 << 0 << 0x927C << "2500";
    QTest::newRow("crank 000000") << 8 << 4 << 0 << 0 << "0";
}

void TestGearboxLive::engineSpeedByTriggerType()
{
    QFETCH(int, trigger);
    QFETCH(int, cylinders);
    QFETCH(int, rp);
    QFETCH(int, rh);
    QFETCH(QString, rpm);
    G.CylinderCount = cylinders;
    fx->gcu.settings().setValue("ty", trigger);
    fx->gcu.live().setValue("rp", rp);
    fx->gcu.live().setValue("rh", rh);
    QVERIFY(fx->openAndConnect());
    QCOMPARE(G.TriggerType, trigger);
    QTRY_COMPARE(fx->label("CurrRPM")->text(), rpm);
}

void TestGearboxLive::threeSilentTicksLoseTheLink()
{
    QVERIFY(fx->openAndConnect());
    QTRY_VERIFY(!fx->label("CurrThrotPos")->text().isEmpty());
    QTRY_COMPARE(G.PollState, 0);
    const qint64 before = fx->gcu.receivedByteCount();
    sim::FaultSettings silent;
    silent.silent = true;
    fx->gcu.setFaults(silent);
    QTRY_COMPARE_WITH_TIMEOUT(fx->status(), QStringLiteral("Lost connection"), 3000);
    QCOMPARE(G.ControllerConnected, 0);
    QVERIFY(fx->gcu.receivedByteCount() > before);
    QCOMPARE(fx->label("CurrRPM")->text(), QStringLiteral("0"));
    // XON, then XON and the batch again, then the link is given up.
    QVERIFY(fx->gcu.receivedLines().count("rp") >= 2);
    // The displays keep their last values.
    QCOMPARE(fx->label("CurrThrotPos")->text(), QStringLiteral(" 12%"));
}

void TestGearboxLive::slowAnswersAreCollectedOverTicks()
{
    QVERIFY(fx->openAndConnect());
    sim::FaultSettings slow;
    slow.splitReplyGap = std::chrono::milliseconds(4);
    fx->gcu.setFaults(slow);
    fx->gcu.live().setValue("th", 0x33);
    QTRY_COMPARE_WITH_TIMEOUT(fx->label("CurrThrotPos")->text(), QStringLiteral(" 51%"), 3000);
    QCOMPARE(G.ControllerConnected, 1);
}

void TestGearboxLive::syncErrorReset()
{
    fx->gcu.live().setValue("sy", 9);
    QVERIFY(fx->openAndConnect());
    QTRY_COMPARE(fx->label("CurrSyncErrors")->text(), QStringLiteral(" 9"));
    QTest::mouseClick(fx->label("CurrSyncErrors"), Qt::LeftButton);
    QCOMPARE(fx->sentSettings(), QByteArrayList{"0sy"});
    QCOMPARE(fx->gcu.live().value("sy"), 0);
    QTRY_COMPARE(fx->label("CurrSyncErrors")->text(), QStringLiteral(" 0"));
    QVERIFY(fx->child<QTimer>("GearboxReadTimer")->isActive());
}

void TestGearboxLive::syncErrorResetWhileConnecting()
{
    // The port is open while the sequence waits for the wake-up answer: a click then must not
    // talk to the controller, nor empty the buffer the next connect step looks at.
    sim::FaultSettings silent;
    silent.silent = true;
    fx->gcu.setFaults(silent);
    fx->open();
    QTRY_VERIFY_WITH_TIMEOUT(fx->gcu.link().isOpenByProgram(), 5000);
    QTest::mouseClick(fx->label("CurrSyncErrors"), Qt::LeftButton);
    fx->gcu.setFaults({});
    QVERIFY(fx->waitRunning());
    QVERIFY(!fx->gcu.receivedLines().contains("0sy"));
    QVERIFY(fx->env->prompts.messages.isEmpty());
}

void TestGearboxLive::realTimingRefreshes()
{
    fx.reset();
    fx = std::make_unique<GearboxFixture>(1.0);
    QVERIFY(fx->openAndConnect());
    fx->gcu.live().setValue("bs", 0x90);
    QTRY_COMPARE_WITH_TIMEOUT(fx->label("BarrelSensor")->text(), QStringLiteral(" 144"), 2000);
    QCOMPARE(fx->child<QTimer>("GearboxReadTimer")->interval(), 150);
}

QTEST_MAIN(TestGearboxLive)
#include "test_gearbox_live.moc"
