#include "port_client.h"
#include "sim/command_table.h"
#include "sim/gearbox_controller.h"
#include "sim/vvt_controller.h"
#include "sim_test_limits.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <ctime>
#include <memory>

namespace vx::sim::test {

enum class Kind
{
    Engine,
    Gearbox,
};

enum class Shutdown
{
    StandardInputCloses,
    Terminate,
    Interrupt,
};

enum class Direction
{
    ToController,
    ToProgram,
};

} // namespace vx::sim::test

Q_DECLARE_METATYPE(vx::sim::test::Kind)
Q_DECLARE_METATYPE(vx::sim::test::Shutdown)
Q_DECLARE_METATYPE(vx::sim::test::Direction)
Q_DECLARE_METATYPE(vx::sim::FaultSettings)

namespace vx::sim::test {
namespace {

using namespace std::chrono_literals;

const QByteArray kEngineVersion = VvtController::kDefaultVersion;
const QByteArray kGearboxVersion = GearboxController::kDefaultVersion;
const QByteArray kWakeUpReply = "\n\r*";
const QByteArray kEmptyLineReply = "\r\n\r\n*";
const QByteArray kPasswordRequest = "\r\nEnter password>";

QByteArray answer(const QByteArray& line, const QByteArray& text,
                  const QByteArray& prompt = QByteArrayLiteral("*"))
{
    return line + "\r\n" + text + "\r\n" + prompt;
}

QByteArray illegal(const QByteArray& line)
{
    return answer(line, "Illegal command");
}

std::unique_ptr<Controller> makeController(Kind kind)
{
    if (kind == Kind::Engine)
        return std::make_unique<VvtController>();
    return std::make_unique<GearboxController>();
}

double processCpuSeconds()
{
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

// A hung-up pty reads as end of file, which QSerialPort reports as a read error, or as a
// resource error when errno happens to say so; a real adapter pulled out behaves the same.
bool sawDeviceVanish(const QSerialPort& port)
{
    return port.error() == QSerialPort::ReadError || port.error() == QSerialPort::ResourceError;
}

// Plugs the controller in at path and opens the program's port on it; the failure, if any.
QString plugAndOpen(Controller& controller, const QString& path, PortClient& client,
                    qint32 baud = kDefaultBaud)
{
    if (!controller.plug(path))
        return QStringLiteral("plug: ") + controller.link().errorString();
    if (!client.open(baud))
        return QStringLiteral("open: ") + client.port().errorString();
    return {};
}

} // namespace

class TestSim : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void commandParsing_data();
    void commandParsing();

    void replyFraming_data();
    void replyFraming();
    void description_data();
    void description();
    void severalLinesInOneWrite();
    void escapeAbandonsPartialLine();
    void promptFollowsControllerState();
    void rawLineHandlers();
    void passwordLock();

    void faultShapesReplies_data();
    void faultShapesReplies();
    void faultTiming_data();
    void faultTiming();
    void closeAfterLines();

    void readsProgramBaudRate_data();
    void readsProgramBaudRate();
    void unplugAndReplug();
    void symlinkAtPath_data();
    void symlinkAtPath();
    void reopenPort();
    void reopenDropsStaleReplies_data();
    void reopenDropsStaleReplies();
    void modemLinesFailHarmlessly();
    void ridesOutHangup();
    void throttle_data();
    void throttle();

    void executable_data();
    void executable();

private:
    QString path(const QString& name = QStringLiteral("port")) const
    {
        return m_dir->filePath(name);
    }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestSim::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestSim::commandParsing_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("matches");
    QTest::addColumn<QByteArray>("argument");
    QTest::addColumn<QByteArray>("mnemonic");
    QTest::addColumn<char>("gear");

    QTest::newRow("read") << QByteArray("ve") << true << QByteArray() << QByteArray("ve") << '\0';
    QTest::newRow("set hex") << QByteArray("1A2Bve") << true << QByteArray("1A2B")
                             << QByteArray("ve") << '\0';
    QTest::newRow("set decimal") << QByteArray("115200ve") << true << QByteArray("115200")
                                 << QByteArray("ve") << '\0';
    QTest::newRow("read gear") << QByteArray("g0") << true << QByteArray() << QByteArray("g")
                               << '0';
    QTest::newRow("read reverse") << QByteArray("gr") << true << QByteArray() << QByteArray("g")
                                  << 'r';
    QTest::newRow("set gear") << QByteArray("3Fh9") << true << QByteArray("3F") << QByteArray("h")
                              << '9';
    QTest::newRow("set reverse") << QByteArray("3FgR") << true << QByteArray("3F")
                                 << QByteArray("g") << 'R';
    QTest::newRow("set reverse lower case")
        << QByteArray("3Fgr") << false << QByteArray() << QByteArray() << '\0';
    QTest::newRow("read reverse upper case")
        << QByteArray("gR") << false << QByteArray() << QByteArray() << '\0';
    QTest::newRow("gear missing") << QByteArray("g") << false << QByteArray() << QByteArray()
                                  << '\0';
    QTest::newRow("gear not a gear")
        << QByteArray("gx") << false << QByteArray() << QByteArray() << '\0';
    QTest::newRow("lower-case hex")
        << QByteArray("3fve") << false << QByteArray() << QByteArray() << '\0';
    QTest::newRow("trailing text")
        << QByteArray("vex") << false << QByteArray() << QByteArray() << '\0';
    QTest::newRow("unknown") << QByteArray("xy") << false << QByteArray() << QByteArray() << '\0';
}

void TestSim::commandParsing()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, matches);
    QFETCH(QByteArray, argument);
    QFETCH(QByteArray, mnemonic);
    QFETCH(char, gear);

    CommandTable table;
    table.add("ve", [](const Command&) { return Reply::nothing(); });
    table.addWithGear("g", [](const Command&) { return Reply::nothing(); });
    table.addWithGear("h", [](const Command&) { return Reply::nothing(); });

    const std::optional<CommandTable::Match> match = table.match(line);
    QCOMPARE(match.has_value(), matches);
    if (!match)
        return;
    QCOMPARE(match->command.line, line);
    QCOMPARE(match->command.argument, argument);
    QCOMPARE(match->command.mnemonic, mnemonic);
    QCOMPARE(match->command.gear, gear);
    QCOMPARE(match->command.isSetting(), !argument.isEmpty());
}

void TestSim::replyFraming_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("engine version")
        << Kind::Engine << QByteArray("ve\r") << answer("ve", kEngineVersion);
    QTest::newRow("gearbox version")
        << Kind::Gearbox << QByteArray("ve\r") << answer("ve", kGearboxVersion);
    QTest::newRow("engine gear 0") << Kind::Engine << QByteArray("g0\r") << answer("g0", "00");
    QTest::newRow("engine gear 1") << Kind::Engine << QByteArray("g1\r") << illegal("g1");
    QTest::newRow("gearbox gear 0") << Kind::Gearbox << QByteArray("g0\r") << answer("g0", "30");
    QTest::newRow("gearbox reverse") << Kind::Gearbox << QByteArray("gr\r") << answer("gr", "18");
    QTest::newRow("unknown") << Kind::Engine << QByteArray("zz\r") << illegal("zz");
    QTest::newRow("setting the version")
        << Kind::Gearbox << QByteArray("12ve\r") << illegal("12ve");
    QTest::newRow("latin-1 bytes")
        << Kind::Engine << QByteArray("\xe9\xff\r") << illegal("\xe9\xff");
    QTest::newRow("empty line") << Kind::Engine << QByteArray("\r") << kEmptyLineReply;
    QTest::newRow("escape") << Kind::Gearbox << QByteArray("\x1b") << kWakeUpReply;
    QTest::newRow("connect sequence")
        << Kind::Engine << QByteArray("\x11\x1b\r") << kWakeUpReply + kEmptyLineReply;
    const QByteArray xonInsideLine = QByteArray("v") + char(17) + "e\r";
    QTest::newRow("xon inside a line")
        << Kind::Engine << xonInsideLine << answer("ve", kEngineVersion);
}

void TestSim::replyFraming()
{
    QFETCH(Kind, kind);
    QFETCH(QByteArray, sent);
    QFETCH(QByteArray, expected);

    const std::unique_ptr<Controller> controller = makeController(kind);
    PortClient client(path());
    const QString error = plugAndOpen(*controller, path(), client);
    QVERIFY2(error.isEmpty(), qPrintable(error));

    client.send(sent);
    QTRY_COMPARE_WITH_TIMEOUT(client.received(), expected, kReplyTimeoutMs);
}

void TestSim::description_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<bool>("dataLogger");
    QTest::addColumn<bool>("combined");
    QTest::addColumn<QByteArrayList>("present");
    QTest::addColumn<QByteArrayList>("absent");

    QTest::newRow("engine") << Kind::Engine << false << false << QByteArrayList{"VVT ECU Type"}
                            << QByteArrayList{"Gearbox GCU Type", "Data logger"};
    QTest::newRow("gearbox") << Kind::Gearbox << true << false
                             << QByteArrayList{"Gearbox GCU Type", "Data logger available"}
                             << QByteArrayList{"VVT ECU Type"};
    QTest::newRow("gearbox without logger")
        << Kind::Gearbox << false << false << QByteArrayList{"Gearbox GCU Type"}
        << QByteArrayList{"VVT ECU Type", "Data logger"};
    QTest::newRow("combined") << Kind::Gearbox << true << true
                              << QByteArrayList{"VVT ECU Type", "Gearbox GCU Type",
                                                "Data logger available"}
                              << QByteArrayList{};
}

void TestSim::description()
{
    QFETCH(Kind, kind);
    QFETCH(bool, dataLogger);
    QFETCH(bool, combined);
    QFETCH(QByteArrayList, present);
    QFETCH(QByteArrayList, absent);

    std::unique_ptr<Controller> controller = makeController(kind);
    if (auto* gearbox = qobject_cast<GearboxController*>(controller.get())) {
        gearbox->setDataLogger(dataLogger);
        gearbox->setCombined(combined);
    }
    PortClient client(path());
    const QString error = plugAndOpen(*controller, path(), client);
    QVERIFY2(error.isEmpty(), qPrintable(error));

    client.send("do\r");
    QTRY_VERIFY_WITH_TIMEOUT(client.received().endsWith("\r\n*"), kReplyTimeoutMs);
    const QByteArray& reply = client.received();
    QVERIFY2(reply.startsWith("do\r\n"), reply.constData());
    for (const QByteArray& text : present)
        QVERIFY2(reply.contains(text), reply.constData());
    for (const QByteArray& text : absent)
        QVERIFY2(!reply.contains(text), reply.constData());
}

void TestSim::severalLinesInOneWrite()
{
    GearboxController gearbox;
    PortClient client(path());
    const QString error = plugAndOpen(gearbox, path(), client);
    QVERIFY2(error.isEmpty(), qPrintable(error));

    client.send("ve\rg0\rzz\r\rg5\r");
    QTRY_COMPARE_WITH_TIMEOUT(client.received(),
                              answer("ve", kGearboxVersion) + answer("g0", "30") + illegal("zz") +
                                  kEmptyLineReply + answer("g5", "A8"),
                              kReplyTimeoutMs);
    QCOMPARE(gearbox.receivedLines(), (QByteArrayList{"ve", "g0", "zz", "", "g5"}));
}

void TestSim::escapeAbandonsPartialLine()
{
    VvtController engine;
    PortClient client(path());
    const QString error = plugAndOpen(engine, path(), client);
    QVERIFY2(error.isEmpty(), qPrintable(error));

    client.send("g");
    QTRY_COMPARE_WITH_TIMEOUT(engine.receivedByteCount(), qint64(1), kReplyTimeoutMs);
    client.send("\x1bve\r");
    QTRY_COMPARE_WITH_TIMEOUT(client.received(), kWakeUpReply + answer("ve", kEngineVersion),
                              kReplyTimeoutMs);
    QCOMPARE(engine.receivedLines(), QByteArrayList{"ve"});
    QCOMPARE(engine.wakeUpCount(), 1);
}

void TestSim::promptFollowsControllerState()
{
    GearboxController gearbox;
    PortClient client(path());
    const QString error = plugAndOpen(gearbox, path(), client);
    QVERIFY2(error.isEmpty(), qPrintable(error));

    gearbox.setPrompt("TestMode>");
    client.send("ve\r\x1b");
    QTRY_COMPARE_WITH_TIMEOUT(client.received(),
                              answer("ve", kGearboxVersion, "TestMode>") + "\n\rTestMode>",
                              kReplyTimeoutMs);

    client.forget();
    gearbox.restart();
    client.send("ve\r");
    QTRY_COMPARE_WITH_TIMEOUT(client.received(), answer("ve", kGearboxVersion), kReplyTimeoutMs);
}

void TestSim::rawLineHandlers()
{
    VvtController engine;
    QByteArrayList records;
    engine.addRawLineHandler("S", [](const QByteArray&) { return Reply::illegal(); });
    engine.addRawLineHandler("S3", [&](const QByteArray& line) {
        records.append(line);
        return Reply::raw("+");
    });
    engine.addRawLineHandler(
        ":", [](const QByteArray& line) { return Reply::answer(QByteArray::number(line.size())); });
    PortClient client(path());
    const QString error = plugAndOpen(engine, path(), client);
    QVERIFY2(error.isEmpty(), qPrintable(error));

    client.send("S30900001000AABBCCDDD6\rS0\r:00000001FF\r");
    QTRY_COMPARE_WITH_TIMEOUT(client.received(),
                              QByteArray("+") + illegal("S0") + answer(":00000001FF", "11"),
                              kReplyTimeoutMs);
    QCOMPARE(records, QByteArrayList{"S30900001000AABBCCDDD6"});

    client.forget();
    engine.removeRawLineHandler("S3");
    engine.removeRawLineHandler("S");
    client.send("S31\r");
    QTRY_COMPARE_WITH_TIMEOUT(client.received(), illegal("S31"), kReplyTimeoutMs);
}

void TestSim::passwordLock()
{
    VvtController engine;
    engine.setPassword("tune42");
    PortClient client(path());
    const QString error = plugAndOpen(engine, path(), client);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QVERIFY(engine.isLocked());

    client.send("\x11\x1b\rve\rtune4\r");
    QTRY_COMPARE_WITH_TIMEOUT(client.received(),
                              kWakeUpReply + kPasswordRequest + kPasswordRequest + kPasswordRequest,
                              kReplyTimeoutMs);
    QVERIFY(engine.isLocked());

    client.forget();
    client.send("tune42\rve\r");
    QTRY_COMPARE_WITH_TIMEOUT(client.received(), kEmptyLineReply + answer("ve", kEngineVersion),
                              kReplyTimeoutMs);
    QVERIFY(!engine.isLocked());
    QCOMPARE(engine.receivedLines(), (QByteArrayList{"", "ve", "tune4", "tune42", "ve"}));

    client.close();
    client.forget();
    QVERIFY(client.open(kDefaultBaud));
    client.send("ve\r");
    QTRY_COMPARE_WITH_TIMEOUT(client.received(), answer("ve", kEngineVersion), kReplyTimeoutMs);

    client.close();
    client.forget();
    QVERIFY(engine.replug());
    QVERIFY(engine.isLocked());
    QVERIFY(client.open(kDefaultBaud));
    client.send("ve\r");
    QTRY_COMPARE_WITH_TIMEOUT(client.received(), kPasswordRequest, kReplyTimeoutMs);
}

void TestSim::faultShapesReplies_data()
{
    QTest::addColumn<FaultSettings>("faults");
    QTest::addColumn<qint32>("baud");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<QByteArrayList>("recorded");

    FaultSettings silent;
    silent.silent = true;
    QTest::newRow("silent") << silent << kDefaultBaud << QByteArray("ve\r\x1b\r") << QByteArray()
                            << QByteArrayList{"ve", ""};

    FaultSettings silentAfterTwo;
    silentAfterTwo.silentAfterLines = 2;
    QTest::newRow("silent after two lines")
        << silentAfterTwo << kDefaultBaud << QByteArray("\x1bve\rg0\rdo\r\x1b\r")
        << kWakeUpReply + answer("ve", kEngineVersion) + answer("g0", "00")
        << QByteArrayList{"ve", "g0", "do", ""};

    FaultSettings illegalCommands;
    illegalCommands.illegalCommands = {"do", "g"};
    QTest::newRow("illegal commands")
        << illegalCommands << kDefaultBaud << QByteArray("do\rg0\rve\r")
        << illegal("do") + illegal("g0") + answer("ve", kEngineVersion)
        << QByteArrayList{"do", "g0", "ve"};

    FaultSettings onlyAt19200;
    onlyAt19200.answerOnlyAtBaud = 19200;
    QTest::newRow("other baud rate") << onlyAt19200 << qint32(9600) << QByteArray("ve\r\x1b")
                                     << QByteArray() << QByteArrayList{};
    QTest::newRow("its baud rate") << onlyAt19200 << qint32(19200) << QByteArray("ve\r")
                                   << answer("ve", kEngineVersion) << QByteArrayList{"ve"};
}

// Silence is proven by a probe: once the faults are lifted, replies come in order, so anything
// the faulty controller had sent would arrive ahead of the probe's reply.
void TestSim::faultShapesReplies()
{
    QFETCH(FaultSettings, faults);
    QFETCH(qint32, baud);
    QFETCH(QByteArray, sent);
    QFETCH(QByteArray, expected);
    QFETCH(QByteArrayList, recorded);

    VvtController engine;
    PortClient client(path());
    const QString error = plugAndOpen(engine, path(), client, baud);
    QVERIFY2(error.isEmpty(), qPrintable(error));

    engine.setFaults(faults);
    client.send(sent);
    QTRY_COMPARE_WITH_TIMEOUT(engine.receivedByteCount(), qint64(sent.size()), kReplyTimeoutMs);
    QCOMPARE(engine.receivedLines(), recorded);

    engine.setFaults({});
    client.send("ve\r");
    QTRY_COMPARE_WITH_TIMEOUT(client.received(), expected + answer("ve", kEngineVersion),
                              kReplyTimeoutMs);
}

void TestSim::faultTiming_data()
{
    QTest::addColumn<int>("delayMs");
    QTest::addColumn<int>("gapMs");

    QTest::newRow("delay") << kReplyDelayMs << 0;
    QTest::newRow("split") << 0 << kSplitGapMs;
    QTest::newRow("delay and split") << kReplyDelayMs << kSplitGapMs;
}

void TestSim::faultTiming()
{
    QFETCH(int, delayMs);
    QFETCH(int, gapMs);

    VvtController engine;
    FaultSettings faults;
    faults.replyDelay = std::chrono::milliseconds(delayMs);
    if (gapMs > 0)
        faults.splitReplyGap = std::chrono::milliseconds(gapMs);
    engine.setFaults(faults);
    PortClient client(path());
    const QString error = plugAndOpen(engine, path(), client);
    QVERIFY2(error.isEmpty(), qPrintable(error));

    const QByteArray first = answer("ve", kEngineVersion);
    const QByteArray second = answer("g0", "00");
    client.send("ve\rg0\r");
    QTRY_COMPARE_WITH_TIMEOUT(client.received(), first + second, kReplyTimeoutMs);

    const std::vector<PortClient::Chunk>& chunks = client.chunks();
    QVERIFY2(chunks.front().atMs >= delayMs - kTimingSlackMs,
             qPrintable(QString::number(chunks.front().atMs)));
    if (gapMs == 0)
        return;
    QCOMPARE(chunks.front().bytes, first.left(first.size() / 2));
    qint64 firstComplete = -1;
    QByteArray collected;
    for (const PortClient::Chunk& chunk : chunks) {
        collected += chunk.bytes;
        if (firstComplete < 0 && collected.size() >= first.size())
            firstComplete = chunk.atMs;
    }
    QVERIFY2(firstComplete - chunks.front().atMs >= gapMs - kTimingSlackMs,
             qPrintable(QString::number(firstComplete - chunks.front().atMs)));
    QVERIFY2(chunks.back().atMs - chunks.front().atMs >= 2 * gapMs - kTimingSlackMs,
             qPrintable(QString::number(chunks.back().atMs - chunks.front().atMs)));
}

void TestSim::closeAfterLines()
{
    VvtController engine;
    FaultSettings faults;
    faults.closeAfterLines = 2;
    engine.setFaults(faults);
    PortClient client(path());
    const QString error = plugAndOpen(engine, path(), client);
    QVERIFY2(error.isEmpty(), qPrintable(error));

    client.send("ve\r");
    QTRY_COMPARE_WITH_TIMEOUT(client.received(), answer("ve", kEngineVersion), kReplyTimeoutMs);
    QVERIFY(engine.link().isPlugged());

    client.send("g0\r");
    QTRY_VERIFY_WITH_TIMEOUT(!engine.link().isPlugged(), kVanishTimeoutMs);
    QCOMPARE(client.received(), answer("ve", kEngineVersion) + answer("g0", "00"));
    QTRY_VERIFY_WITH_TIMEOUT(sawDeviceVanish(client.port()), kVanishTimeoutMs);
    client.close();
    QVERIFY(!QFileInfo(path()).isSymLink());
}

void TestSim::readsProgramBaudRate_data()
{
    QTest::addColumn<qint32>("baud");
    QTest::addColumn<qint32>("changedTo");

    QTest::newRow("9600") << qint32(9600) << qint32(19200);
    QTest::newRow("38400") << qint32(38400) << qint32(9600);
    QTest::newRow("57600") << qint32(57600) << qint32(115200);
    QTest::newRow("115200") << qint32(115200) << qint32(57600);
}

void TestSim::readsProgramBaudRate()
{
    QFETCH(qint32, baud);
    QFETCH(qint32, changedTo);

    GearboxController gearbox;
    PortClient client(path());
    const QString error = plugAndOpen(gearbox, path(), client, baud);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(gearbox.link().baudRate(), baud);

    QVERIFY(client.port().setBaudRate(changedTo));
    QCOMPARE(gearbox.link().baudRate(), changedTo);
}

void TestSim::unplugAndReplug()
{
    GearboxController gearbox;
    PortClient client(path());
    const QString error = plugAndOpen(gearbox, path(), client);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QSignalSpy unplugged(&gearbox.link(), &PtyLink::unplugged);

    gearbox.unplug();
    QCOMPARE(unplugged.count(), 1);
    QVERIFY(!QFileInfo(path()).isSymLink());
    QTRY_VERIFY_WITH_TIMEOUT(sawDeviceVanish(client.port()), kVanishTimeoutMs);
    client.close();
    QVERIFY(!client.open(kDefaultBaud));
    QCOMPARE(client.port().error(), QSerialPort::DeviceNotFoundError);

    QVERIFY2(gearbox.replug(), qPrintable(gearbox.link().errorString()));
    QCOMPARE(QFileInfo(path()).symLinkTarget(), gearbox.link().slavePath());
    PortClient again(path());
    QVERIFY2(again.open(kDefaultBaud), qPrintable(again.port().errorString()));
    again.send("ve\r");
    QTRY_COMPARE_WITH_TIMEOUT(again.received(), answer("ve", kGearboxVersion), kReplyTimeoutMs);
}

void TestSim::symlinkAtPath_data()
{
    QTest::addColumn<bool>("regularFile");

    QTest::newRow("stale link") << false;
    QTest::newRow("regular file") << true;
}

void TestSim::symlinkAtPath()
{
    QFETCH(bool, regularFile);

    if (regularFile) {
        QFile file(path());
        QVERIFY(file.open(QIODevice::WriteOnly));
    } else {
        QVERIFY(QFile::link(m_dir->filePath("gone/pts/99"), path()));
    }

    VvtController engine;
    QCOMPARE(engine.plug(path()), !regularFile);
    if (regularFile) {
        QVERIFY(!engine.link().errorString().isEmpty());
        QVERIFY(QFileInfo(path()).isFile());
        QVERIFY(!QFileInfo(path()).isSymLink());
        return;
    }
    QCOMPARE(QFileInfo(path()).symLinkTarget(), engine.link().slavePath());
    engine.unplug();
    QVERIFY(!QFileInfo(path()).isSymLink());
}

void TestSim::reopenPort()
{
    VvtController engine;
    PortClient client(path());
    const QString error = plugAndOpen(engine, path(), client);
    QVERIFY2(error.isEmpty(), qPrintable(error));

    for (int session = 0; session < 3; ++session) {
        client.forget();
        client.send("\x11\x1b\rve\r");
        QTRY_COMPARE_WITH_TIMEOUT(client.received(),
                                  kWakeUpReply + kEmptyLineReply + answer("ve", kEngineVersion),
                                  kReplyTimeoutMs);
        client.close();
        QTRY_VERIFY_WITH_TIMEOUT(!engine.link().isOpenByProgram(), kReplyTimeoutMs);
        QVERIFY2(client.open(kDefaultBaud), qPrintable(client.port().errorString()));
    }
    QVERIFY(engine.link().isPlugged());
    QVERIFY(!engine.link().isHungUp());
}

void TestSim::reopenDropsStaleReplies_data()
{
    QTest::addColumn<int>("delayMs");

    QTest::newRow("reply left unread") << 0;
    QTest::newRow("reply still delayed") << kReplyDelayMs;
}

// The first session only writes, so its replies are certain to be still waiting, in the pty or
// in the controller, when it closes.
void TestSim::reopenDropsStaleReplies()
{
    QFETCH(int, delayMs);

    VvtController engine;
    FaultSettings faults;
    faults.replyDelay = std::chrono::milliseconds(delayMs);
    engine.setFaults(faults);
    QVERIFY2(engine.plug(path()), qPrintable(engine.link().errorString()));

    QSerialPort writer(path());
    QVERIFY2(writer.open(QIODevice::WriteOnly), qPrintable(writer.errorString()));
    writer.write("ve\rdo\r");
    QTRY_COMPARE_WITH_TIMEOUT(engine.receivedLines().size(), qsizetype(2), kReplyTimeoutMs);
    if (delayMs == 0)
        QTRY_VERIFY_WITH_TIMEOUT(engine.link().unreadByProgram().value_or(0) > 0,
                                 kReplyTimeoutMs);
    writer.close();
    QTRY_VERIFY_WITH_TIMEOUT(!engine.link().isOpenByProgram(), kReplyTimeoutMs);
    QCOMPARE(engine.link().unreadByProgram().value_or(-1), 0);

    PortClient client(path());
    QVERIFY2(client.open(kDefaultBaud), qPrintable(client.port().errorString()));
    client.send("\x11\x1b\r");
    QTRY_COMPARE_WITH_TIMEOUT(client.received(), kWakeUpReply + kEmptyLineReply, kReplyTimeoutMs);
}

void TestSim::modemLinesFailHarmlessly()
{
    GearboxController gearbox;
    PortClient client(path());
    const QString error = plugAndOpen(gearbox, path(), client);
    QVERIFY2(error.isEmpty(), qPrintable(error));

    QSerialPort& port = client.port();
    const std::vector<std::pair<const char*, std::function<void()>>> calls = {
        {"setDataTerminalReady", [&] { port.setDataTerminalReady(true); }},
        {"setRequestToSend", [&] { port.setRequestToSend(true); }},
        {"pinoutSignals", [&] { port.pinoutSignals(); }},
        {"setFlowControl", [&] { port.setFlowControl(QSerialPort::NoFlowControl); }},
        {"clear", [&] { port.clear(); }},
        {"setBreakEnabled", [&] { port.setBreakEnabled(false); }},
    };
    for (const auto& [name, call] : calls) {
        call();
        if (port.error() != QSerialPort::NoError) {
            qInfo("%s on a pty: %s", name, qPrintable(port.errorString()));
            port.clearError();
        }
        QVERIFY2(port.isOpen(), name);
    }

    client.send("ve\r");
    QTRY_COMPARE_WITH_TIMEOUT(client.received(), answer("ve", kGearboxVersion), kReplyTimeoutMs);
    QCOMPARE(port.error(), QSerialPort::NoError);
    QVERIFY(gearbox.link().isPlugged());
}

void TestSim::ridesOutHangup()
{
    VvtController engine;
    engine.link().setHoldSlaveOpen(false);
    PortClient client(path());
    const QString error = plugAndOpen(engine, path(), client);
    QVERIFY2(error.isEmpty(), qPrintable(error));

    client.send("ve\r");
    QTRY_COMPARE_WITH_TIMEOUT(client.received(), answer("ve", kEngineVersion), kReplyTimeoutMs);
    client.close();
    QTRY_VERIFY_WITH_TIMEOUT(engine.link().isHungUp(), kReplyTimeoutMs);

    const double cpuBefore = processCpuSeconds();
    QTest::qWait(kHangupWatchMs);
    const double cpuShare = (processCpuSeconds() - cpuBefore) / (kHangupWatchMs / 1000.0);
    QVERIFY2(cpuShare < kHangupCpuShare, qPrintable(QString::number(cpuShare)));
    QVERIFY(engine.link().isPlugged());

    client.forget();
    QVERIFY2(client.open(kDefaultBaud), qPrintable(client.port().errorString()));
    client.send("\x1bve\r");
    QTRY_COMPARE_WITH_TIMEOUT(client.received(), kWakeUpReply + answer("ve", kEngineVersion),
                              kReplyTimeoutMs);
    QVERIFY(!engine.link().isHungUp());
}

void TestSim::throttle_data()
{
    QTest::addColumn<Direction>("direction");
    QTest::addColumn<qint32>("baud");
    QTest::addColumn<int>("bytes");

    // Far more than the pty buffers, so the program's writes have to wait for the line.
    QTest::newRow("program to controller") << Direction::ToController << qint32(460800) << 46080;
    QTest::newRow("controller to program") << Direction::ToProgram << qint32(115200) << 11520;
}

void TestSim::throttle()
{
    QFETCH(Direction, direction);
    QFETCH(qint32, baud);
    QFETCH(int, bytes);

    constexpr int kRecordLength = 63;
    GearboxController gearbox;
    gearbox.addRawLineHandler("S3", [](const QByteArray&) { return Reply::nothing(); });
    gearbox.addRawLineHandler(
        "dump", [bytes](const QByteArray&) { return Reply::raw(QByteArray(bytes, 'D')); });
    gearbox.link().setThrottled(true);
    PortClient client(path());
    const QString error = plugAndOpen(gearbox, path(), client, baud);
    QVERIFY2(error.isEmpty(), qPrintable(error));

    QByteArray sent = "dump\r";
    if (direction == Direction::ToController) {
        const QByteArray record = "S3" + QByteArray(kRecordLength - 3, 'A') + "\r";
        sent = record.repeated(bytes / kRecordLength);
    }
    QElapsedTimer clock;
    qint64 doneMs = -1;
    connect(&gearbox.link(), &PtyLink::received, this, [&] {
        if (gearbox.receivedByteCount() == sent.size())
            doneMs = clock.elapsed();
    });
    clock.start();
    client.send(sent);

    if (direction == Direction::ToController) {
        QTRY_VERIFY_WITH_TIMEOUT(gearbox.receivedByteCount() > 0, kReplyTimeoutMs);
        QVERIFY2(client.port().bytesToWrite() > 0,
                 "the program's writes should be held up by the line");
        QTRY_VERIFY_WITH_TIMEOUT(doneMs >= 0, kTransferTimeoutMs);
    } else {
        QTRY_COMPARE_WITH_TIMEOUT(client.received().size(), qsizetype(bytes), kTransferTimeoutMs);
        doneMs = client.chunks().back().atMs;
    }

    const qint64 elapsedMs = doneMs;
    const double carried = direction == Direction::ToController ? sent.size() : bytes;
    const double idealMs = 1000.0 * carried / (baud / 10.0);
    qInfo("%.0f bytes at %d baud took %lld ms (%.0f bytes/s)", carried, baud, elapsedMs,
          1000.0 * carried / static_cast<double>(elapsedMs));
    QVERIFY2(elapsedMs >= kThrottleLowerBoundShare * idealMs,
             qPrintable(QStringLiteral("%1 ms").arg(elapsedMs)));
}

void TestSim::executable_data()
{
    QTest::addColumn<Shutdown>("shutdown");

    QTest::newRow("standard input closes") << Shutdown::StandardInputCloses;
    QTest::newRow("SIGTERM") << Shutdown::Terminate;
    QTest::newRow("SIGINT") << Shutdown::Interrupt;
}

void TestSim::executable()
{
    QFETCH(Shutdown, shutdown);

    const QString enginePath = path(QStringLiteral("ecu"));
    const QString gearboxPath = path(QStringLiteral("gcu"));
    QProcess simulator;
    simulator.start(QStringLiteral(VANTOREX_SIM_EXECUTABLE),
                    {"--ecu", enginePath, "--gcu", gearboxPath, "--ecu-version", "V9.8-7",
                     "--ecu-password", "secret"});
    QVERIFY2(simulator.waitForStarted(kProcessTimeoutMs), qPrintable(simulator.errorString()));
    QTRY_VERIFY_WITH_TIMEOUT(simulator.peek(kAnnouncementBytes).count('\n') == 2,
                             kProcessTimeoutMs);
    const QByteArrayList lines = simulator.readAllStandardOutput().trimmed().split('\n');
    QVERIFY2(lines.at(0).startsWith("ECU on " + QFile::encodeName(enginePath) + " -> /dev/pts/"),
             lines.at(0).constData());
    QVERIFY2(lines.at(1).startsWith("GCU on " + QFile::encodeName(gearboxPath) + " -> /dev/pts/"),
             lines.at(1).constData());

    PortClient engine(enginePath);
    QVERIFY2(engine.open(kDefaultBaud), qPrintable(engine.port().errorString()));
    engine.send("ve\rsecret\rve\r");
    QTRY_COMPARE_WITH_TIMEOUT(engine.received(),
                              kPasswordRequest + kEmptyLineReply + answer("ve", "V9.8-7"),
                              kReplyTimeoutMs);
    PortClient gearbox(gearboxPath);
    QVERIFY2(gearbox.open(kDefaultBaud), qPrintable(gearbox.port().errorString()));
    gearbox.send("ve\r");
    QTRY_COMPARE_WITH_TIMEOUT(gearbox.received(), answer("ve", kGearboxVersion), kReplyTimeoutMs);

    switch (shutdown) {
    case Shutdown::StandardInputCloses:
        simulator.closeWriteChannel();
        break;
    case Shutdown::Terminate:
        simulator.terminate();
        break;
    case Shutdown::Interrupt:
        ::kill(static_cast<pid_t>(simulator.processId()), SIGINT);
        break;
    }
    QVERIFY(simulator.waitForFinished(kProcessTimeoutMs));
    QCOMPARE(simulator.exitStatus(), QProcess::NormalExit);
    QCOMPARE(simulator.exitCode(), 0);
    QVERIFY(!QFileInfo(enginePath).isSymLink());
    QVERIFY(!QFileInfo(gearboxPath).isSymLink());
    QTRY_VERIFY_WITH_TIMEOUT(sawDeviceVanish(engine.port()), kVanishTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(sawDeviceVanish(gearbox.port()), kVanishTimeoutMs);
}

} // namespace vx::sim::test

QTEST_GUILESS_MAIN(vx::sim::test::TestSim)
#include "test_sim.moc"
