#include "common/globals.h"
#include "gearbox/gearbox_file.h"
#include "gearbox_fixture.h"
#include "mapfile/value_file.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace vx;
using vx::test::GearboxFixture;

namespace {

const QString kLoadQuestion =
    QStringLiteral("Loading this file will overwrite ALL\rgearbox parameters in the GCU\r\rAre you "
                   "sure you want to do this?");
const QString kNewerQuestion =
    QStringLiteral("This file is in a newer format\r\rDo you want to atttempt to load it anyway?");
const QString kLoadError = QStringLiteral("Error loading gearbox config file");

QList<QByteArray> fileLines(const QString& path)
{
    QList<QByteArray> lines = test::readFile(path).split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QByteArray& line : lines)
        line.chop(line.endsWith('\r') ? 1 : 0);
    return lines;
}

QByteArray joined(const QList<QByteArray>& lines)
{
    return lines.join("\r\n") + "\r\n";
}

} // namespace

class TestGearboxFile : public QObject
{
    Q_OBJECT
private slots:
    void init() { fx = std::make_unique<GearboxFixture>(); }
    void cleanup() { fx.reset(); }

    void savesEveryLine();
    void saveNames_data();
    void saveNames();
    void overwriteAsksFirst();
    void failedWriteIsReported();
    void loadSendsEveryValueAndReadsBack();
    void version2DividesPositions();
    void refusedFiles_data();
    void refusedFiles();
    void userDeclines_data();
    void userDeclines();
    void lostLinkStopsTheLoad();

private:
    QString savedFile(const QString& name);
    std::unique_ptr<GearboxFixture> fx;
};

QString TestGearboxFile::savedFile(const QString& name)
{
    fx->env->prompts.chooseFile(fx->env->path(name));
    fx->button("SaveFile")->click();
    return fx->env->path(name.endsWith(".gbx") ? name : name + ".gbx");
}

void TestGearboxFile::savesEveryLine()
{
    sim::GearboxSettings& s = fx->gcu.settings();
    s.setValue("ut", 0x7D);
    s.setValue("wp", 1);
    s.setValue("bn", 0);
    s.setValue("am", 3);
    s.setValue("gp", 2);
    fx->gcu.setGearPosition('R', 0x11);
    fx->gcu.setRamPosition('5', 0x44);
    QVERIFY(fx->openAndConnect());
    const QString path = savedFile("test");
    QCOMPARE(fx->env->prompts.fileRequests.first().initialPath.endsWith("GearboxParams"), true);
    const QList<QByteArray> lines = fileLines(path);
    QCOMPARE(lines.size(), 57);
    QCOMPARE(lines.mid(0, 5),
             (QList<QByteArray>{"\"File Version\"", "1", "\"Gearbox Parameters\"", "#TRUE#", "6"}));
    QCOMPARE(lines.at(5), QByteArray("48"));    // neutral barrel position
    QCOMPARE(lines.at(15), QByteArray("17"));   // reverse barrel position
    QCOMPARE(lines.at(21), QByteArray("68"));   // ram position of 5th
    QCOMPARE(lines.at(27), QByteArray("2"));    // gear pattern
    QCOMPARE(lines.at(34), QByteArray("200"));  // fixed line
    QCOMPARE(lines.at(41), QByteArray("1250")); // upshift timeout in milliseconds
    QCOMPARE(lines.at(54), QByteArray("3"));    // autoshift mode
    QCOMPARE(lines.at(56), QByteArray("#FALSE#"));
    QVERIFY(test::readFile(path).contains("\r\n"));
    QVERIFY(fx->env->prompts.messages.isEmpty());
}

void TestGearboxFile::saveNames_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QString>("written");
    QTest::newRow("extension added") << QStringList{"test"} << QStringList() << "test.gbx";
    QTest::newRow("upper-case extension") << QStringList{"CAR.GBX"} << QStringList() << "CAR.GBX";
    QTest::newRow("other extension")
        << QStringList{"test.txt", "test"} << QStringList{"Invalid file extention, must be .gbx"}
        << "test.gbx";
    QTest::newRow("26 characters")
        << QStringList{QString(26, 'a'), QString(25, 'a')}
        << QStringList{"Filename too long, maximum of 25 characters"} << QString(25, 'a') + ".gbx";
}

void TestGearboxFile::saveNames()
{
    QFETCH(QStringList, names);
    QFETCH(QStringList, messages);
    QFETCH(QString, written);
    QVERIFY(fx->openAndConnect());
    for (const QString& name : names)
        fx->env->prompts.chooseFile(fx->env->path(name));
    fx->button("SaveFile")->click();
    QCOMPARE(fx->env->prompts.texts(), messages);
    for (const Message& m : fx->env->prompts.messages)
        QCOMPARE(m.title, QStringLiteral("Warning"));
    QVERIFY(QFileInfo::exists(fx->env->path(written)));
    QCOMPARE(fileLines(fx->env->path(written)).size(), 57);
}

void TestGearboxFile::overwriteAsksFirst()
{
    QVERIFY(fx->openAndConnect());
    const QString path = test::writeFile(fx->env->path("old.gbx"), "keep");
    fx->env->prompts.chooseFile(path);
    fx->env->prompts.answer(Answer::No);
    fx->env->prompts.chooseFile(std::nullopt);
    fx->button("SaveFile")->click();
    QCOMPARE(fx->env->prompts.texts(), QStringList{"old.gbx already exists, overwrite it?"});
    QCOMPARE(fx->env->prompts.messages.first().buttons, Buttons::YesNo);
    QCOMPARE(fx->env->prompts.messages.first().defaultButton, std::optional<Answer>(Answer::No));
    QCOMPARE(test::readFile(path), QByteArray("keep"));

    fx->env->prompts.clear();
    fx->env->prompts.chooseFile(path);
    fx->env->prompts.answer(Answer::Yes);
    fx->button("SaveFile")->click();
    QCOMPARE(fileLines(path).size(), 57);
}

void TestGearboxFile::failedWriteIsReported()
{
    QVERIFY(fx->openAndConnect());
    // A folder that is really a file: the file cannot be created.
    test::writeFile(fx->env->path("plain"), "not a folder");
    fx->env->prompts.chooseFile(fx->env->path("plain/params"));
    fx->button("SaveFile")->click();
    QCOMPARE(fx->env->prompts.messages.size(), 1);
    QCOMPARE(fx->env->prompts.messages.first().title, QStringLiteral("Fatal Error"));
    QVERIFY(!fx->env->prompts.messages.first().text.isEmpty());
    QCOMPARE(test::readFile(fx->env->path("plain")), QByteArray("not a folder"));
}

void TestGearboxFile::loadSendsEveryValueAndReadsBack()
{
    fx->gcu.settings().setValue("ut", 0x7D);
    fx->gcu.settings().setValue("wp", 0);
    QVERIFY(fx->openAndConnect());
    const QString path = savedFile("round");
    QList<QByteArray> lines = fileLines(path);
    lines[3] = "#TRUE#"; // swap paddles
    lines[4] = "7";      // maximum gears
    lines[15] = "33";    // reverse barrel position
    lines[41] = "1000";  // upshift timeout
    lines[29] = "9000";  // maximum downshift speed
    test::writeFile(path, joined(lines));
    // The controller still holds other values: the window shows what it reads back.
    fx->gcu.settings().setValue("bw", 9);

    fx->env->prompts.chooseFile(path);
    fx->env->prompts.answer(Answer::Yes);
    fx->button("OpenFile")->click();
    QCOMPARE(fx->env->prompts.texts(), QStringList{kLoadQuestion});
    QCOMPARE(fx->env->prompts.messages.first().icon, Icon::Question);
    QCOMPARE(fx->env->prompts.fileRequests.last().initialPath.endsWith("*.gbx"), true);

    const QByteArrayList sent = fx->sentSettings();
    const qsizetype first = sent.indexOf("01wp");
    QVERIFY(first >= 0);
    QCOMPARE(sent.mid(first, 3), (QByteArrayList{"01wp", "07mg", "30g0"}));
    QVERIFY(sent.contains("21gR"));
    QVERIFY(sent.contains("64ut"));
    QVERIFY(sent.contains("2328md"));
    QVERIFY(sent.contains("05bw"));
    QCOMPARE(sent.count("C8du") + sent.count("96du"), 1);
    QVERIFY(sent.contains("00bn"));
    QCOMPARE(fx->gcu.gearPosition('R'), std::optional<quint8>(33));
    QCOMPARE(fx->gcu.settings().value("ut"), std::optional<int>(100));
    // Read back: the window shows the controller's values.
    QCOMPARE(fx->box("UpshiftTimeout")->text(), QStringLiteral("1000"));
    QCOMPARE(fx->box("BarrelWindow")->text(), QStringLiteral("5"));
    QVERIFY(fx->child<QCheckBox>("SwapPaddles")->isChecked());
    QCOMPARE(fx->status(), QStringLiteral("Running"));
    QVERIFY(fx->child<QTimer>("GearboxReadTimer")->isActive());
    QVERIFY(fx->box("UpshiftTimeout")->isEnabled());
}

void TestGearboxFile::version2DividesPositions()
{
    QVERIFY(fx->openAndConnect());
    const QString path = savedFile("v2");
    QList<QByteArray> lines = fileLines(path);
    lines[1] = "2";
    for (int i = 5; i <= 26; ++i)
        lines[i] = "160";
    lines[28] = "160";  // barrel window
    lines[31] = "1600"; // play upshift
    test::writeFile(path, joined(lines));
    fx->env->prompts.chooseFile(path);
    fx->env->prompts.answer(Answer::Yes);
    fx->env->prompts.answer(Answer::Yes);
    fx->button("OpenFile")->click();
    QCOMPARE(fx->env->prompts.texts(), (QStringList{kNewerQuestion, kLoadQuestion}));
    const QByteArrayList sent = fx->sentSettings();
    QVERIFY(sent.contains("0Abw"));
    QVERIFY(sent.contains("64pu"));
    QVERIFY(sent.contains("0Ag3"));
    QVERIFY(sent.contains("0AhR"));
    QVERIFY(sent.contains("07mg") || sent.contains("06mg"));
    QCOMPARE(fx->gcu.settings().value("bw"), std::optional<int>(10));
}

void TestGearboxFile::refusedFiles_data()
{
    QTest::addColumn<int>("line"); // 0-based line to change, -1 to cut the file
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<int>("keep"); // lines kept when cutting
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("wrong heading")
        << 2 << QByteArray("\"Cam Table\"") << 0
        << QStringList{"File is not a Gearbox parameter file", kLoadError};
    QTest::newRow("version 3") << 1 << QByteArray("3") << 0
                               << QStringList{"File Version not supported", kLoadError};
    QTest::newRow("version 1.5") << 1 << QByteArray("1.5") << 0
                                 << QStringList{"File Version not supported", kLoadError};
    QTest::newRow("no version") << 0 << QByteArray("\"Gearbox\"") << 0
                                << QStringList{"No File Version in file", kLoadError};
    QTest::newRow("truncated") << -1 << QByteArray() << 40 << QStringList{kLoadError};
    QTest::newRow("last line missing") << -1 << QByteArray() << 56 << QStringList{kLoadError};
    QTest::newRow("not a number") << 30 << QByteArray("fast") << 0 << QStringList{kLoadError};
    QTest::newRow("empty value") << 9 << QByteArray("") << 0 << QStringList{kLoadError};
    QTest::newRow("out of range") << 41 << QByteArray("2560") << 0 << QStringList{kLoadError};
    QTest::newRow("gear position out of range")
        << 7 << QByteArray("256") << 0 << QStringList{kLoadError};
    QTest::newRow("maximum gears 1") << 4 << QByteArray("1") << 0 << QStringList{kLoadError};
    QTest::newRow("negative") << 50 << QByteArray("-1") << 0 << QStringList{kLoadError};
}

void TestGearboxFile::refusedFiles()
{
    QFETCH(int, line);
    QFETCH(QByteArray, value);
    QFETCH(int, keep);
    QFETCH(QStringList, messages);
    QVERIFY(fx->openAndConnect());
    const QString path = savedFile("bad");
    QList<QByteArray> lines = fileLines(path);
    if (line >= 0)
        lines[line] = value;
    else
        lines = lines.mid(0, keep);
    test::writeFile(path, joined(lines));
    fx->sentSettings();
    fx->env->prompts.chooseFile(path);
    fx->button("OpenFile")->click();
    QCOMPARE(fx->env->prompts.texts(), messages);
    QCOMPARE(fx->env->prompts.messages.last().title, QStringLiteral("Warning"));
    QVERIFY(fx->sentSettings().isEmpty());
    QCOMPARE(fx->status(), QStringLiteral("Running"));
    QVERIFY(fx->child<QTimer>("GearboxReadTimer")->isActive());
    QVERIFY(fx->box("UpshiftTimeout")->isEnabled());
}

void TestGearboxFile::userDeclines_data()
{
    QTest::addColumn<int>("version");
    QTest::addColumn<QList<int>>("answers");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("newer format") << 2 << QList<int>{int(Answer::No), int(Answer::Ok)}
                                  << QStringList{kNewerQuestion, "Gearbox config file not loaded"};
    QTest::newRow("overwrite") << 1 << QList<int>{int(Answer::No), int(Answer::Ok)}
                               << QStringList{kLoadQuestion, "Gearbox config file not loaded"};
}

void TestGearboxFile::userDeclines()
{
    QFETCH(int, version);
    QFETCH(QList<int>, answers);
    QFETCH(QStringList, messages);
    QVERIFY(fx->openAndConnect());
    const QString path = savedFile("declined");
    QList<QByteArray> lines = fileLines(path);
    lines[1] = QByteArray::number(version);
    lines[28] = version == 2 ? "80" : "5"; // a barrel window in range either way
    test::writeFile(path, joined(lines));
    fx->sentSettings();
    fx->env->prompts.chooseFile(path);
    for (int a : answers)
        fx->env->prompts.answer(Answer(a));
    fx->button("OpenFile")->click();
    QCOMPARE(fx->env->prompts.texts(), messages);
    QVERIFY(fx->sentSettings().isEmpty());
    QCOMPARE(fx->status(), QStringLiteral("Running"));
}

void TestGearboxFile::lostLinkStopsTheLoad()
{
    QVERIFY(fx->openAndConnect());
    const QString path = savedFile("lost");
    fx->env->prompts.chooseFile(path);
    fx->env->prompts.answer(Answer::Yes);
    sim::FaultSettings faults;
    faults.silentAfterLines = 10;
    fx->env->prompts.whileShown = [this, faults](const Message& m) {
        if (m.text.startsWith("Loading"))
            fx->gcu.setFaults(faults);
    };
    QElapsedTimer clock;
    clock.start();
    fx->button("OpenFile")->click();
    QCOMPARE(fx->env->prompts.texts(), (QStringList{kLoadQuestion, kLoadError}));
    // One reply time-out, not one for each of the values still to come.
    QVERIFY(clock.elapsed() < 2000);
    QCOMPARE(G.ControllerConnected, 0);
    fx->gcu.setFaults({});
    QVERIFY(fx->waitRunning());
}

QTEST_MAIN(TestGearboxFile)
#include "test_gearbox_file.moc"
