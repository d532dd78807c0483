#include "common/globals.h"
#include "serial/com_port.h"
#include "serial/reply_wait.h"
#include "sim/vvt_controller.h"
#include "sim_ports.h"
#include "test_environment.h"
#include "vvt/controller_replies.h"
#include "vvt/map_records.h"

#include <QtTest>

#include <memory>

using namespace vx;

namespace {

QString record(quint32 address, quint8 fill)
{
    std::array<quint8, 32> data{};
    data.fill(fill);
    return s3Record(address, data);
}

} // namespace

// The simulated engine controller as the program's serial code meets it.
class TestVvtControllerSim : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        env = std::make_unique<test::TestEnvironment>();
        ecu = std::make_unique<sim::VvtController>();
        test::plugAtPort(*ecu, 1, *env);
        port = std::make_unique<ComPort>("VvtComPort");
        port->setPortNumber(1);
        port->setSettings("115200,N,8,1");
        QVERIFY(port->open().ok());
    }
    void cleanup()
    {
        port.reset();
        ecu.reset();
        env.reset();
    }

    void records_data();
    void records();
    void settingsReadBack_data();
    void settingsReadBack();
    void listingMatchesTheMap();
    void restartComesBackWithThePermanentCopy();
    void passwordAppliesFromTheNextStart();
    void liveAnswers();

private:
    QString exchange(const QString& line)
    {
        G.RxBuffer.clear();
        port->output(line + "\r");
        if (!WaitForReply(false, "*", 0))
            return QStringLiteral("<no answer>");
        return G.RxBuffer;
    }
    QString answer(const QString& mnemonic, int length)
    {
        return answerOf(exchange(mnemonic), mnemonic, length);
    }

    std::unique_ptr<test::TestEnvironment> env;
    std::unique_ptr<sim::VvtController> ecu;
    std::unique_ptr<ComPort> port;
};

void TestVvtControllerSim::records_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("opened");
    QTest::addColumn<bool>("accepted");
    const QString good = record(0x40, 7);
    QTest::newRow("good") << good << true << true;
    QTest::newRow("outside an upload") << good << false << false;
    QString badChecksum = good;
    badChecksum.replace(76, 2, "00");
    QTest::newRow("wrong checksum") << badChecksum << true << false;
    QString badCount = good;
    badCount.replace(2, 2, "24");
    QTest::newRow("wrong count") << badCount << true << false;
    QTest::newRow("address inside a column") << record(0x50, 7) << true << false;
    QTest::newRow("address beyond the map") << record(0x100, 7) << true << false;
    QTest::newRow("short") << good.left(70) << true << false;
    QTest::newRow("termination without upload") << QString(kTerminationRecord) << false << false;
    QTest::newRow("termination") << QString(kTerminationRecord) << true << true;
}

void TestVvtControllerSim::records()
{
    QFETCH(QString, line);
    QFETCH(bool, opened);
    QFETCH(bool, accepted);
    if (opened)
        QVERIFY(!exchange("1en").contains("Error"));
    const QString reply = exchange(line);
    QCOMPARE(reply.contains("Error\r"), !accepted);
    const bool wrote = line.startsWith("S3") && accepted;
    QCOMPARE(ecu->cell(0, 2), wrote ? 7 : 0);
    QCOMPARE(ecu->cell(29, 2), wrote ? 7 : 0);
    QCOMPARE(ecu->cell(0, 3), 0);
}

void TestVvtControllerSim::settingsReadBack_data()
{
    QTest::addColumn<QString>("set");
    QTest::addColumn<QString>("read");
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("expected");
    QTest::newRow("cylinders") << "6cy"
                               << "cy" << 1 << "6";
    QTest::newRow("twelve cylinders") << "12cy"
                                      << "cy" << 1 << "C";
    QTest::newRow("trigger pattern") << "05ty"
                                     << "ty" << 2 << "05";
    QTest::newRow("cam parameter") << "02BCih"
                                   << "ih" << 4 << "02BC";
    QTest::newRow("cam parameter, two digits") << "14ee"
                                               << "ee" << 4 << "0014";
    QTest::newRow("inlet all-throttle") << "01it"
                                        << "it" << 2 << "01";
    QTest::newRow("map name") << "TRACK.camna"
                              << "na" << 9 << "TRACK.cam";
    QTest::newRow("checksum") << "FFFFFF0Fch"
                              << "ch" << 8 << "FFFFFF0F";
}

void TestVvtControllerSim::settingsReadBack()
{
    QFETCH(QString, set);
    QFETCH(QString, read);
    QFETCH(int, length);
    QFETCH(QString, expected);
    const QString reply = exchange(set);
    QVERIFY2(!reply.contains("Illegal") && !reply.contains("Error"), qPrintable(reply));
    QCOMPARE(answer(read, length), expected);
    QCOMPARE(ecu->restartCount(), 0);
}

void TestVvtControllerSim::listingMatchesTheMap()
{
    ecu->loadDemoMap();
    ecu->setCell(0, 0, -128);
    const std::optional<ColumnMajorMap> map = mapOfListing(exchange("li"));
    QVERIFY(map);
    for (int column = 0; column < 8; ++column) {
        for (int row = 0; row < 30; ++row)
            QCOMPARE((*map)[column][row], ecu->cell(row, column));
    }
    QCOMPARE(answer("ad", 2), QStringLiteral("01"));
    ecu->settings().mapValid = false;
    QCOMPARE(answer("ad", 2), QStringLiteral("00"));
}

void TestVvtControllerSim::restartComesBackWithThePermanentCopy()
{
    exchange("1en");
    exchange(record(0, 9));
    exchange("NEW.camna");
    exchange("0en");
    QCOMPARE(ecu->cell(0, 0), 9);
    exchange("00000000ch");
    QCOMPARE(ecu->restartCount(), 1);
    QCOMPARE(ecu->cell(0, 0), 0);
    QCOMPARE(answer("na", 8), QStringLiteral("DEMO.cam"));

    exchange("1en");
    exchange(record(0, 9));
    exchange("NEW.camna");
    exchange("0en");
    ecu->setFlashFails(true);
    QVERIFY(exchange("unv").contains("Error"));
    ecu->setFlashFails(false);
    QVERIFY(!exchange("unv").contains("Error"));
    exchange("00000000ch");
    QCOMPARE(ecu->cell(0, 0), 9);
    QCOMPARE(answer("na", 7), QStringLiteral("NEW.cam"));
    // Power cycling comes back the same way.
    port->close();
    ecu->unplug();
    QVERIFY(ecu->replug());
    QCOMPARE(ecu->cell(0, 0), 9);
}

void TestVvtControllerSim::passwordAppliesFromTheNextStart()
{
    QVERIFY(exchange("ab1sp").contains("Error"));
    QVERIFY(!exchange("tune42sp").contains("Error"));
    QCOMPARE(ecu->password(), QByteArray("tune42"));
    QVERIFY(!ecu->isLocked());
    exchange("00000000ch");
    QVERIFY(ecu->isLocked());
    G.RxBuffer.clear();
    port->output("ve\r");
    QTRY_VERIFY(G.RxBuffer.contains("Enter password"));
    G.RxBuffer.clear();
    port->output("tune42\r");
    QTRY_VERIFY(G.RxBuffer.endsWith("*"));
    QVERIFY(!exchange("sp").contains("Error"));
    QCOMPARE(ecu->password(), QByteArray());
}

void TestVvtControllerSim::liveAnswers()
{
    ecu->engine().hold(4000, 30);
    QCOMPARE(answer("rh", 6), QStringLiteral("005B8E"));
    QCOMPARE(answer("rp", 4), QStringLiteral("00EA"));
    QCOMPARE(answer("th", 2), QStringLiteral("1E"));
    QCOMPARE(answer("to", 4), QStringLiteral("0020"));
    QCOMPARE(answer("sy", 4), QStringLiteral("0000"));
    QCOMPARE(answer("cw", 11).size(), 11);
    ecu->loadDemoMap();
    const QString positions = answer("dv", 11);
    QCOMPARE(positions.mid(0, 2).toInt(nullptr, 16), ecu->cell(7, 1));
    QCOMPARE(positions.mid(6, 2).toInt(nullptr, 16), ecu->cell(7, 5));
    ecu->engine().hold(0, 0);
    QCOMPARE(answer("rh", 6), QStringLiteral("000000"));
    QCOMPARE(answer("rp", 4), QStringLiteral("FFFF"));
}

QTEST_MAIN(TestVvtControllerSim)
#include "test_vvt_controller_sim.moc"
