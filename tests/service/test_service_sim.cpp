#include "common/globals.h"
#include "serial/reply_wait.h"
#include "sim/air_pressure_table.h"
#include "sim/data_log.h"
#include "sim/gearbox_controller.h"
#include "sim/throttle_commands.h"
#include "sim/vvt_controller.h"
#include "sim_ports.h"
#include "test_environment.h"
#include "test_host.h"

#include <QtTest>

#include <memory>

using namespace vx;

namespace {

constexpr int kGearboxPort = 2;

// A record of 32 bytes of value at address, with its checksum, as the loader expects it.
QByteArray record(int address, quint8 value)
{
    QByteArray bytes;
    bytes.append(char(37));
    bytes.append(char(0)).append(char(0)).append(char(address >> 8)).append(char(address & 0xFF));
    bytes.append(QByteArray(32, char(value)));
    int sum = 0;
    for (const char b : bytes)
        sum += quint8(b);
    bytes.append(char(~sum & 0xFF));
    return "S3" + bytes.toHex().toUpper();
}

} // namespace

class TestServiceSim : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        env = std::make_unique<test::TestEnvironment>();
        gcu = std::make_unique<sim::GearboxController>();
        test::plugAtPort(*gcu, kGearboxPort, *env);
        host = std::make_unique<test::TestHost>("GearboxControl", kGearboxPort);
        QVERIFY(host->isOpen());
    }
    void cleanup()
    {
        host.reset();
        gcu.reset();
        env.reset();
    }

    void throttleCodesAreReadBack_data();
    void throttleCodesAreReadBack();
    void bothControllersKnowTheThrottle();
    void loaderChecksEachRecord_data();
    void loaderChecksEachRecord();
    void escapeAbandonsTheLoad();
    void calibrationPointsAreReadBack();
    void dumpFraming();

private:
    QString exchange(const QString& line)
    {
        G.RxBuffer.clear();
        host->ComOutput(line + "\r");
        return WaitForReply(false, "*", 0) ? G.RxBuffer : QStringLiteral("(no answer)");
    }

    std::unique_ptr<test::TestEnvironment> env;
    std::unique_ptr<sim::GearboxController> gcu;
    std::unique_ptr<test::TestHost> host;
};

void TestServiceSim::throttleCodesAreReadBack_data()
{
    QTest::addColumn<QString>("setting");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("reading");
    QTest::addColumn<QString>("readReply");
    QTest::newRow("pot law") << "00tt"
                             << "00tt\r\n\r\n*"
                             << "tt"
                             << "tt\r\n00\r\n*";
    QTest::newRow("sense") << "01ts"
                           << "01ts\r\n\r\n*"
                           << "ts"
                           << "ts\r\n01\r\n*";
    QTest::newRow("code out of range") << "02tt"
                                       << "02tt\r\nIllegal command\r\n*"
                                       << "tt"
                                       << "tt\r\n01\r\n*";
}

void TestServiceSim::throttleCodesAreReadBack()
{
    QFETCH(QString, setting);
    QFETCH(QString, reply);
    QFETCH(QString, reading);
    QFETCH(QString, readReply);
    QCOMPARE(exchange(setting), reply);
    QCOMPARE(exchange(reading), readReply);
}

void TestServiceSim::bothControllersKnowTheThrottle()
{
    sim::VvtController ecu;
    QVERIFY(sim::ThrottleCommands::of(ecu));
    QVERIFY(sim::ThrottleCommands::of(*gcu));
    sim::ThrottleCommands::of(*gcu)->setReading(0x42);
    QCOMPARE(exchange("mi"), QStringLiteral("mi\r\n0042\r\n*"));
    QCOMPARE(sim::ThrottleCommands::of(*gcu)->minimum(), 0x42);
    sim::ThrottleCommands::of(*gcu)->setFailingStores({"grantlid"});
    QCOMPARE(exchange("grantlid"), QStringLiteral("grantlid\r\nError\r\n*"));
    QCOMPARE(sim::ThrottleCommands::of(*gcu)->maximum(), 0xE8);
}

void TestServiceSim::loaderChecksEachRecord_data()
{
    QTest::addColumn<bool>("announced");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("accepted");
    const QByteArray good = record(0x20, 0x11);
    QByteArray badSum = good;
    badSum.chop(2);
    badSum += "00";
    QByteArray shortCount = good;
    shortCount.replace(2, 2, "24");
    QTest::newRow("good record") << true << good << true;
    QTest::newRow("without lp") << false << good << false;
    QTest::newRow("wrong checksum") << true << badSum << false;
    QTest::newRow("count does not match") << true << shortCount << false;
    QTest::newRow("past the end of the table") << true << record(0xF0, 0x11) << false;
    QTest::newRow("lower-case digits") << true << good.toLower().replace("s3", "S3") << false;
}

void TestServiceSim::loaderChecksEachRecord()
{
    QFETCH(bool, announced);
    QFETCH(QByteArray, line);
    QFETCH(bool, accepted);
    sim::AirPressureTable& sensor = *sim::AirPressureTable::of(*gcu);
    const auto before = sensor.table();
    if (announced)
        exchange("lp");
    QCOMPARE(exchange(QString::fromLatin1(line)).contains("Error"), !accepted);
    const QString end = exchange("S70500004000BA");
    QCOMPARE(end.contains("Error"), !accepted);
    QCOMPARE(sensor.loadsCompleted(), accepted ? 1 : 0);
    for (int i = 0; i < sim::AirPressureTable::kEntries; ++i) {
        const bool inRecord = accepted && i >= 0x20 && i < 0x40;
        QCOMPARE(int(sensor.table()[i]), inRecord ? 0x11 : int(before[i]));
    }
}

void TestServiceSim::escapeAbandonsTheLoad()
{
    sim::AirPressureTable& sensor = *sim::AirPressureTable::of(*gcu);
    exchange("lp");
    exchange(QString::fromLatin1(record(0, 0x33)));
    QVERIFY(sensor.isLoading());
    G.RxBuffer.clear();
    host->ComOutput(QString(QChar(27)));
    QVERIFY(WaitForReply(false, "*", 0));
    QVERIFY(!sensor.isLoading());
    QVERIFY(exchange("S70500004000BA").contains("Error"));
    QCOMPARE(sensor.loadsCompleted(), 0);
    QVERIFY(sensor.table()[0] != 0x33);
}

void TestServiceSim::calibrationPointsAreReadBack()
{
    QCOMPARE(exchange("az"), QStringLiteral("az\r\n0032\r\n*"));
    QCOMPARE(exchange("007Daz"), QStringLiteral("007Daz\r\n\r\n*"));
    QCOMPARE(exchange("az"), QStringLiteral("az\r\n007D\r\n*"));
    QCOMPARE(exchange("ah"), QStringLiteral("ah\r\n01C2\r\n*"));
}

void TestServiceSim::dumpFraming()
{
    sim::DataLog& log = *sim::DataLog::of(*gcu);
    log.setRecords({"1.0,2500", "1.1,2600"});
    QCOMPARE(exchange("da"),
             QStringLiteral("da\r\n0002\r\n1.0,2500\r\n1.1,2600\r\nEnd of data\r\n*"));
    log.setEraseSteps(3, std::chrono::milliseconds(1));
    log.failNextErases(1);
    QCOMPARE(exchange("er"), QStringLiteral("er\r\n...\r\nFlash chip erase failed\r\n*"));
    QCOMPARE(log.records().size(), 2);
    QCOMPARE(exchange("er"), QStringLiteral("er\r\n...\r\n*"));
    QVERIFY(log.records().isEmpty());
    QCOMPARE(exchange("da"), QStringLiteral("da\r\n0000\r\nEnd of data\r\n*"));
}

QTEST_MAIN(TestServiceSim)
#include "test_service_sim.moc"
