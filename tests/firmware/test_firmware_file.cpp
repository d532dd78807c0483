#include "service/firmware_file.h"
#include "service/line_pacer.h"
#include "sim/firmware_maker.h"
#include "test_environment.h"

#include <QDir>
#include <QtTest>

#include <memory>

using namespace vx;

class TestFirmwareFile : public QObject
{
    Q_OBJECT
private slots:
    void init() { env = std::make_unique<test::TestEnvironment>(); }
    void cleanup() { env.reset(); }

    void splitsLines_data();
    void splitsLines();
    void checksTheText_data();
    void checksTheText();
    void readsTheFile();
    void readErrorIsReported();
    void sampleIsTheGeneratorsOwn();
    void dialogStartFolder_data();
    void dialogStartFolder();

    void pacerKeepsTheBacklog_data();
    void pacerKeepsTheBacklog();
    void pacerCountsLinesThatLeft();

private:
    std::unique_ptr<test::TestEnvironment> env;
};

void TestFirmwareFile::splitsLines_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArrayList>("lines");

    QTest::newRow("CR LF") << QByteArray(":A\r\n:B\r\n") << QByteArrayList{":A", ":B"};
    QTest::newRow("LF") << QByteArray(":A\n:B\n") << QByteArrayList{":A", ":B"};
    QTest::newRow("CR") << QByteArray(":A\r:B\r") << QByteArrayList{":A", ":B"};
    QTest::newRow("no final line end") << QByteArray(":A\r\n:B") << QByteArrayList{":A", ":B"};
    QTest::newRow("blank line") << QByteArray(":A\r\n\r\n:B\r\n") << QByteArrayList{":A", "", ":B"};
    QTest::newRow("blank last line") << QByteArray(":A\r\n\r\n") << QByteArrayList{":A", ""};
    QTest::newRow("LF CR is two line ends")
        << QByteArray(":A\n\r:B") << QByteArrayList{":A", "", ":B"};
    QTest::newRow("spaces kept") << QByteArray(" :A \r\n") << QByteArrayList{" :A "};
    QTest::newRow("empty") << QByteArray() << QByteArrayList{};
}

void TestFirmwareFile::splitsLines()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArrayList, lines);
    QCOMPARE(splitLines(text), lines);
}

void TestFirmwareFile::checksTheText_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("valid");

    const QByteArray data = ":0300300002337A1E\r\n";
    const QByteArray end = ":00000001FF\r\n";
    QTest::newRow("data and end") << data + data + end << true;
    QTest::newRow("end record alone") << end << true;
    QTest::newRow("end record without line end") << data + ":00000001FF" << true;
    QTest::newRow("end record with more after it") << data + ":00000001FFxyz\r\n" << true;
    QTest::newRow("blank line") << data + "\r\n" + end << false;
    QTest::newRow("blank line after the end") << data + end + "\r\n" << false;
    QTest::newRow("line without colon") << data + "0300300002337A1E\r\n" + end << false;
    QTest::newRow("leading space") << " " + data + end << false;
    QTest::newRow("no end record") << data + data << false;
    QTest::newRow("end record not last") << data + end + data << false;
    QTest::newRow("empty file") << QByteArray() << false;
}

void TestFirmwareFile::checksTheText()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, valid);
    QCOMPARE(isFirmwareText(splitLines(text)), valid);
    const FirmwareFile file = readFirmwareFile(test::writeFile(env->path("f.hex"), text));
    QCOMPARE(file.status, valid ? FirmwareFile::Status::Valid : FirmwareFile::Status::Invalid);
    QCOMPARE(file.lines, splitLines(text));
}

void TestFirmwareFile::readsTheFile()
{
    // Larger than one read, so the pieces must join up.
    const sim::TestFirmware firmware = sim::firmwareOfFileSize(300 * 1024, 11);
    const FirmwareFile file =
        readFirmwareFile(test::writeFile(env->path("big.hex"), firmware.hexText));
    QCOMPARE(file.status, FirmwareFile::Status::Valid);
    QCOMPARE(file.lines.join("\r\n") + "\r\n", firmware.hexText);
    QVERIFY(file.error.isEmpty());
}

void TestFirmwareFile::readErrorIsReported()
{
    // This process's own memory file opens, and reading its start fails on an unmapped page.
    const QString unreadable = QStringLiteral("/proc/self/mem");
    QFile probe(unreadable);
    QVERIFY(probe.open(QIODevice::ReadOnly));
    QVERIFY(probe.read(16).isEmpty());
    QCOMPARE(probe.error(), QFileDevice::ReadError);

    const FirmwareFile file = readFirmwareFile(unreadable);
    QCOMPARE(file.status, FirmwareFile::Status::Unreadable);
    QVERIFY(file.lines.isEmpty());
    QCOMPARE(file.error, probe.errorString());

    const FirmwareFile missing = readFirmwareFile(env->path("none.hex"));
    QCOMPARE(missing.status, FirmwareFile::Status::Unreadable);
    QVERIFY(!missing.error.isEmpty());
}

void TestFirmwareFile::sampleIsTheGeneratorsOwn()
{
    const QByteArray sample = test::readFile(QStringLiteral(VX_FIRMWARE_DATA "/sample.hex"));
    QCOMPARE(sample, sim::sampleFirmware().hexText);
    // The copy the demo offers its simulated controllers.
    QCOMPARE(test::readFile(QStringLiteral(":/demo/vantorex-sample.hex")), sample);
    QCOMPARE(readFirmwareFile(QStringLiteral(VX_FIRMWARE_DATA "/sample.hex")).status,
             FirmwareFile::Status::Valid);
}

void TestFirmwareFile::dialogStartFolder_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("withFirmwareFolder");
    QTest::addColumn<QString>("pattern");

    QTest::newRow("program folder") << "prog/" << true << "prog/firmware/*.hex";
    QTest::newRow("folder of the chosen file")
        << "prog/firmware/" << false << "prog/firmware/*.hex";
    QTest::newRow("folder without a firmware folder") << "usb/" << false << "usb/*.hex";
}

void TestFirmwareFile::dialogStartFolder()
{
    QFETCH(QString, folder);
    QFETCH(bool, withFirmwareFolder);
    QFETCH(QString, pattern);
    const QString base = env->home() + QLatin1Char('/');
    QVERIFY(QDir().mkpath(base + folder));
    if (withFirmwareFolder)
        QVERIFY(QDir().mkpath(base + folder + "firmware"));
    QCOMPARE(firmwareFilePattern(base + folder), base + pattern);
}

void TestFirmwareFile::pacerKeepsTheBacklog_data()
{
    QTest::addColumn<int>("target");
    QTest::addColumn<qint64>("backlog");
    QTest::addColumn<QByteArray>("chunk");

    QTest::newRow("empty queue") << 10 << qint64(0) << QByteArray(":AAA\r:BB\r:C\r");
    QTest::newRow("some queued") << 10 << qint64(4) << QByteArray(":AAA\r:BB\r");
    QTest::newRow("nearly full") << 10 << qint64(9) << QByteArray(":AAA\r");
    QTest::newRow("full") << 10 << qint64(10) << QByteArray();
    QTest::newRow("line longer than the target") << 3 << qint64(0) << QByteArray(":AAA\r");
}

void TestFirmwareFile::pacerKeepsTheBacklog()
{
    QFETCH(int, target);
    QFETCH(qint64, backlog);
    QFETCH(QByteArray, chunk);
    LinePacer pacer({":AAA", ":BB", ":C", ":DDDD"}, "\r", target);
    QCOMPARE(pacer.nextChunk(backlog), chunk);
    QCOMPARE(pacer.bytesQueued(), qint64(chunk.size()));
    QCOMPARE(pacer.totalBytes(), qint64(5 + 4 + 3 + 6));
}

void TestFirmwareFile::pacerCountsLinesThatLeft()
{
    LinePacer pacer({":AAA", ":BB", ":C", ":DDDD"}, "\r", 9);
    QCOMPARE(pacer.nextChunk(0), QByteArray(":AAA\r:BB\r"));
    QCOMPARE(pacer.linesSent(9), 0);
    QCOMPARE(pacer.linesSent(5), 0);
    QCOMPARE(pacer.linesSent(4), 1);
    QCOMPARE(pacer.linesSent(1), 1);
    QCOMPARE(pacer.linesSent(0), 2);
    QVERIFY(!pacer.allQueued());
    QCOMPARE(pacer.nextChunk(0), QByteArray(":C\r:DDDD\r"));
    QVERIFY(pacer.allQueued());
    QCOMPARE(pacer.nextChunk(0), QByteArray());
    QCOMPARE(pacer.linesSent(6), 3);
    QCOMPARE(pacer.linesSent(0), 4);
    QCOMPARE(pacer.bytesQueued(), pacer.totalBytes());
}

QTEST_GUILESS_MAIN(TestFirmwareFile)
#include "test_firmware_file.moc"
