#include "common/globals.h"
#include "mapfile/map_file.h"
#include "mapfile/value_file.h"
#include "test_environment.h"

#include <QFile>
#include <QtTest>

#include <memory>

using namespace vx;

namespace {

int slot() { return G.CurrentMapSlot; }

void fillMap()
{
    for (int column = 0; column < kMapUsedColumns; ++column) {
        for (int row = 0; row < kMapRows; ++row)
            G.AdvanceMap[row][slot()][column] = (column * 7 + row) % 61 - (column == 3 ? 4 : 0);
    }
}

QByteArray lines(std::initializer_list<const char*> values)
{
    QByteArray text;
    for (const char* v : values)
        text += QByteArray(v) + "\r\n";
    return text;
}

QByteArray mapBody(int cellValue)
{
    QByteArray text = lines({"\"Cam Table\"", "1"});
    for (int i = 0; i < kMapCells; ++i)
        text += QByteArray::number(cellValue) + "\r\n";
    text += "-241\r\n";
    for (int i = 0; i < kCamParamCount; ++i)
        text += QByteArray::number(10 + i) + "\r\n";
    return text;
}

} // namespace

class TestMapFile : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        env = std::make_unique<test::TestEnvironment>();
        G.MapFolder = env->home() + "/";
    }
    void cleanup() { env.reset(); }

    void writtenFileHasTheLayout();
    void roundTripGivesTheSameMap();
    void valuesAreReadAcrossLineEndsAndCommas();
    void unknownFileType();
    void otherFileVersionIsNotLoaded();
    void missingOrOtherSections_data();
    void missingOrOtherSections();
    void damagedFileLeavesTheMap_data();
    void damagedFileLeavesTheMap();
    void failedWriteKeepsTheMapChanged();
    void saveNameRules_data();
    void saveNameRules();
    void overwriteAnsweredNoAsksAgain();
    void cancelledDialogsChangeNothing();
    void openAsksBeforeReplacingAMap();

private:
    std::unique_ptr<test::TestEnvironment> env;
};

void TestMapFile::writtenFileHasTheLayout()
{
    fillMap();
    G.AdvanceMap[0][slot()][1].reset(); // a cell without value is written (and kept) as 0
    G.MapChecksum[slot()] = -241;
    G.CamParams = {70, 80, 70, 70, 80, 70, 2, 7.5, 10, 2, 5, 0.5};
    G.CylinderCount = 6;
    G.TriggerType = 0;
    G.CrankSensorType = 2;
    G.MapChanged[slot()] = 1;

    const QString path = env->path("map.cam");
    QVERIFY(WriteMapFile(path).ok);
    QCOMPARE(G.MapChanged[slot()], 0);
    QCOMPARE(G.CurrentMapFile, path);
    QCOMPARE(G.AdvanceMap[0][slot()][1], MapCell(0));

    const QByteArray content = test::readFile(path);
    QVERIFY(content.endsWith("\r\n"));
    QList<QByteArray> l = content.split('\n');
    QCOMPARE(l.takeLast(), QByteArray());
    QCOMPARE(l.size(), 262);
    for (const QByteArray& line : l)
        QVERIFY(line.endsWith('\r'));
    const auto line = [&l](int n) { return QString::fromLatin1(l.at(n - 1).chopped(1)); };
    QCOMPARE(line(1), QStringLiteral("\"File Version\""));
    QCOMPARE(line(2), QStringLiteral("1"));
    QCOMPARE(line(3), QStringLiteral("\"Cam Table\""));
    QCOMPARE(line(4), QStringLiteral("1"));
    QCOMPARE(line(5), QString::number(*G.AdvanceMap[0][slot()][0]));
    QCOMPARE(line(34), QString::number(*G.AdvanceMap[29][slot()][0]));
    QCOMPARE(line(35), QStringLiteral("0"));
    QCOMPARE(line(5 + 3 * 30), QString::number(*G.AdvanceMap[0][slot()][3]));
    QCOMPARE(line(245), QStringLiteral("-241"));
    QCOMPARE(line(246), QStringLiteral("70"));
    QCOMPARE(line(253), QStringLiteral("7.5"));
    QCOMPARE(line(257), QStringLiteral("0.5"));
    QCOMPARE(line(258), QStringLiteral("\"Engine Params\""));
    QCOMPARE(line(259), QStringLiteral("1"));
    QCOMPARE(line(260), QStringLiteral("6"));
    QCOMPARE(line(261), QStringLiteral("0"));
    QCOMPARE(line(262), QStringLiteral("2"));
}

void TestMapFile::roundTripGivesTheSameMap()
{
    fillMap();
    G.MapChecksum[slot()] = -12345;
    G.CamParams = {71, 81, 72, 73, 82, 74, 2.5, 7, 10, 3, 5, 6};
    G.CylinderCount = 8;
    G.TriggerType = 5;
    G.CrankSensorType = 1;
    const AdvanceMapTable map = G.AdvanceMap;
    const auto params = G.CamParams;
    const QString path = env->path("trip.cam");
    QVERIFY(WriteMapFile(path).ok);

    resetGlobals();
    QVERIFY(LoadMapFile(path));
    for (int column = 0; column < kMapUsedColumns; ++column) {
        for (int row = 0; row < kMapRows; ++row)
            QCOMPARE(G.AdvanceMap[row][slot()][column], map[row][slot()][column]);
    }
    QCOMPARE(G.MapChecksum[slot()], qint64(-12345));
    QCOMPARE(G.CamParams, params);
    QCOMPARE(G.CylinderCount, 8);
    QCOMPARE(G.TriggerType, 5);
    QCOMPARE(G.CrankSensorType, 1);
    QCOMPARE(G.MapChanged[slot()], 0);
    QVERIFY(G.MapLoaded);
    QVERIFY(env->prompts.messages.isEmpty());
}

void TestMapFile::valuesAreReadAcrossLineEndsAndCommas()
{
    ValueReader reader;
    reader.setText(QStringLiteral("junk,\"File Version\",1\n\"a, b\" , 2.5\r\n,#TRUE#"));
    QVERIFY(reader.findSection("File Version"));
    QCOMPARE(reader.nextNumber(), std::optional<double>(1));
    QCOMPARE(reader.next(), std::optional<QString>("a, b"));
    QCOMPARE(reader.nextNumber(), std::optional<double>(2.5));
    QCOMPARE(reader.next(), std::optional<QString>(""));
    QCOMPARE(reader.next(), std::optional<QString>("#TRUE#"));
    QVERIFY(reader.atEnd());
    QVERIFY(!reader.next());
    QCOMPARE(formatNumber(1), QStringLiteral("1"));
    QCOMPARE(formatNumber(-0.25), QStringLiteral("-0.25"));
}

void TestMapFile::unknownFileType()
{
    fillMap();
    const AdvanceMapTable before = G.AdvanceMap;
    const QString path = test::writeFile(env->path("other.cam"), "\"Something\"\r\n1\r\n");
    QVERIFY(!LoadMapFile(path));
    QCOMPARE(env->prompts.texts(), QStringList{"Unknown file type"});
    QCOMPARE(env->prompts.messages[0].title, QStringLiteral("Vantorex VVT ECU Software"));
    QVERIFY(G.AdvanceMap == before);
}

void TestMapFile::otherFileVersionIsNotLoaded()
{
    fillMap();
    G.BufferCaption = "current";
    const AdvanceMapTable before = G.AdvanceMap;
    const QString path = test::writeFile(env->path("future.cam"),
                                         lines({"\"File Version\"", "2"}) + mapBody(9));
    env->prompts.chooseFile(path);
    env->prompts.answer(Answer::Ok); // replace the loaded map
    OpenMapFile();
    QCOMPARE(G.BufferCaption, QStringLiteral("current"));
    QVERIFY(G.AdvanceMap == before);
    QCOMPARE(env->prompts.messages.last().text,
             QStringLiteral("File Version 2 is not supported, the map file was not loaded"));
}

void TestMapFile::missingOrOtherSections_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<int>("cell");
    QTest::addColumn<int>("cylinders");

    const QByteArray head = lines({"\"File Version\"", "1"});
    const QByteArray engine = lines({"\"Engine Params\"", "1", "6", "3", "1"});
    QTest::newRow("no cam table") << head + engine
                                  << QStringList{"Ignition table not found in file, loading defaults"} << 0 << 6;
    QTest::newRow("cam table version 2")
        << head + lines({"\"Cam Table\"", "2", "5", "5"}) + engine
        << QStringList{"Ignition table version not supported in file, loading defaults"} << 0 << 6;
    QTest::newRow("no engine params") << head + mapBody(17)
                                      << QStringList{"Engine parameters not found in file, loading defaults"} << 17 << 4;
    QTest::newRow("engine params version 3")
        << head + mapBody(17) + lines({"\"Engine Params\"", "3", "8", "1", "1"})
        << QStringList{"Engine parameters version not supported in file, loading defaults"} << 17 << 4;
    QTest::newRow("sections in another order") << engine + mapBody(21) + head << QStringList{} << 21 << 6;
    QTest::newRow("empty engine values keep the settings")
        << head + mapBody(1) + lines({"\"Engine Params\"", "1", "", "", ""}) << QStringList{} << 1 << 4;
}

void TestMapFile::missingOrOtherSections()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, messages);
    QFETCH(int, cell);
    QFETCH(int, cylinders);

    fillMap();
    G.CylinderCount = 4;
    G.TriggerType = 1;
    const QString path = test::writeFile(env->path("sections.cam"), content);
    QVERIFY(LoadMapFile(path));
    QCOMPARE(env->prompts.texts(), messages);
    for (int column = 0; column < kMapUsedColumns; ++column) {
        for (int row = 0; row < kMapRows; ++row)
            QCOMPARE(G.AdvanceMap[row][slot()][column], MapCell(cell));
    }
    QCOMPARE(G.CylinderCount, cylinders);
    if (cylinders == 6)
        QCOMPARE(G.TriggerType, 3);
}

void TestMapFile::damagedFileLeavesTheMap_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("error");

    const QByteArray whole = lines({"\"File Version\"", "1"}) + mapBody(3) +
                             lines({"\"Engine Params\"", "1", "6", "3", "1"});
    const auto changed = [&](const QByteArray& from, const QByteArray& to) {
        QByteArray text = whole;
        return text.replace(from, to);
    };
    QByteArray cut = lines({"\"File Version\"", "1"}) + mapBody(3);
    cut.truncate(cut.size() - 40);
    QTest::newRow("cut short") << cut << "Input past end of file";
    QTest::newRow("word for a cell") << changed("\r\n3\r\n", "\r\nthree\r\n") << "Type mismatch";
    QTest::newRow("nan cell") << changed("\r\n3\r\n", "\r\nnan\r\n") << "Type mismatch";
    QTest::newRow("infinite cam parameter") << changed("\r\n15\r\n", "\r\ninf\r\n") << "Type mismatch";
    QTest::newRow("cell too large") << changed("\r\n3\r\n", "\r\n1e10\r\n") << "Overflow";
    QTest::newRow("checksum too large") << changed("\r\n-241\r\n", "\r\n-1e300\r\n") << "Overflow";
    QTest::newRow("cylinder count too large") << changed("\r\n6\r\n", "\r\n40000\r\n") << "Overflow";
}

void TestMapFile::damagedFileLeavesTheMap()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, error);

    fillMap();
    G.CylinderCount = 4;
    const AdvanceMapTable before = G.AdvanceMap;
    QVERIFY(!LoadMapFile(test::writeFile(env->path("damaged.cam"), content)));
    QCOMPARE(env->prompts.texts(), QStringList{error});
    QCOMPARE(env->prompts.messages.last().title, QStringLiteral("Error"));
    QVERIFY(G.AdvanceMap == before);
    QCOMPARE(G.CylinderCount, 4);
}

void TestMapFile::failedWriteKeepsTheMapChanged()
{
    G.MapChanged[slot()] = 1;
    const QString existing = test::writeFile(env->path("keep.cam"), "old content");
    // A folder in the way of the file: the write cannot complete.
    QVERIFY(QDir(env->home()).mkpath("keep.cam.dir/x.cam"));
    const FileResult result = WriteMapFile(env->path("keep.cam.dir/x.cam"));
    QVERIFY(!result.ok);
    QVERIFY(!result.errorText.isEmpty());
    QCOMPARE(G.MapChanged[slot()], 1);
    QCOMPARE(test::readFile(existing), QByteArray("old content"));
}

void TestMapFile::saveNameRules_data()
{
    QTest::addColumn<QStringList>("chosen");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QString>("written");
    QTest::addColumn<QString>("caption");

    QTest::newRow("no extension gets .cam") << QStringList{"engine"} << QStringList{} << "engine.cam" << "engine";
    QTest::newRow("upper case extension") << QStringList{"Engine.CAM"} << QStringList{} << "Engine.CAM" << "Engine";
    QTest::newRow("other extension refused")
        << QStringList{"engine.txt", "engine2"} << QStringList{"Invalid file extention, must be .cam"}
        << "engine2.cam" << "engine2";
    QTest::newRow("26 characters refused")
        << QStringList{QString(26, 'a'), QString(25, 'b')}
        << QStringList{"Filename too long, maximum of 25 characters"} << QString(25, 'b') + ".cam"
        << QString(25, 'b');
}

void TestMapFile::saveNameRules()
{
    QFETCH(QStringList, chosen);
    QFETCH(QStringList, messages);
    QFETCH(QString, written);
    QFETCH(QString, caption);

    fillMap();
    for (const QString& name : chosen)
        env->prompts.chooseFile(env->path(name));
    QVERIFY(SaveMapFileAs("default.cam", true));
    QCOMPARE(env->prompts.texts(), messages);
    for (const Message& m : env->prompts.messages)
        QCOMPARE(m.title, QStringLiteral("Warning"));
    QVERIFY(QFile::exists(env->path(written)));
    QCOMPARE(G.BufferCaption, caption);
    QCOMPARE(G.MapFolder, env->home() + "/");
    QCOMPARE(env->prompts.fileRequests.first().initialPath, env->home() + "/default.cam");
}

void TestMapFile::overwriteAnsweredNoAsksAgain()
{
    test::writeFile(env->path("taken.cam"), "old");
    env->prompts.chooseFile(env->path("taken.cam"));
    env->prompts.answer(Answer::No);
    env->prompts.chooseFile(env->path("fresh"));
    QVERIFY(SaveMapFileAs("x.cam", true));
    QCOMPARE(env->prompts.texts(), QStringList{"taken.cam already exists, overwrite it?"});
    const Message& m = env->prompts.messages[0];
    QCOMPARE(m.buttons, Buttons::YesNo);
    QCOMPARE(m.defaultButton, std::optional<Answer>(Answer::No));
    QCOMPARE(test::readFile(env->path("taken.cam")), QByteArray("old"));
    QVERIFY(QFile::exists(env->path("fresh.cam")));
}

void TestMapFile::cancelledDialogsChangeNothing()
{
    G.BufferCaption = "kept";
    env->prompts.chooseFile(std::nullopt);
    QVERIFY(!SaveMapFileAs("kept.cam", true));
    env->prompts.chooseFile(std::nullopt);
    OpenMapFile();
    QCOMPARE(G.BufferCaption, QStringLiteral("kept"));
    QVERIFY(env->prompts.messages.isEmpty());
    QCOMPARE(env->prompts.fileRequests.last().initialPath, env->home() + "/*.cam");
}

void TestMapFile::openAsksBeforeReplacingAMap()
{
    fillMap();
    QVERIFY(WriteMapFile(env->path("other.cam")).ok);
    G.BufferCaption = "loaded";

    env->prompts.chooseFile(env->path("other.cam"));
    env->prompts.answer(Answer::Cancel);
    OpenMapFile();
    QCOMPARE(G.BufferCaption, QStringLiteral("loaded"));
    const Message& m = env->prompts.messages[0];
    QCOMPARE(m.text, QStringLiteral("Map 1 already contains valid data, OK to overwrite?"));
    QCOMPARE(m.buttons, Buttons::OkCancel);
    QCOMPARE(m.icon, Icon::Question);
    QCOMPARE(m.defaultButton, std::optional<Answer>(Answer::Cancel));

    env->prompts.chooseFile(env->path("other.cam"));
    env->prompts.answer(Answer::Ok);
    OpenMapFile();
    QCOMPARE(G.BufferCaption, QStringLiteral("other"));

    // Save As of an empty map is refused.
    G.BufferCaption = "Empty";
    SaveMapFile();
    QCOMPARE(env->prompts.messages.last().text, QStringLiteral("Map 1 is empty"));
    QCOMPARE(env->prompts.messages.last().icon, Icon::Exclamation);
}

QTEST_MAIN(TestMapFile)
#include "test_map_file.moc"
