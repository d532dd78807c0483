#include "common/globals.h"
#include "common/timing.h"
#include "serial/com_port.h"
#include "serial/reply_wait.h"
#include "sim/gearbox_controller.h"
#include "sim_ports.h"
#include "test_environment.h"

#include <QtTest>

#include <memory>

using namespace vx;

// The simulated gearbox controller as the program's serial code sees it.
class TestGearboxSim : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void answers_data();
    void answers();
    void everySettingReadsBack();
    void gearRowsUseTheReverseLetters();
    void testModeChangesThePrompt();
    void restartLeavesTestMode();
    void shiftsMoveTheGear();
    void motionMovesTheLiveValues();

private:
    QString exchange(const QString& line, const QString& prompt = QStringLiteral("*"));

    std::unique_ptr<test::TestEnvironment> env;
    std::unique_ptr<sim::GearboxController> gcu;
    std::unique_ptr<ComPort> port;
};

void TestGearboxSim::init()
{
    env = std::make_unique<test::TestEnvironment>();
    gcu = std::make_unique<sim::GearboxController>();
    test::plugAtPort(*gcu, 2, *env);
    port = std::make_unique<ComPort>(QStringLiteral("GearboxComPort"));
    port->setPortNumber(2);
    port->setSettings(QStringLiteral("115200,N,8,1"));
    QVERIFY(port->open().ok());
}

void TestGearboxSim::cleanup()
{
    port.reset();
    gcu.reset();
    env.reset();
}

QString TestGearboxSim::exchange(const QString& line, const QString& prompt)
{
    G.RxBuffer.clear();
    port->output(line + "\r");
    if (!WaitForReply(false, prompt, 0))
        return QStringLiteral("(no reply)");
    return G.RxBuffer;
}

void TestGearboxSim::answers_data()
{
    QTest::addColumn<QByteArray>("version");
    QTest::addColumn<bool>("logger");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("reply");
    const QString illegal = QStringLiteral("\r\nIllegal command\r\n*");
    QTest::newRow("description") << QByteArray("V2.3-8") << true << "do"
                                 << "do\r\nGearbox GCU Type 2, Data logger available\r\n*";
    QTest::newRow("without logger") << QByteArray("V2.3-8") << false << "do"
                                    << "do\r\nGearbox GCU Type 2\r\n*";
    QTest::newRow("trigger type") << QByteArray("V2.3-8") << true << "ty"
                                  << "ty\r\n00\r\n*";
    QTest::newRow("brake below 20306") << QByteArray("V2.3-5") << true << "bp"
                                       << "bp" + illegal;
    QTest::newRow("shift time below 20306") << QByteArray("V2.3-5") << true << "st"
                                            << "st" + illegal;
    QTest::newRow("air pressure below 20306") << QByteArray("V2.3-5") << true << "ap"
                                              << "ap" + illegal;
    QTest::newRow("air pressure at 20306") << QByteArray("V2.3-6") << true << "ap"
                                           << "ap\r\n78\r\n*";
    QTest::newRow("manual mode below 20308") << QByteArray("V2.3-7") << true << "mm"
                                             << "mm" + illegal;
    QTest::newRow("manual mode at 20308") << QByteArray("V2.3-8") << true << "mm"
                                          << "mm\r\n00\r\n*";
    QTest::newRow("engine speed") << QByteArray("V2.3-8") << true << "rh"
                                  << "rh\r\n00927C\r\n*";
    QTest::newRow("output outside test mode") << QByteArray("V2.3-8") << true << "us"
                                              << "us" + illegal;
    QTest::newRow("sync reset") << QByteArray("V2.3-8") << true << "0sy"
                                << "0sy\r\n\r\n*";
    QTest::newRow("value too wide") << QByteArray("V2.3-8") << true << "100bw"
                                    << "100bw" + illegal;
    QTest::newRow("restart needs eight zeros") << QByteArray("V2.3-8") << true << "0ch"
                                               << "0ch" + illegal;
}

void TestGearboxSim::answers()
{
    QFETCH(QByteArray, version);
    QFETCH(bool, logger);
    QFETCH(QString, line);
    QFETCH(QString, reply);
    gcu->setVersion(version);
    gcu->setDataLogger(logger);
    QCOMPARE(exchange(line), reply);
}

void TestGearboxSim::everySettingReadsBack()
{
    for (const QByteArray& mnemonic : gcu->settings().mnemonics()) {
        const int digits = gcu->settings().digits(mnemonic);
        const QString value = digits == 4 ? QStringLiteral("1234") : QStringLiteral("5A");
        QCOMPARE(exchange(value + mnemonic), value + mnemonic + "\r\n\r\n*");
        QCOMPARE(exchange(mnemonic), mnemonic + "\r\n" + value + "\r\n*");
    }
}

void TestGearboxSim::gearRowsUseTheReverseLetters()
{
    QCOMPARE(exchange("C8gR"), QStringLiteral("C8gR\r\n\r\n*"));
    QCOMPARE(exchange("gr"), QStringLiteral("gr\r\nC8\r\n*"));
    QCOMPARE(exchange("07h3"), QStringLiteral("07h3\r\n\r\n*"));
    QCOMPARE(exchange("h3"), QStringLiteral("h3\r\n07\r\n*"));
    QCOMPARE(gcu->ramPosition('3'), std::optional<quint8>(7));
    QCOMPARE(exchange("C8gr"), QStringLiteral("C8gr\r\nIllegal command\r\n*"));
}

void TestGearboxSim::testModeChangesThePrompt()
{
    QCOMPARE(exchange("tm", "TestMode>"), QStringLiteral("tm\r\n\r\nTestMode>"));
    QVERIFY(gcu->inTestMode());
    for (const char* output :
         {"bl", "us", "ds", "lr", "rr", "nu", "nd", "sc", "td", "ra", "ac", "cl"})
        QCOMPARE(exchange(output, "TestMode>"), QString::fromLatin1(output) + "\r\n\r\nTestMode>");
    QVERIFY(gcu->outputOn("cl"));
    QCOMPARE(exchange("cl", "TestMode>"), QStringLiteral("cl\r\n\r\nTestMode>"));
    QVERIFY(!gcu->outputOn("cl"));
    QCOMPARE(gcu->outputPresses("cl"), 2);
    QCOMPARE(exchange("ps", "TestMode>"), QStringLiteral("ps\r\nIllegal command\r\nTestMode>"));
    QCOMPARE(exchange("ex"), QStringLiteral("ex\r\n\r\n*"));
    QVERIFY(!gcu->inTestMode());
    QVERIFY(!gcu->outputOn("us"));
}

void TestGearboxSim::restartLeavesTestMode()
{
    exchange("tm", "TestMode>");
    QCOMPARE(exchange("03ty", "TestMode>"), QStringLiteral("03ty\r\n\r\nTestMode>"));
    QCOMPARE(exchange("00000000ch"), QStringLiteral("00000000ch\r\n\r\n*"));
    QCOMPARE(gcu->restartRequests(), 1);
    QCOMPARE(exchange("ty"), QStringLiteral("ty\r\n03\r\n*"));
}

void TestGearboxSim::shiftsMoveTheGear()
{
    exchange("ps");
    exchange("ps");
    QCOMPARE(exchange("gn"), QStringLiteral("gn\r\n02\r\n*"));
    QCOMPARE(exchange("bs"), QStringLiteral("bs\r\n60\r\n*"));
    QCOMPARE(exchange("up"), QStringLiteral("up\r\n01\r\n*"));
    exchange("ws");
    QCOMPARE(exchange("gn"), QStringLiteral("gn\r\n01\r\n*"));
    exchange("ns");
    QCOMPARE(exchange("gn"), QStringLiteral("gn\r\n00\r\n*"));
    QCOMPARE(exchange("nb"), QStringLiteral("nb\r\n01\r\n*"));
}

void TestGearboxSim::motionMovesTheLiveValues()
{
    gcu->live().setMotion(true);
    const QString first = exchange("rh");
    QTRY_VERIFY(exchange("rh") != first);
    QVERIFY(exchange("th").startsWith("th\r\n"));
}

QTEST_MAIN(TestGearboxSim)
#include "test_gearbox_sim.moc"
