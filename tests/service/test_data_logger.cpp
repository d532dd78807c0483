#include "common/globals.h"
#include "common/timing.h"
#include "service/data_logger.h"
#include "settings/settings_store.h"
#include "sim/data_log.h"
#include "sim/gearbox_controller.h"
#include "sim_ports.h"
#include "test_environment.h"
#include "test_host.h"
#include "window_driver.h"

#include <QDir>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

using namespace vx;
using namespace vx::settings;

namespace {

constexpr int kGearboxPort = 2;
constexpr int kBoundMs = 20000;
const QString kEraseQuestion = QStringLiteral("Erase the Datalog memory on ECU?");
const QString kEraseGaveUp =
    QStringLiteral("Flash erase failed, power cycle the ECU and try again");
const QString kNoAnswer = QStringLiteral(
    "The GCU did not answer. Check that it is connected and switched on, then try again");

QByteArray fileOf(const QByteArrayList& records, int count, const QByteArray& tail = {})
{
    QByteArray content;
    for (int i = 0; i < count; ++i)
        content += records.at(i) + "\r\n";
    return content + tail;
}

int lineCount(const QByteArray& content)
{
    return static_cast<int>(content.count("\r\n"));
}

} // namespace

class TestDataLogger : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        env = std::make_unique<test::TestEnvironment>();
        G.DataLogFolder = env->home() + "/";
        gcu = std::make_unique<sim::GearboxController>();
        test::plugAtPort(*gcu, kGearboxPort, *env);
        host = std::make_unique<test::TestHost>("GearboxControl", kGearboxPort);
        QVERIFY(host->isOpen());
        log().setRecordCount(25);
        log().setRecordsPerTick(500);
        log().setEraseSteps(10, std::chrono::milliseconds(2));
        dialog = std::make_unique<DataLogger>();
        dialog->show();
    }
    void cleanup()
    {
        QCOMPARE(env->prompts.unexpected, 0);
        dialog.reset();
        host.reset();
        gcu.reset();
        env.reset();
    }

    void downloadsTheWholeLog_data();
    void downloadsTheWholeLog();
    void lineInTwoPiecesIsWrittenWhenComplete();
    void cancelDuringTheDownload();
    void eraseAfterTheDownload();
    void eraseRetries_data();
    void eraseRetries();
    void eraseDeclinedClosesTheDialog();
    void waitForThePrompt_data();
    void waitForThePrompt();
    void writeErrorStopsTheDownload();
    void fileChoice_data();
    void fileChoice();
    void opensModallyWhereItWasLeft();

private:
    sim::DataLog& log() const { return *sim::DataLog::of(*gcu); }
    QProgressBar* gauge() const { return dialog->findChild<QProgressBar*>("ProgressGauge"); }
    QPushButton* button(const char* name) const { return dialog->findChild<QPushButton*>(name); }
    QString logPath() const { return env->path("run1.csv"); }

    std::unique_ptr<test::TestEnvironment> env;
    std::unique_ptr<sim::GearboxController> gcu;
    std::unique_ptr<test::TestHost> host;
    std::unique_ptr<DataLogger> dialog;
};

void TestDataLogger::downloadsTheWholeLog_data()
{
    QTest::addColumn<int>("records");
    QTest::addColumn<int>("gaugeMaximum");
    QTest::addColumn<int>("gaugeHalfway");
    QTest::newRow("a short log") << 25 << 25 << 12;
    QTest::newRow("empty log") << 0 << 10 << -1;
    QTest::newRow("40000 lines") << 40000 << 20000 << 10000;
}

void TestDataLogger::downloadsTheWholeLog()
{
    QFETCH(int, records);
    QFETCH(int, gaugeMaximum);
    QFETCH(int, gaugeHalfway);
    log().setRecordCount(records);
    log().setRecordsPerTick(4000);
    if (gaugeHalfway >= 0)
        log().holdInsideRecord(records / 2);
    env->prompts.chooseFile(logPath());
    env->prompts.answer(Answer::No);

    button("Start")->click();

    QVERIFY(!button("Start")->isEnabled());
    if (gaugeHalfway >= 0) {
        QTRY_VERIFY(log().isHeld());
        QTRY_COMPARE_WITH_TIMEOUT(gauge()->value(), gaugeHalfway, kBoundMs);
        QCOMPARE(gauge()->maximum(), gaugeMaximum);
        log().resume();
    }
    QTRY_VERIFY_WITH_TIMEOUT(!dialog->isVisible(), kBoundMs);

    QCOMPARE(gauge()->maximum(), gaugeMaximum);
    QCOMPARE(gauge()->value(), gaugeMaximum);
    QCOMPARE(test::readFile(logPath()), fileOf(log().records(), records, "End of data\r\n*\r\n"));
    QCOMPARE(env->prompts.texts(), QStringList{kEraseQuestion});
    QCOMPARE(env->prompts.messages[0].icon, Icon::Question);
    QCOMPARE(env->prompts.messages[0].title, QStringLiteral("Warning"));
    QCOMPARE(env->prompts.messages[0].buttons, Buttons::YesNo);
    QCOMPARE(env->prompts.fileRequests.size(), 1);
    QCOMPARE(env->prompts.fileRequests[0].initialPath, env->home() + "/cam/dlog.csv");
    QCOMPARE(env->prompts.fileRequests[0].filter, QStringLiteral("Text (*.csv)"));
    QCOMPARE(env->prompts.fileRequests[0].defaultSuffix, QStringLiteral("csv"));
    QCOMPARE(gcu->wakeUpCount(), 2);
    QCOMPARE(gcu->receivedLines(), QByteArrayList{"da"});
    QVERIFY(!dialog->isDownloading());
    QVERIFY(!dialog->isLogFileOpen());
    QCOMPARE(log().records().size(), records);
}

void TestDataLogger::lineInTwoPiecesIsWrittenWhenComplete()
{
    log().holdInsideRecord(3);
    env->prompts.chooseFile(logPath());
    env->prompts.answer(Answer::No);

    button("Start")->click();

    QTRY_VERIFY(log().isHeld());
    // The first half of the line has arrived; the file holds only the lines before it.
    const QByteArray half = log().records().at(3).left(log().records().at(3).size() / 2);
    QTRY_VERIFY(G.RxBuffer.endsWith(QString::fromLatin1(half)));
    QTRY_COMPARE(test::readFile(logPath()), fileOf(log().records(), 3));
    QVERIFY(dialog->isDownloading());
    log().resume();
    QTRY_VERIFY(!dialog->isVisible());
    QCOMPARE(test::readFile(logPath()), fileOf(log().records(), 25, "End of data\r\n*\r\n"));
}

void TestDataLogger::cancelDuringTheDownload()
{
    log().holdInsideRecord(10);
    env->prompts.chooseFile(logPath());
    button("Start")->click();
    QTRY_VERIFY(log().isHeld());
    QTRY_COMPARE(lineCount(test::readFile(logPath())), 10);
    QSignalSpy abandoned(&log(), &sim::DataLog::dumpAbandoned);

    button("Cancel")->click();

    QVERIFY(!dialog->isVisible());
    QVERIFY(!dialog->isDownloading());
    QVERIFY(!dialog->isLogFileOpen());
    QTRY_COMPARE(abandoned.size(), 1);
    QCOMPARE(gcu->wakeUpCount(), 3);
    QCOMPARE(test::readFile(logPath()), fileOf(log().records(), 10));
    // Nothing is offered and nothing is erased.
    QVERIFY(env->prompts.messages.isEmpty());
    QCOMPARE(gcu->receivedLines(), QByteArrayList{"da"});
    QCOMPARE(log().records().size(), 25);
}

void TestDataLogger::eraseAfterTheDownload()
{
    const QByteArrayList recorded = log().records();
    env->prompts.chooseFile(logPath());
    env->prompts.answer(Answer::Yes);
    QList<int> gaugeValues;
    connect(gauge(), &QProgressBar::valueChanged, this, [&](int value) {
        if (dialog->windowTitle() == "Erasing datalogger memory")
            gaugeValues << value;
    });

    button("Start")->click();

    QTRY_VERIFY(!dialog->isVisible());
    QCOMPARE(gcu->receivedLines(), (QByteArrayList{"da", "er"}));
    QCOMPARE(log().eraseCount(), 1);
    QVERIFY(log().records().isEmpty());
    QCOMPARE(gauge()->maximum(), DataLogger::kEraseGaugeMaximum);
    // The gauge follows the characters of the answer: the echo, then one per progress step.
    QVERIFY2(gaugeValues.size() >= 3, qPrintable(QString::number(gaugeValues.size())));
    QCOMPARE(gaugeValues.first(), 0);
    QCOMPARE(gaugeValues.last(), DataLogger::kEraseGaugeMaximum);
    QVERIFY(std::is_sorted(gaugeValues.begin(), gaugeValues.end()));
    QCOMPARE(test::readFile(logPath()), fileOf(recorded, 25, "End of data\r\n*\r\n"));
}

void TestDataLogger::eraseRetries_data()
{
    QTest::addColumn<int>("failures");
    QTest::addColumn<int>("erases");
    QTest::addColumn<bool>("gaveUp");
    QTest::newRow("fails four times, then erases") << 4 << 5 << false;
    QTest::newRow("fails five times") << 5 << 5 << true;
    QTest::newRow("keeps failing") << 8 << 5 << true;
}

void TestDataLogger::eraseRetries()
{
    QFETCH(int, failures);
    QFETCH(int, erases);
    QFETCH(bool, gaveUp);
    log().failNextErases(failures);
    env->prompts.answer(Answer::Yes);
    if (gaveUp)
        env->prompts.answer(Answer::Ok);

    button("Erase")->click();

    QCOMPARE(dialog->windowTitle(), QStringLiteral("Erasing datalogger memory"));
    if (gaveUp) {
        QTRY_COMPARE(env->prompts.messages.size(), 2);
        QCOMPARE(env->prompts.texts(), (QStringList{kEraseQuestion, kEraseGaveUp}));
        QCOMPARE(env->prompts.messages[1].title, QStringLiteral("Vantorex VVT ECU Software"));
        QCOMPARE(env->prompts.messages[1].buttons, Buttons::Ok);
        QVERIFY(dialog->isVisible());
        QVERIFY(button("Start")->isEnabled() && button("Erase")->isEnabled());
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Saving data from dataloggger"));
        QCOMPARE(log().records().size(), 25);
    } else {
        QTRY_VERIFY(!dialog->isVisible());
        QCOMPARE(env->prompts.texts(), QStringList{kEraseQuestion});
        QVERIFY(log().records().isEmpty());
    }
    QCOMPARE(log().eraseCount(), erases);
    QCOMPARE(gcu->receivedLines(), QByteArrayList(erases, "er"));
    QVERIFY(!log().isErasing());
}

void TestDataLogger::eraseDeclinedClosesTheDialog()
{
    env->prompts.answer(Answer::No);
    button("Erase")->click();
    QVERIFY(!dialog->isVisible());
    QCOMPARE(env->prompts.texts(), QStringList{kEraseQuestion});
    QVERIFY(gcu->receivedLines().isEmpty());
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Saving data from dataloggger"));
}

void TestDataLogger::waitForThePrompt_data()
{
    QTest::addColumn<bool>("cancel");
    QTest::newRow("no prompt within the bound") << false;
    QTest::newRow("cancelled while waiting") << true;
}

void TestDataLogger::waitForThePrompt()
{
    QFETCH(bool, cancel);
    timing::setScale(0.05);
    sim::FaultSettings silent;
    silent.silent = true;
    gcu->setFaults(silent);
    env->prompts.chooseFile(logPath());
    if (!cancel)
        env->prompts.answer(Answer::Ok);

    button("Start")->click();
    QTRY_COMPARE(gcu->wakeUpCount(), 2);
    QVERIFY(!dialog->isDownloading());
    QVERIFY(button("Cancel")->isEnabled());

    if (cancel) {
        button("Cancel")->click();
        QVERIFY(!dialog->isVisible());
        QVERIFY(env->prompts.messages.isEmpty());
    } else {
        QTRY_COMPARE(env->prompts.texts(), QStringList{kNoAnswer});
        QCOMPARE(env->prompts.messages[0].icon, Icon::Exclamation);
        QVERIFY(dialog->isVisible());
        QVERIFY(button("Start")->isEnabled());
    }
    QVERIFY(!dialog->isLogFileOpen());
    // A prompt arriving late starts nothing.
    gcu->setFaults({});
    host->ComOutput(QString(QChar(27)));
    QTRY_COMPARE(gcu->wakeUpCount(), 3);
    QTRY_VERIFY(G.RxBuffer.endsWith("*"));
    QCoreApplication::processEvents();
    QVERIFY(gcu->receivedLines().isEmpty());
}

void TestDataLogger::writeErrorStopsTheDownload()
{
    if (!QFileInfo::exists("/dev/full"))
        QSKIP("needs a device that refuses every write");
    env->prompts.chooseFile(QStringLiteral("/dev/full"));
    env->prompts.answer(Answer::Yes); // overwrite
    env->prompts.answer(Answer::Ok);
    QSignalSpy abandoned(&log(), &sim::DataLog::dumpAbandoned);
    log().setRecordsPerTick(1);

    button("Start")->click();

    QTRY_COMPARE(env->prompts.messages.size(), 2);
    QCOMPARE(env->prompts.messages[0].text, QStringLiteral("full already exists, overwrite it?"));
    const Message& reported = env->prompts.messages[1];
    QCOMPARE(
        reported.text,
        QStringLiteral(
            "full could not be written (No space left on device). The download has been stopped."));
    QCOMPARE(reported.icon, Icon::Critical);
    QCOMPARE(reported.title, QStringLiteral("Error"));
    QVERIFY(!dialog->isLogFileOpen());
    QVERIFY(!dialog->isDownloading());
    QTRY_COMPARE(abandoned.size(), 1);
    QCOMPARE(gcu->wakeUpCount(), 3);
    QCOMPARE(G.DataLogFolder, QStringLiteral("/dev/"));
    // The dialog stays open for another try, and the log is not offered for erasing.
    QVERIFY(dialog->isVisible());
    QVERIFY(button("Start")->isEnabled());
    QCOMPARE(gcu->receivedLines(), QByteArrayList{"da"});
}

void TestDataLogger::fileChoice_data()
{
    QTest::addColumn<QString>("chosen"); // relative to the test folder; empty: cancelled
    QTest::addColumn<QByteArray>("existing");
    QTest::addColumn<QList<Answer>>("answers");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("downloads");
    QTest::addColumn<bool>("stillOpen");

    QTest::newRow("cancelled") << "" << QByteArray() << QList<Answer>() << QStringList() << false
                               << true;
    QTest::newRow("existing file kept")
        << "old.csv" << QByteArray("old\r\n") << QList<Answer>{Answer::No}
        << QStringList{"old.csv already exists, overwrite it?"} << false << true;
    QTest::newRow("existing file replaced")
        << "old.csv" << QByteArray("old\r\n") << QList<Answer>{Answer::Yes, Answer::No}
        << QStringList{"old.csv already exists, overwrite it?", kEraseQuestion} << true << false;
    QTest::newRow("folder that does not exist")
        << "nowhere/run.csv" << QByteArray() << QList<Answer>{Answer::Ok}
        << QStringList{"Illegal file name"} << false << true;
    QTest::newRow("a folder, not a file")
        << "logs" << QByteArray() << QList<Answer>{Answer::Ok}
        << QStringList{"file to open is a directory"} << false << false;
}

void TestDataLogger::fileChoice()
{
    QFETCH(QString, chosen);
    QFETCH(QByteArray, existing);
    QFETCH(QList<Answer>, answers);
    QFETCH(QStringList, messages);
    QFETCH(bool, downloads);
    QFETCH(bool, stillOpen);
    QDir(env->home()).mkdir("logs");
    const QString path = chosen.isEmpty() ? QString() : env->path(chosen);
    if (!existing.isEmpty())
        test::writeFile(path, existing);
    env->prompts.chooseFile(path.isEmpty() ? std::nullopt : std::optional<QString>(path));
    if (chosen.startsWith("nowhere"))
        env->prompts.chooseFile(std::nullopt); // shown again, then cancelled
    for (Answer a : answers)
        env->prompts.answer(a);

    button("Start")->click();

    if (downloads)
        QTRY_VERIFY(!dialog->isVisible());
    QCOMPARE(env->prompts.texts(), messages);
    if (chosen == "logs")
        QCOMPARE(env->prompts.messages[0].title, QStringLiteral("Fatal Error"));
    if (chosen.startsWith("nowhere")) {
        QCOMPARE(env->prompts.messages[0].title, QStringLiteral("Warning"));
        QCOMPARE(env->prompts.fileRequests.size(), 2);
        QVERIFY(G.FileMissing);
        QCOMPARE(env->prompts.fileRequests[1].initialPath, env->path("nowhere") + "/cam/dlog.csv");
    }
    QCOMPARE(dialog->isVisible(), stillOpen);
    QCOMPARE(gcu->receivedLines(), downloads ? QByteArrayList{"da"} : QByteArrayList());
    QCOMPARE(gcu->wakeUpCount(), downloads ? 2 : 0);
    if (!existing.isEmpty())
        QCOMPARE(test::readFile(path) == existing, !downloads);
    QVERIFY(!dialog->isLogFileOpen());
}

void TestDataLogger::opensModallyWhereItWasLeft()
{
    dialog.reset();
    SaveSetting(kAppHs, kWindows, "SaveDlogLeft", "720");
    SaveSetting(kAppHs, kWindows, "SaveDlogTop", "1440");
    bool shown = false;
    test::whenModalShown<DataLogger>([&](DataLogger& modal) {
        shown = true;
        QVERIFY(modal.isModal());
        QCOMPARE(modal.windowTitle(), QStringLiteral("Saving data from dataloggger"));
        QCOMPARE(modal.pos(), QPoint(48, 96));
        QCOMPARE(modal.findChild<QPushButton*>("Start")->text(), QStringLiteral("Start"));
        QCOMPARE(modal.findChild<QPushButton*>("Erase")->text(), QStringLiteral("Erase"));
        modal.move(96, 48);
        modal.findChild<QPushButton*>("Cancel")->click();
    });
    showDataLogger(nullptr);
    QVERIFY(shown);
    QCOMPARE(GetSetting(kAppHs, kWindows, "SaveDlogLeft"), QStringLiteral("1440"));
    QCOMPARE(GetSetting(kAppHs, kWindows, "SaveDlogTop"), QStringLiteral("720"));
    QVERIFY(gcu->receivedLines().isEmpty());
}

QTEST_MAIN(TestDataLogger)
#include "test_data_logger.moc"
