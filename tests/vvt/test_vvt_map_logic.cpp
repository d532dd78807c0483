#include "common/globals.h"
#include "serial/command_table.h"
#include "test_environment.h"
#include "vvt/cell_selection.h"
#include "vvt/controller_replies.h"
#include "vvt/firmware_version.h"
#include "vvt/live_data.h"
#include "vvt/map_model.h"
#include "vvt/map_records.h"

#include <QtTest>

#include <memory>

using namespace vx;

namespace {

void fillMap(int value)
{
    for (int column = 0; column < kMapUsedColumns; ++column) {
        for (int row = 0; row < kMapRows; ++row)
            G.AdvanceMap[row][G.CurrentMapSlot][column] = value;
    }
}

QString listing(const QList<int>& bytes)
{
    QString reply = QStringLiteral("li\r\n");
    for (const int b : bytes)
        reply += QString::number(b, 16).toUpper().rightJustified(2, '0') + QStringLiteral("\r\n");
    return reply + QStringLiteral("*");
}

} // namespace

class TestVvtMapLogic : public QObject
{
    Q_OBJECT
private slots:
    void init() { env = std::make_unique<test::TestEnvironment>(); }
    void cleanup() { env.reset(); }

    void indexMapping();
    void cellTextForm_data();
    void cellTextForm();
    void checksum_data();
    void checksum();
    void records_data();
    void records();
    void nameAndChecksumLines();
    void firmwareVersion_data();
    void firmwareVersion();
    void replies();
    void mapListing();
    void selectionRectangles_data();
    void selectionRectangles();
    void keyboardSteps();
    void liveAnswers();
    void engineSpeed_data();
    void engineSpeed();
    void operatingRow_data();
    void operatingRow();

private:
    std::unique_ptr<test::TestEnvironment> env;
};

void TestVvtMapLogic::indexMapping()
{
    QCOMPARE(GetRpmOffsetFromIndex(37), 7);
    QCOMPARE(GetThrotFromIndex(37), 1);
    QCOMPARE(GetThrotFromIndex(239), 7);
    QCOMPARE(GetRpmOffsetFromIndex(239), 29);
    QCOMPARE(cellIndex(7, 5), 157);
}

void TestVvtMapLogic::cellTextForm_data()
{
    QTest::addColumn<MapCell>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("positive") << MapCell(25) << " 25";
    QTest::newRow("zero") << MapCell(0) << " 0";
    QTest::newRow("negative") << MapCell(-4) << "-4";
    QTest::newRow("no value") << MapCell() << "";
}

void TestVvtMapLogic::cellTextForm()
{
    QFETCH(MapCell, value);
    QFETCH(QString, text);
    QCOMPARE(cellText(value), text);
}

void TestVvtMapLogic::checksum_data()
{
    QTest::addColumn<int>("fill");
    QTest::addColumn<int>("oddCell");
    QTest::addColumn<int>("oddValue");
    QTest::addColumn<qint64>("checksum");
    QTest::addColumn<QString>("digits");
    QTest::newRow("all zero") << 0 << -1 << 0 << qint64(-1) << "FFFFFFFF";
    QTest::newRow("all one") << 1 << -1 << 0 << qint64(-241) << "FFFFFF0F";
    QTest::newRow("one cell -1") << 0 << 100 << -1 << qint64(-256) << "FFFFFF00";
}

void TestVvtMapLogic::checksum()
{
    QFETCH(int, fill);
    QFETCH(int, oddCell);
    QFETCH(int, oddValue);
    QFETCH(qint64, checksum);
    QFETCH(QString, digits);
    fillMap(fill);
    if (oddCell >= 0)
        G.AdvanceMap[GetRpmOffsetFromIndex(oddCell)][1][GetThrotFromIndex(oddCell)] = oddValue;
    // A cleared cell counts as nothing.
    G.AdvanceMap[0][1][8] = 50;
    ComputeMapChecksum();
    QCOMPARE(G.MapChecksum[1], checksum);
    QCOMPARE(checksumDigits(checksum), digits);
    QCOMPARE(checksumLine(checksum), digits + "ch");
}

void TestVvtMapLogic::records_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("row");
    QTest::addColumn<MapCell>("value");
    QTest::addColumn<QString>("record");
    const QString zeros(64, '0');
    QTest::newRow("all-zero column 0") << 0 << 0 << MapCell(0) << "S32500000000" + zeros + "DA";
    QTest::newRow("column 7 address") << 7 << 0 << MapCell(0) << "S325000000E0" + zeros + "FA";
    // 0x25 + 0x20 + 0xFC = 0x141: low byte 41, complement BE.
    QTest::newRow("cell -4") << 1 << 0 << MapCell(-4) << "S32500000020FC" + zeros.mid(2) + "BE";
    QTest::newRow("empty cell sent as 0") << 2 << 29 << MapCell() << "S32500000040" + zeros + "9A";
    QTest::newRow("row 29 value 60")
        << 3 << 29 << MapCell(60) << "S32500000060" + QString(58, '0') + "3C0000" + "3E";
}

void TestVvtMapLogic::records()
{
    QFETCH(int, column);
    QFETCH(int, row);
    QFETCH(MapCell, value);
    QFETCH(QString, record);
    fillMap(0);
    G.AdvanceMap[row][1][column] = value;
    QCOMPARE(columnRecord(1, column), record);
    QCOMPARE(record.size(), 78);
}

void TestVvtMapLogic::nameAndChecksumLines()
{
    QCOMPARE(nameLine("TRACK"), QStringLiteral("TRACK.camna"));
    QCOMPARE(kTerminationRecord, QStringLiteral("S70500004000BA"));
    QCOMPARE(checksumLine(-1), QStringLiteral("FFFFFFFFch"));
    QCOMPARE(checksumLine(12), QStringLiteral("0000000Cch"));
}

void TestVvtMapLogic::firmwareVersion_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("number");
    QTest::newRow("ordinary") << "ve\r\nV1.2-3\r\n*"
                              << "V1.2-3" << 10203;
    QTest::newRow("too old") << "ve\r\nV0.99-99\r\n*"
                             << "V0.99-99" << 9999;
    QTest::newRow("X form") << "ve\r\nX2.10-5\r\n*"
                            << "X2.10-5" << 21005;
    QTest::newRow("beyond 16 bits") << "ve\r\nV7.0-0\r\n*"
                                    << "V7.0-0" << 70000;
    QTest::newRow("no build") << "ve\r\nV1.5\r\n*"
                              << "V1.5" << 10500;
}

void TestVvtMapLogic::firmwareVersion()
{
    QFETCH(QString, reply);
    QFETCH(QString, text);
    QFETCH(int, number);
    const FirmwareVersion version = parseFirmwareVersion(reply);
    QCOMPARE(version.text, text);
    QCOMPARE(version.number, number);
}

void TestVvtMapLogic::replies()
{
    QCOMPARE(answerOf("ih\r\n0064\r\n*", "ih", 4), QStringLiteral("0064"));
    QCOMPARE(signedChecksumOf("FFFFFF00"), qint64(-256));
    QCOMPARE(signedChecksumOf("0000000C"), qint64(12));
    QCOMPARE(mapNameOf("na\r\nTRACK.cam\r\n*"), QStringLiteral("TRACK"));
    QCOMPARE(mapNameOf("na\r\n\r\n*"), QString());
    QCOMPARE(mapNameOf("na"), QString());
    QCOMPARE(cylinderCountOf("cy\r\n6\r\n*"), std::optional<int>(6));
    QCOMPARE(cylinderCountOf("xcy\r\n6\r\n*"), std::optional<int>());
    QCOMPARE(cylinderCountOf("\r\n*"), std::optional<int>());
    QCOMPARE(cylinderCountOf("cy\r\n"), std::optional<int>());
}

void TestVvtMapLogic::mapListing()
{
    QList<int> bytes;
    for (int column = 0; column < kMapUsedColumns; ++column) {
        for (int row = 0; row < kMapRows; ++row)
            bytes << (column == 0 && row == 0 ? 0x80 : column == 7 && row == 29 ? 0x7F : row);
        if (column == 0)
            bytes << 0xEE; // the extra line after the first column
    }
    const std::optional<ColumnMajorMap> map = mapOfListing(listing(bytes));
    QVERIFY(map);
    QCOMPARE((*map)[0][0], -128);
    QCOMPARE((*map)[7][29], 127);
    QCOMPARE((*map)[1][0], 0);
    QCOMPARE((*map)[3][17], 17);
    bytes.removeLast();
    QVERIFY(!mapOfListing(listing(bytes)));
}

void TestVvtMapLogic::selectionRectangles_data()
{
    QTest::addColumn<int>("anchor");
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("y");
    QTest::addColumn<QList<int>>("cells");
    QTest::newRow("over the anchor") << 0 << 400.0 << 300.0 << QList<int>{};
    QTest::newRow("drag right and down") << 0 << 1000.0 << 400.0 << QList<int>{0, 1, 30, 31};
    QTest::newRow("just left of the anchor") << 5 << -10.0 << 0.0 << QList<int>{4, 5};
    QTest::newRow("rows do not wrap") << 28 << 5000.0 << 0.0 << QList<int>{28, 29};
    QTest::newRow("up and left") << 62 << -1010.0 << -350.0 << QList<int>{30, 31, 32, 60, 61, 62};
    QTest::newRow("lines beyond the grid") << 211 << 505.0 << 1400.0 << QList<int>{211, 212};
}

void TestVvtMapLogic::selectionRectangles()
{
    QFETCH(int, anchor);
    QFETCH(double, x);
    QFETCH(double, y);
    QFETCH(QList<int>, cells);
    QCOMPARE(selectionRectangle(anchor, x, y), cells);
}

void TestVvtMapLogic::keyboardSteps()
{
    double x = 0;
    double y = 0;
    QVERIFY(stepKeySelection(28, SelectKey::Right, x, y));
    QCOMPARE(x, 505.0);
    QVERIFY(!stepKeySelection(28, SelectKey::Right, x, y));
    QVERIFY(!stepKeySelection(0, SelectKey::Up, x, y));
    QVERIFY(stepKeySelection(200, SelectKey::Down, x, y));
    QVERIFY(!stepKeySelection(200, SelectKey::Down, x, y));
    QCOMPARE(y, 350.0);
}

void TestVvtMapLogic::liveAnswers()
{
    QCOMPARE(liveBatch(), QStringLiteral("rp\rsy\rth\rto\rrh\rcw\rcx\rcz\rdw\rdv\r"));
    const QString reply = "rp\r\n0100\r\n*cw\r\n05 0A 14 1E\r\n*th\r\n1E";
    QCOMPARE(liveAnswer(reply, "rp", 4), std::optional<QString>("0100"));
    QCOMPARE(liveAnswer(reply, "th", 2), std::optional<QString>("1E"));
    QCOMPARE(liveAnswer(reply, "th", 3), std::optional<QString>());
    QCOMPARE(liveAnswer(reply, "dv", 11), std::optional<QString>());
    QCOMPARE(fourNumbers(*liveAnswer(reply, "cw", 11)), (std::array<int, 4>{5, 10, 20, 30}));

    QString full;
    for (const QString& q : liveQueries())
        full += q + "\r\n" + QString(11, '0') + "\r\n*";
    QVERIFY(liveReplyComplete(full));
    QString noDv = full;
    noDv.replace("dv", "xx");
    QVERIFY(!liveReplyComplete(noDv));
    QVERIFY(!liveReplyComplete(full.left(144)));
}

void TestVvtMapLogic::engineSpeed_data()
{
    QTest::addColumn<int>("trigger");
    QTest::addColumn<int>("cylinders");
    QTest::addColumn<qint64>("period");
    QTest::addColumn<int>("rpm");
    QTest::addColumn<bool>("running");
    QTest::newRow("rev counter 4 cyl P 256") << 1 << 4 << qint64(256) << 3660 << true;
    QTest::newRow("rev counter 6 cyl P 256") << 1 << 6 << qint64(256) << 2440 << true;
    QTest::newRow("rev counter P 40") << 1 << 4 << qint64(40) << 10000 << true;
    QTest::newRow("rev counter 8 cyl") << 1 << 8 << qint64(256) << 0 << false;
    QTest::newRow("rev counter stopped") << 1 << 4 << qint64(0xFFFF) << 10 << false;
    QTest::newRow("crank T 23437") << 0 << 4 << qint64(0x5B8D) << 4000 << true;
    QTest::newRow("crank T too short") << 0 << 4 << qint64(2) << 0 << true;
}

void TestVvtMapLogic::engineSpeed()
{
    QFETCH(int, trigger);
    QFETCH(int, cylinders);
    QFETCH(qint64, period);
    QFETCH(int, rpm);
    QFETCH(bool, running);
    if (trigger == 1) {
        const int speed = revCounterRpm(static_cast<int>(period), cylinders);
        QCOMPARE(speed, rpm);
        QCOMPARE(revCounterRunning(speed, cylinders), running);
    } else {
        QCOMPARE(crankPeriodRpm(period), rpm);
    }
}

void TestVvtMapLogic::operatingRow_data()
{
    QTest::addColumn<int>("rpm");
    QTest::addColumn<int>("row");
    QTest::newRow("4000") << 4000 << 7;
    QTest::newRow("2740") << 2740 << 4;
    QTest::newRow("2760") << 2760 << 5;
    QTest::newRow("idle") << 600 << 1;
    QTest::newRow("top") << 16000 << 29;
}

void TestVvtMapLogic::operatingRow()
{
    QFETCH(int, rpm);
    QFETCH(int, row);
    QCOMPARE(vx::operatingRow(rpm), row);
    QCOMPARE(rpmCaption(0), QString());
}

QTEST_MAIN(TestVvtMapLogic)
#include "test_vvt_map_logic.moc"
