#include "port_client.h"
#include "sim/bootloader.h"
#include "sim/firmware_maker.h"
#include "sim/gearbox_controller.h"
#include "sim/intel_hex.h"
#include "sim/vvt_controller.h"

#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <optional>

using namespace vx::sim;
using vx::sim::test::PortClient;

Q_DECLARE_METATYPE(vx::sim::BootloaderFaults)

namespace {

constexpr int kReplyMs = 3000;
constexpr qint32 kBaud = 115200;

const QByteArray kEntered = "zb\r\nStarting bootloader\r\n*";
const QByteArray kErased = "ERASE\r\nFlash erased\r\n*";
const QByteArray kProgrammed = "\r\nProgramming complete\r\n*";
const QByteArray kIncomplete = "\r\nError: program incomplete\r\n*";
const QByteArray kStillRunning = "zb\r\nBootloader running\r\n*";
const QByteArray kLeft = "ex\r\nStarting program\r\n*";

// The lines of a file as the update sends them: each without its line end, followed by CR.
QByteArray asSent(const QByteArray& hexText)
{
    QByteArray sent;
    for (const QByteArray& line : hexText.split('\n')) {
        const QByteArray trimmed = line.endsWith('\r') ? line.chopped(1) : line;
        if (!trimmed.isEmpty())
            sent += trimmed + '\r';
    }
    return sent;
}

QByteArrayList recordLines(const QByteArray& hexText)
{
    QByteArrayList lines;
    for (const QByteArray& line : hexText.split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (!trimmed.isEmpty())
            lines << trimmed;
    }
    return lines;
}

HexImage imageOf(const QByteArrayList& lines)
{
    HexImage image;
    ihex::ImageBuilder builder(image);
    for (const QByteArray& line : lines) {
        const std::optional<ihex::Record> record = ihex::parseRecord(line);
        if (record)
            builder.take(*record);
    }
    return image;
}

} // namespace

class TestBootloader : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void parsesRecords_data();
    void parsesRecords();
    void imageKeepsRunsTogether_data();
    void imageKeepsRunsTogether();
    void encodedFileCarriesTheImage();
    void extendedSegmentAddresses();

    void loadsAFile_data();
    void loadsAFile();
    void identifyInTheSameWriteAsZb();
    void faults_data();
    void faults();
    void hangsMidLoadUntilPowerCycled();
    void abandonedLoadAndUnknownCommands();

private:
    // Sends bytes and waits until the reply ends with what is expected.
    bool exchange(const QByteArray& bytes, const QByteArray& expectedEnd);
    // Waits until the controller has taken every byte written to it.
    bool allTaken(qint64 sentBefore, qint64 bytes);

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<VvtController> ecu;
    std::unique_ptr<PortClient> client;
};

void TestBootloader::init()
{
    dir = std::make_unique<QTemporaryDir>();
    ecu = std::make_unique<VvtController>();
    const QString path = dir->filePath("ecu");
    QVERIFY(ecu->plug(path));
    client = std::make_unique<PortClient>(path);
    QVERIFY(client->open(kBaud));
}

void TestBootloader::cleanup()
{
    client.reset();
    ecu.reset();
    dir.reset();
}

bool TestBootloader::exchange(const QByteArray& bytes, const QByteArray& expectedEnd)
{
    client->forget();
    client->send(bytes);
    if (QTest::qWaitFor([&] { return client->received().endsWith(expectedEnd); }, kReplyMs))
        return true;
    qWarning("received %s", client->received().toPercentEncoding("\\ *?:").constData());
    return false;
}

bool TestBootloader::allTaken(qint64 sentBefore, qint64 bytes)
{
    const bool taken =
        QTest::qWaitFor([&] { return ecu->receivedByteCount() == sentBefore + bytes; }, kReplyMs);
    QCoreApplication::processEvents();
    return taken;
}

void TestBootloader::parsesRecords_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("address");
    QTest::addColumn<QByteArray>("data");

    QTest::newRow("data") << QByteArray(":0300300002337A1E") << true << 0 << 0x0030
                          << QByteArray::fromHex("02337A");
    QTest::newRow("lower-case digits")
        << QByteArray(":0300300002337a1e") << true << 0 << 0x0030 << QByteArray::fromHex("02337A");
    QTest::newRow("end of file") << QByteArray(":00000001FF") << true << 1 << 0 << QByteArray();
    QTest::newRow("extended linear")
        << QByteArray(":020000040800F2") << true << 4 << 0 << QByteArray::fromHex("0800");
    QTest::newRow("wrong checksum")
        << QByteArray(":0300300002337A1F") << false << 0 << 0 << QByteArray();
    QTest::newRow("count says more")
        << QByteArray(":0400300002337A1D") << false << 0 << 0 << QByteArray();
    QTest::newRow("half a digit pair")
        << QByteArray(":0300300002337A1E0") << false << 0 << 0 << QByteArray();
    QTest::newRow("not a digit") << QByteArray(":03003000023G7A1E") << false << 0 << 0
                                 << QByteArray();
    QTest::newRow("no colon") << QByteArray("0300300002337A1E") << false << 0 << 0 << QByteArray();
    QTest::newRow("too short") << QByteArray(":000001FF") << false << 0 << 0 << QByteArray();
}

void TestBootloader::parsesRecords()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, valid);
    const std::optional<ihex::Record> record = ihex::parseRecord(line);
    QCOMPARE(record.has_value(), valid);
    if (!valid)
        return;
    QFETCH(int, type);
    QFETCH(int, address);
    QFETCH(QByteArray, data);
    QCOMPARE(int(record->type), type);
    QCOMPARE(int(record->address), address);
    QCOMPARE(record->data, data);
    QCOMPARE(ihex::recordLine(record->type, record->address, record->data), line.toUpper());
}

void TestBootloader::imageKeepsRunsTogether_data()
{
    QTest::addColumn<QList<quint32>>("addresses");
    QTest::addColumn<QByteArrayList>("writes");
    QTest::addColumn<QList<quint32>>("starts");
    QTest::addColumn<QByteArrayList>("runs");

    QTest::newRow("in order") << QList<quint32>{0x100, 0x104} << QByteArrayList{"abcd", "efgh"}
                              << QList<quint32>{0x100} << QByteArrayList{"abcdefgh"};
    QTest::newRow("backwards") << QList<quint32>{0x104, 0x100} << QByteArrayList{"efgh", "abcd"}
                               << QList<quint32>{0x100} << QByteArrayList{"abcdefgh"};
    QTest::newRow("gap") << QList<quint32>{0x100, 0x105} << QByteArrayList{"abcd", "fgh"}
                         << QList<quint32>{0x100, 0x105} << QByteArrayList{"abcd", "fgh"};
    QTest::newRow("bridges a gap")
        << QList<quint32>{0x100, 0x106, 0x103} << QByteArrayList{"abc", "gh", "def"}
        << QList<quint32>{0x100} << QByteArrayList{"abcdefgh"};
    QTest::newRow("overwrites") << QList<quint32>{0x100, 0x102} << QByteArrayList{"abcd", "XYZW"}
                                << QList<quint32>{0x100} << QByteArrayList{"abXYZW"};
    QTest::newRow("inside") << QList<quint32>{0x100, 0x101} << QByteArrayList{"abcd", "X"}
                            << QList<quint32>{0x100} << QByteArrayList{"aXcd"};
    QTest::newRow("covers two") << QList<quint32>{0x101, 0x105, 0x100}
                                << QByteArrayList{"b", "f", "ABCDEFG"} << QList<quint32>{0x100}
                                << QByteArrayList{"ABCDEFG"};
    QTest::newRow("top of memory") << QList<quint32>{0xFFFFFFFC} << QByteArrayList{"abcd"}
                                   << QList<quint32>{0xFFFFFFFC} << QByteArrayList{"abcd"};
}

void TestBootloader::imageKeepsRunsTogether()
{
    QFETCH(QList<quint32>, addresses);
    QFETCH(QByteArrayList, writes);
    QFETCH(QList<quint32>, starts);
    QFETCH(QByteArrayList, runs);
    HexImage image;
    for (int i = 0; i < addresses.size(); ++i)
        image.write(addresses[i], writes[i]);
    HexImage::Segments expected;
    for (int i = 0; i < starts.size(); ++i)
        expected.emplace(starts[i], runs[i]);
    QCOMPARE(image.segments(), expected);
}

void TestBootloader::encodedFileCarriesTheImage()
{
    const TestFirmware sample = sampleFirmware();
    const QByteArrayList lines = recordLines(sample.hexText);
    QCOMPARE(lines.last(), QByteArray(":00000001FF"));
    // The block below 64 KB runs on above it, so the upper address bits change once.
    QCOMPARE(lines.count(QByteArrayLiteral(":020000040001F9")), 1);
    for (const QByteArray& line : lines)
        QVERIFY2(ihex::parseRecord(line).has_value(), line.constData());
    QCOMPARE(imageOf(lines), sample.image);
    QCOMPARE(sample.image.byteCount(), qint64(0x100 + 0xA30 + 0xE5));
    // The same blocks and seed make the same firmware.
    QCOMPARE(sampleFirmware().hexText, sample.hexText);
}

void TestBootloader::extendedSegmentAddresses()
{
    const QByteArrayList lines{":020000021000EC", ":02001000AABB89", ":020000040002F8",
                               ":0100000055AA", ":00000001FF"};
    HexImage expected;
    expected.write(0x10010, QByteArray::fromHex("AABB"));
    expected.write(0x20000, QByteArray::fromHex("55"));
    QCOMPARE(imageOf(lines), expected);
}

void TestBootloader::loadsAFile_data()
{
    QTest::addColumn<bool>("gearbox");
    QTest::newRow("engine controller") << false;
    QTest::newRow("gearbox controller") << true;
}

void TestBootloader::loadsAFile()
{
    QFETCH(bool, gearbox);
    std::unique_ptr<Controller> gcu;
    if (gearbox) {
        client.reset();
        gcu = std::make_unique<GearboxController>();
        QVERIFY(gcu->plug(dir->filePath("gcu")));
        client = std::make_unique<PortClient>(dir->filePath("gcu"));
        QVERIFY(client->open(kBaud));
    }
    Controller& controller = gearbox ? *gcu : static_cast<Controller&>(*ecu);
    Bootloader& loader = controller.bootloader();
    loader.setFaults({});
    const TestFirmware firmware = sampleFirmware();

    QVERIFY(exchange("zb\r", kEntered));
    QVERIFY(loader.isActive());
    QVERIFY(exchange("?", QByteArray(Bootloader::kDefaultIdentity)));
    QVERIFY(exchange("ERASE\r", kErased));
    QVERIFY(loader.image().isEmpty());
    QVERIFY(exchange("LF\r" + asSent(firmware.hexText), kProgrammed));
    QCOMPARE(client->received(), kProgrammed);
    QCOMPARE(loader.image(), firmware.image);
    QCOMPARE(loader.goodLoads(), 1);
    QVERIFY(exchange("ex\r", kLeft));
    QCOMPARE(loader.state(), Bootloader::State::Off);
    QCOMPARE(loader.commands(), (QByteArrayList{"?", "ERASE", "LF", "ex"}));
    // The controller's own program answers again, and the flash keeps the new program.
    QVERIFY(exchange("ve\r", "ve\r\n" + controller.version() + "\r\n*"));
    QCOMPARE(loader.image(), firmware.image);
}

void TestBootloader::identifyInTheSameWriteAsZb()
{
    QVERIFY(exchange("zb\r?", kEntered + Bootloader::kDefaultIdentity));
}

void TestBootloader::faults_data()
{
    QTest::addColumn<BootloaderFaults>("faults");
    QTest::addColumn<QByteArray>("send");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("erased");

    const QByteArray file = asSent(sampleFirmware().hexText);
    BootloaderFaults faults;
    faults.ignoreIdentify = true;
    QTest::newRow("ignores ?") << faults << QByteArray("?zb\r") << kStillRunning << false;
    faults = {};
    faults.ignoreErase = true;
    QTest::newRow("ignores ERASE") << faults << QByteArray("ERASE\rzb\r") << kStillRunning << false;
    faults = {};
    faults.failRecord = 3;
    QTest::newRow("fails a record") << faults << "ERASE\rLF\r" + file
                                    << kErased + Bootloader::kRecordError + kIncomplete << true;
}

void TestBootloader::faults()
{
    QFETCH(BootloaderFaults, faults);
    QFETCH(QByteArray, send);
    QFETCH(QByteArray, reply);
    QFETCH(bool, erased);
    const TestFirmware old = makeTestFirmware({{0x40, 64}}, 7);
    QVERIFY(exchange("zb\rERASE\rLF\r" + asSent(old.hexText), kProgrammed));
    Bootloader& loader = ecu->bootloader();
    loader.setFaults(faults);
    QVERIFY(exchange(send, reply));
    QCOMPARE(client->received(), reply);
    if (!erased) {
        QCOMPARE(loader.image(), old.image);
        return;
    }
    // The bad record is left out; the rest is written.
    QByteArrayList lines = recordLines(sampleFirmware().hexText);
    lines.removeAt(2);
    QCOMPARE(loader.image(), imageOf(lines));
    QVERIFY(loader.image() != sampleFirmware().image);
    QCOMPARE(loader.goodLoads(), 1);
}

void TestBootloader::hangsMidLoadUntilPowerCycled()
{
    const TestFirmware firmware = sampleFirmware();
    Bootloader& loader = ecu->bootloader();
    BootloaderFaults faults;
    faults.silentAfterRecords = 10;
    loader.setFaults(faults);
    QVERIFY(exchange("zb\r", kEntered));
    QVERIFY(exchange("ERASE\r", kErased));
    client->forget();
    const QByteArray rest = "LF\r" + asSent(firmware.hexText) + "zb\r?";
    const qint64 before = ecu->receivedByteCount();
    client->send(rest);
    QVERIFY(allTaken(before, rest.size()));
    QCOMPARE(loader.state(), Bootloader::State::Hung);
    QCOMPARE(loader.recordCount(), 11);
    QCOMPARE(ecu->link().unreadByProgram().value_or(-1), 0);
    QCOMPARE(client->received(), QByteArray());

    ecu->restart();
    QCOMPARE(loader.state(), Bootloader::State::Off);
    loader.setFaults({});
    QVERIFY(exchange("zb\r", kEntered));
    QVERIFY(exchange("ERASE\rLF\r" + asSent(firmware.hexText), kErased + kProgrammed));
    QCOMPARE(loader.image(), firmware.image);
}

void TestBootloader::abandonedLoadAndUnknownCommands()
{
    const TestFirmware firmware = sampleFirmware();
    const QByteArray file = asSent(firmware.hexText);
    const QByteArray half = file.left(file.indexOf(":10040000"));
    QVERIFY(exchange("zb\rERASE\r", kErased));
    Bootloader& loader = ecu->bootloader();
    // A load cut short by another command stays unfinished: no "*" for it.
    QVERIFY(exchange("LF\r" + half + "zb\r", kStillRunning));
    QCOMPARE(client->received(), kStillRunning);
    QCOMPARE(loader.goodLoads(), 0);
    QVERIFY(exchange("LF\r" + half + "?", QByteArray(Bootloader::kDefaultIdentity)));
    QCOMPARE(loader.state(), Bootloader::State::Commands);
    QVERIFY(exchange("\rRUN\r", "RUN\r\nUnknown command\r\n*"));
    QCOMPARE(client->received(), QByteArray("RUN\r\nUnknown command\r\n*"));
    QCOMPARE(loader.image(),
             imageOf(recordLines(firmware.hexText.left(firmware.hexText.indexOf(":10040000")))));
}

QTEST_GUILESS_MAIN(TestBootloader)
#include "test_bootloader.moc"
