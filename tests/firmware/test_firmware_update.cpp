#include "common/globals.h"
#include "common/timing.h"
#include "serial/com_port.h"
#include "service/firmware_update.h"
#include "setupdlg/setup_dialog.h"
#include "sim/bootloader.h"
#include "sim/firmware_maker.h"
#include "sim/gearbox_controller.h"
#include "sim/vvt_controller.h"
#include "sim_ports.h"
#include "test_environment.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <memory>

using namespace vx;
using sim::Bootloader;
using sim::BootloaderFaults;

Q_DECLARE_METATYPE(vx::sim::BootloaderFaults)

namespace {

constexpr int kPort = 3;

const QString kConnectWarning = QStringLiteral(
    "Please connect ECU to laptop with USB connector\rDO NOT REMOVE POWER DURING UPDATE");
const QString kComplete = QStringLiteral("Firmware update complete! Please power cycle ECU");
const QString kInvalid = QStringLiteral("Invalid firmware file!!!");
const QString kCannotSwitch = QStringLiteral(
    "ECU cannot be switched to firmware update mode, please power cycle and try again");
const QString kNotResponding =
    QStringLiteral("ECU not responding, please power down/up and try again");
const QString kNotConfirmed =
    QStringLiteral("ECU did not confirm the end of the firmware update, the update may not be "
                   "complete. Please power down/up and try again");
const QString kRejected =
    QStringLiteral("ECU reported an error in the firmware it received, the update is not "
                   "complete. Please power down/up and try again");
const QString kCancelled = QStringLiteral("Firmware update cancelled!");
const QString kUnreadable =
    QStringLiteral("The firmware file could not be read, nothing was sent to the ECU: ");

QString box(const QString& text, const QString& title, Buttons buttons, Icon icon)
{
    return test::describe(Message{text, title, buttons, icon, std::nullopt});
}

QString warning()
{
    return box(kConnectWarning, "Warning", Buttons::Ok, Icon::Exclamation);
}
QString complete()
{
    return box(kComplete, "Update complete", Buttons::Ok, Icon::Information);
}
QString invalid()
{
    return box(kInvalid, "Error", Buttons::Ok, Icon::Exclamation);
}
QString cannotSwitch()
{
    return box(kCannotSwitch, "Warning", Buttons::RetryCancel, Icon::Exclamation);
}
QString notResponding()
{
    return box(kNotResponding, "Warning", Buttons::Ok, Icon::Exclamation);
}
QString notConfirmed()
{
    return box(kNotConfirmed, "Warning", Buttons::RetryCancel, Icon::Exclamation);
}
QString rejected()
{
    return box(kRejected, "Warning", Buttons::RetryCancel, Icon::Exclamation);
}
QString cancelled()
{
    return box(kCancelled, "Update cancelled", Buttons::Ok, Icon::Information);
}

int countOf(const QByteArrayList& lines, const QByteArray& line)
{
    return static_cast<int>(std::count(lines.begin(), lines.end(), line));
}

} // namespace

class TestFirmwareUpdate : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void windowControls();
    void loadsTheFile_data();
    void loadsTheFile();
    void fromTheSetupDialog();
    void fileCheckFails_data();
    void fileCheckFails();
    void fileChoiceEnds_data();
    void fileChoiceEnds();
    void readErrorSendsNothing();
    void portCannotBeOpened();
    void noBootloader_data();
    void noBootloader();
    void shortIdentityAcceptedAtTheBound();
    void eraseNotAnsweredStartsAgain();
    void silentMidLoad_data();
    void silentMidLoad();
    void rejectedRecordStopsTheStream();
    void cablePulledMidLoad();
    void cancelBeforeAndAfter_data();
    void cancelBeforeAndAfter();
    void windowStaysOpenWhileRunning();
    void keepsAThrottledLineBusy();

private:
    // The sample firmware in the firmware folder; the answers for the warning and the file.
    QString useFile(const QByteArray& text, const QString& name = QStringLiteral("sample.hex"));
    void startWith(const QString& path);
    // The answers to the boxes after the warning, in order.
    void answer(std::initializer_list<Answer> answers);
    QStringList boxes() const;
    QPushButton* button(const char* name) const { return dialog->findChild<QPushButton*>(name); }
    QProgressBar* progress() const { return dialog->findChild<QProgressBar*>("ProgressBar1"); }
    Bootloader& loader() { return ecu->bootloader(); }

    std::unique_ptr<test::TestEnvironment> env;
    std::unique_ptr<sim::VvtController> ecu;
    std::unique_ptr<ComPort> port;
    std::unique_ptr<FirmwareUpdate> dialog;
    sim::TestFirmware sample;
};

void TestFirmwareUpdate::init()
{
    env = std::make_unique<test::TestEnvironment>();
    ecu = std::make_unique<sim::VvtController>();
    QVERIFY(!test::plugAtPort(*ecu, kPort, *env).isEmpty());
    G.ComPortNumber = kPort;
    G.FirmwareFolder = env->home() + QLatin1Char('/');
    QVERIFY(QDir(env->home()).mkpath("firmware"));
    port = std::make_unique<ComPort>(QStringLiteral("SetupCom"));
    dialog = std::make_unique<FirmwareUpdate>(*port);
    dialog->show();
    sample = sim::sampleFirmware();
}

void TestFirmwareUpdate::cleanup()
{
    dialog.reset();
    port.reset();
    ecu.reset();
    env.reset();
}

QString TestFirmwareUpdate::useFile(const QByteArray& text, const QString& name)
{
    const QString path = test::writeFile(env->path("firmware/" + name), text);
    startWith(path);
    return path;
}

void TestFirmwareUpdate::startWith(const QString& path)
{
    env->prompts.answer(Answer::Ok);
    env->prompts.chooseFile(path);
}

void TestFirmwareUpdate::answer(std::initializer_list<Answer> answers)
{
    for (const Answer a : answers)
        env->prompts.answer(a);
}

QStringList TestFirmwareUpdate::boxes() const
{
    QStringList all;
    for (const Message& m : env->prompts.messages)
        all << test::describe(m);
    return all;
}

void TestFirmwareUpdate::windowControls()
{
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Firmware Update"));
    QCOMPARE(button("Start")->text(), QStringLiteral("Start"));
    QCOMPARE(button("Cancel")->text(), QStringLiteral("Cancel"));
    QCOMPARE(dialog->findChild<QLabel*>("Label1")->text(), QStringLiteral("0%"));
    QCOMPARE(dialog->findChild<QLabel*>("Label2")->text(), QStringLiteral("100%"));
    QVERIFY(progress());
    QVERIFY(button("Start")->isEnabled());
    QVERIFY(button("Cancel")->isEnabled());
}

void TestFirmwareUpdate::loadsTheFile_data()
{
    QTest::addColumn<bool>("gearbox");
    QTest::addColumn<bool>("lineFeedsOnly");
    QTest::addColumn<bool>("repliesInPieces");
    QTest::newRow("engine controller") << false << false << false;
    QTest::newRow("gearbox controller") << true << false << false;
    QTest::newRow("file with LF line ends") << false << true << false;
    // The end of the answer to "zb" arrives after "?" and the answer to "?" in two pieces.
    QTest::newRow("replies in pieces") << false << false << true;
}

void TestFirmwareUpdate::loadsTheFile()
{
    QFETCH(bool, gearbox);
    QFETCH(bool, lineFeedsOnly);
    QFETCH(bool, repliesInPieces);
    std::unique_ptr<sim::GearboxController> gcu;
    if (gearbox) {
        gcu = std::make_unique<sim::GearboxController>();
        QVERIFY(!test::plugAtPort(*gcu, kPort, *env).isEmpty());
    }
    sim::Controller& controller = gearbox ? static_cast<sim::Controller&>(*gcu) : *ecu;
    if (repliesInPieces) {
        sim::FaultSettings pieces;
        pieces.splitReplyGap = std::chrono::milliseconds(40);
        controller.setFaults(pieces);
        // The name comes in the second piece.
        controller.bootloader().setIdentity("\r\nV1.4 (C) Vantorex 2024 - Bootloader\r\n*");
    }
    // A program from before, to be replaced.
    QByteArray text = sample.hexText;
    if (lineFeedsOnly)
        text.replace("\r\n", "\n");
    const QString path = useFile(text);
    const int lines = static_cast<int>(sample.hexText.count('\n'));
    QList<int> shown;
    connect(progress(), &QProgressBar::valueChanged, this, [&](int value) { shown << value; });
    answer({Answer::Ok});

    dialog->Start_Click();

    QCOMPARE(boxes(), (QStringList{warning(), complete()}));
    QCOMPARE(env->prompts.unexpected, 0);
    QCOMPARE(env->prompts.fileRequests.size(), 1);
    QCOMPARE(env->prompts.fileRequests[0].initialPath, env->home() + "/firmware/*.hex");
    QCOMPARE(G.FirmwareFolder, env->home() + "/firmware/");
    QCOMPARE(controller.bootloader().image(), sample.image);
    QCOMPARE(controller.bootloader().recordCount(), lines);
    QCOMPARE(controller.bootloader().commands(), (QByteArrayList{"?", "ERASE", "LF", "ex"}));
    QCOMPARE(countOf(controller.receivedLines(), "zb"), 1);
    QCOMPARE(controller.bootloader().state(), Bootloader::State::Off);
    QVERIFY(!port->isOpen());
    QCOMPARE(port->settings(), QStringLiteral("115200,N,8,1"));
    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    QCOMPARE(progress()->maximum(), lines);
    QCOMPARE(progress()->value(), lines);
    QVERIFY(!shown.isEmpty());
    QVERIFY(std::is_sorted(shown.begin(), shown.end()));
    QVERIFY(button("Start")->isEnabled());
    QVERIFY(button("Cancel")->isEnabled());
    QCOMPARE(G.CR, QStringLiteral("\r"));
    QCOMPARE(path, env->path("firmware/sample.hex"));
}

void TestFirmwareUpdate::fromTheSetupDialog()
{
    dialog.reset();
    const QString path = test::writeFile(env->path("firmware/sample.hex"), sample.hexText);
    Setup::SetNoErrorMsg(true);
    Setup setup;
    setup.load();
    startWith(path);
    answer({Answer::Ok});
    bool clicked = false;
    QTimer::singleShot(0, this, [&] {
        auto* update = qobject_cast<FirmwareUpdate*>(QApplication::activeModalWidget());
        if (!update)
            return;
        clicked = true;
        update->findChild<QPushButton*>("Start")->click();
    });
    setup.FirmwareUpgrade_Click();
    QVERIFY(clicked);
    QCOMPARE(boxes(), (QStringList{warning(), complete()}));
    QCOMPARE(loader().image(), sample.image);
    QVERIFY(!setup.setupCom().isOpen());
}

void TestFirmwareUpdate::fileCheckFails_data()
{
    QTest::addColumn<QByteArray>("text");
    const QByteArray firstLines = sample.hexText.left(sample.hexText.indexOf(":10003000"));
    const QByteArray rest = sample.hexText.mid(firstLines.size());
    QTest::newRow("blank line") << firstLines + "\r\n" + rest;
    QTest::newRow("blank line at the end") << sample.hexText + "\r\n";
    QTest::newRow("line without colon") << firstLines + "10003000" + rest.mid(9);
    QTest::newRow("no end-of-file record")
        << sample.hexText.left(sample.hexText.indexOf(":00000001FF"));
    QTest::newRow("empty file") << QByteArray();
}

void TestFirmwareUpdate::fileCheckFails()
{
    QFETCH(QByteArray, text);
    useFile(text);
    answer({Answer::Ok});
    dialog->Start_Click();
    QCOMPARE(env->prompts.unexpected, 0);
    QCOMPARE(boxes(), (QStringList{warning(), invalid()}));
    QVERIFY(button("Start")->isEnabled());
    QVERIFY(button("Cancel")->isEnabled());
    QVERIFY(!port->isOpen());
    QVERIFY(ecu->receivedLines().isEmpty());
    QCOMPARE(ecu->receivedByteCount(), qint64(0));
}

void TestFirmwareUpdate::fileChoiceEnds_data()
{
    QTest::addColumn<bool>("cancelled");
    QTest::newRow("file dialog cancelled") << true;
    QTest::newRow("file does not exist") << false;
}

void TestFirmwareUpdate::fileChoiceEnds()
{
    QFETCH(bool, cancelled);
    env->prompts.answer(Answer::Ok);
    env->prompts.chooseFile(cancelled ? std::nullopt
                                      : std::optional<QString>(env->path("none.hex")));
    if (!cancelled)
        answer({Answer::Ok});
    dialog->Start_Click();
    QStringList expected{warning()};
    if (!cancelled)
        expected << box("File not found", "Warning", Buttons::Ok, Icon::Exclamation);
    QCOMPARE(boxes(), expected);
    QCOMPARE(env->prompts.unexpected, 0);
    // Start stays off; Cancel still closes the window.
    QVERIFY(!button("Start")->isEnabled());
    QVERIFY(button("Cancel")->isEnabled());
    QCOMPARE(G.FirmwareFolder, env->home() + "/");
    QCOMPARE(ecu->receivedByteCount(), qint64(0));
}

void TestFirmwareUpdate::readErrorSendsNothing()
{
    const QString unreadable = QStringLiteral("/proc/self/mem");
    QFile probe(unreadable);
    QVERIFY(probe.open(QIODevice::ReadOnly));
    probe.read(16);
    QCOMPARE(probe.error(), QFileDevice::ReadError);
    startWith(unreadable);
    answer({Answer::Ok});
    dialog->Start_Click();
    QCOMPARE(env->prompts.unexpected, 0);
    QCOMPARE(boxes(), (QStringList{warning(), box(kUnreadable + probe.errorString(), "Error",
                                                  Buttons::Ok, Icon::Exclamation)}));
    QVERIFY(button("Start")->isEnabled());
    QVERIFY(!port->isOpen());
    QCOMPARE(ecu->receivedByteCount(), qint64(0));
}

void TestFirmwareUpdate::portCannotBeOpened()
{
    G.ComPortNumber = 7;
    useFile(sample.hexText);
    answer({Answer::Ok});
    dialog->Start_Click();
    QCOMPARE(env->prompts.unexpected, 0);
    QCOMPARE(boxes(),
             (QStringList{warning(), box("COM7 is not available, please select a new COM port",
                                         "Warning", Buttons::Ok, Icon::Exclamation)}));
    QVERIFY(button("Start")->isEnabled());
    QVERIFY(button("Cancel")->isEnabled());
}

void TestFirmwareUpdate::noBootloader_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("retrySucceeds");
    enum
    {
        IgnoresQuestion,
        OtherIdentity,
        ControllerSilent
    };
    QTest::newRow("? not answered, Cancel") << int(IgnoresQuestion) << false;
    QTest::newRow("? not answered, power cycle and Retry") << int(IgnoresQuestion) << true;
    QTest::newRow("not a bootloader, Cancel") << int(OtherIdentity) << false;
    QTest::newRow("controller silent, power cycle and Retry") << int(ControllerSilent) << true;
}

void TestFirmwareUpdate::noBootloader()
{
    QFETCH(int, kind);
    QFETCH(bool, retrySucceeds);
    timing::setScale(0.1);
    BootloaderFaults faults;
    faults.ignoreIdentify = kind == 0;
    loader().setFaults(faults);
    if (kind == 1)
        loader().setIdentity("\r\nLoader V1.0 ready for commands\r\n*");
    sim::FaultSettings silent;
    silent.silent = kind == 2;
    ecu->setFaults(silent);
    useFile(sample.hexText);
    bool cancelEnabledInTheBox = false;
    env->prompts.whileShown = [&](const Message& m) {
        if (m.text != kCannotSwitch)
            return;
        cancelEnabledInTheBox = button("Cancel")->isEnabled();
        if (retrySucceeds) {
            ecu->setFaults({});
            loader().setFaults({});
            loader().setIdentity(Bootloader::kDefaultIdentity);
            ecu->restart();
        }
    };
    answer({Answer::Retry, retrySucceeds ? Answer::Ok : Answer::Cancel});

    dialog->Start_Click();

    QVERIFY(cancelEnabledInTheBox);
    QCOMPARE(env->prompts.unexpected, 0);
    if (retrySucceeds) {
        QCOMPARE(boxes(), (QStringList{warning(), cannotSwitch(), complete()}));
        QCOMPARE(loader().image(), sample.image);
        return;
    }
    QCOMPARE(boxes(), (QStringList{warning(), cannotSwitch(), cannotSwitch()}));
    QVERIFY(button("Start")->isEnabled());
    QVERIFY(button("Cancel")->isEnabled());
    QVERIFY(port->isOpen());
    QVERIFY(!loader().commands().contains("ERASE"));
    QVERIFY(loader().image().isEmpty());
}

void TestFirmwareUpdate::shortIdentityAcceptedAtTheBound()
{
    timing::setScale(0.2);
    loader().setIdentity("Bootloader*");
    useFile(sample.hexText);
    answer({Answer::Ok});
    QElapsedTimer clock;
    clock.start();
    dialog->Start_Click();
    QCOMPARE(boxes(), (QStringList{warning(), complete()}));
    QCOMPARE(env->prompts.unexpected, 0);
    QCOMPARE(loader().image(), sample.image);
    QVERIFY(clock.elapsed() >= timing::scaled(timing::kBootIdentifyMs));
}

void TestFirmwareUpdate::eraseNotAnsweredStartsAgain()
{
    timing::setScale(0.1);
    BootloaderFaults faults;
    faults.ignoreErase = true;
    loader().setFaults(faults);
    useFile(sample.hexText);
    QSignalSpy reopened(port.get(), &ComPort::closed);
    bool buttonsOffInTheBox = false;
    env->prompts.whileShown = [&](const Message& m) {
        if (m.text != kNotResponding)
            return;
        buttonsOffInTheBox = !button("Start")->isEnabled() && !button("Cancel")->isEnabled();
        // The next attempt finds a bootloader that no longer identifies itself.
        BootloaderFaults deaf;
        deaf.ignoreIdentify = true;
        loader().setFaults(deaf);
    };
    answer({Answer::Ok, Answer::Cancel});

    dialog->Start_Click();

    QCOMPARE(boxes(), (QStringList{warning(), notResponding(), cannotSwitch()}));
    QCOMPARE(env->prompts.unexpected, 0);
    QVERIFY(buttonsOffInTheBox);
    QCOMPARE(loader().commands(), (QByteArrayList{"?", "ERASE", "zb", "?"}));
    QCOMPARE(reopened.count(), 1);
    QVERIFY(port->isOpen());
}

void TestFirmwareUpdate::silentMidLoad_data()
{
    QTest::addColumn<bool>("retry");
    QTest::newRow("Cancel") << false;
    QTest::newRow("power cycle and Retry") << true;
}

void TestFirmwareUpdate::silentMidLoad()
{
    QFETCH(bool, retry);
    timing::setScale(0.05);
    BootloaderFaults faults;
    faults.silentAfterRecords = 40;
    loader().setFaults(faults);
    useFile(sample.hexText);
    env->prompts.whileShown = [&](const Message& m) {
        if (m.text != kNotConfirmed)
            return;
        QCOMPARE(loader().state(), Bootloader::State::Hung);
        if (retry)
            ecu->restart();
        loader().setFaults({});
    };
    if (retry)
        answer({Answer::Retry, Answer::Ok});
    else
        answer({Answer::Cancel});

    dialog->Start_Click();

    QCOMPARE(env->prompts.unexpected, 0);
    if (retry) {
        QCOMPARE(boxes(), (QStringList{warning(), notConfirmed(), complete()}));
        QCOMPARE(loader().image(), sample.image);
        QCOMPARE(countOf(ecu->receivedLines(), "zb"), 2);
        return;
    }
    QCOMPARE(boxes(), (QStringList{warning(), notConfirmed()}));
    QVERIFY(loader().image() != sample.image);
    QVERIFY(button("Start")->isEnabled());
    QVERIFY(button("Cancel")->isEnabled());
    QVERIFY(dialog->isVisible());
}

void TestFirmwareUpdate::rejectedRecordStopsTheStream()
{
    // Much more than the port and the system hold at a time, so stopping shows.
    const sim::TestFirmware big = sim::firmwareOfFileSize(2 * 1024 * 1024, 5);
    const int lines = static_cast<int>(big.hexText.count('\n'));
    BootloaderFaults faults;
    faults.failRecord = 5;
    loader().setFaults(faults);
    useFile(big.hexText, "big.hex");
    answer({Answer::Cancel});
    dialog->Start_Click();
    QCOMPARE(boxes(), (QStringList{warning(), rejected()}));
    QCOMPARE(env->prompts.unexpected, 0);
    QVERIFY(button("Start")->isEnabled());
    QTRY_VERIFY(ecu->receivedByteCount() > 0);
    QVERIFY2(loader().recordCount() < lines / 2,
             qPrintable(QString::number(loader().recordCount())));
    QVERIFY(progress()->value() < lines / 2);
}

void TestFirmwareUpdate::cablePulledMidLoad()
{
    const sim::TestFirmware big = sim::firmwareOfFileSize(1024 * 1024, 3);
    connect(&loader(), &Bootloader::recordReceived, this, [&](int count) {
        if (count == 100)
            ecu->unplug();
    });
    useFile(big.hexText, "big.hex");
    // Retry finds the port gone.
    answer({Answer::Retry, Answer::Ok});
    QElapsedTimer clock;
    clock.start();
    dialog->Start_Click();
    QCOMPARE(boxes(), (QStringList{warning(), notConfirmed(),
                                   box("COM3 is not available, please select a new COM port",
                                       "Warning", Buttons::Ok, Icon::Exclamation)}));
    QCOMPARE(env->prompts.unexpected, 0);
    QVERIFY(button("Start")->isEnabled());
    QVERIFY(button("Cancel")->isEnabled());
    // Noticed when the port went, not at the end of a bound.
    QVERIFY(clock.elapsed() < timing::kBootLoadEndMs);
}

void TestFirmwareUpdate::cancelBeforeAndAfter_data()
{
    QTest::addColumn<int>("before");
    enum
    {
        Nothing,
        InvalidFile,
        NoBootloader,
        NotConfirmed
    };
    QTest::newRow("before Start") << int(Nothing);
    QTest::newRow("after an invalid file") << int(InvalidFile);
    QTest::newRow("after no bootloader") << int(NoBootloader);
    QTest::newRow("after an unconfirmed load") << int(NotConfirmed);
}

void TestFirmwareUpdate::cancelBeforeAndAfter()
{
    QFETCH(int, before);
    timing::setScale(0.05);
    QStringList expected;
    BootloaderFaults faults;
    switch (before) {
    case 1:
        useFile(":00000001FF\r\nxx\r\n");
        answer({Answer::Ok});
        expected << warning() << invalid();
        break;
    case 2:
        faults.ignoreIdentify = true;
        useFile(sample.hexText);
        answer({Answer::Cancel});
        expected << warning() << cannotSwitch();
        break;
    case 3:
        faults.silentAfterRecords = 3;
        useFile(sample.hexText);
        answer({Answer::Cancel});
        expected << warning() << notConfirmed();
        break;
    default:
        break;
    }
    loader().setFaults(faults);
    if (before != 0)
        dialog->Start_Click();
    answer({Answer::Ok});
    button("Cancel")->click();
    QCOMPARE(boxes(), expected << cancelled());
    QCOMPARE(env->prompts.unexpected, 0);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->result(), int(QDialog::Rejected));
}

void TestFirmwareUpdate::windowStaysOpenWhileRunning()
{
    int checked = 0;
    connect(&loader(), &Bootloader::recordReceived, this, [&](int count) {
        if (count != 10)
            return;
        ++checked;
        QVERIFY(!button("Start")->isEnabled());
        QVERIFY(!button("Cancel")->isEnabled());
        dialog->reject();
        button("Cancel")->click();
        QVERIFY(dialog->isVisible());
    });
    useFile(sample.hexText);
    answer({Answer::Ok});
    dialog->Start_Click();
    QCOMPARE(env->prompts.unexpected, 0);
    QCOMPARE(checked, 1);
    QCOMPARE(boxes(), (QStringList{warning(), complete()}));
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
}

void TestFirmwareUpdate::keepsAThrottledLineBusy()
{
    // About three seconds of line time at 115200 baud.
    const sim::TestFirmware firmware = sim::firmwareOfFileSize(34 * 1024, 9);
    ecu->link().setThrottled(true);
    useFile(firmware.hexText, "throttled.hex");
    answer({Answer::Ok});
    qint64 startedAt = 0;
    qint64 bytesAtStart = 0;
    QElapsedTimer clock;
    clock.start();
    connect(&loader(), &Bootloader::recordReceived, this, [&](int count) {
        if (count == 1) {
            startedAt = clock.elapsed();
            bytesAtStart = ecu->receivedByteCount();
        }
    });
    qint64 finishedAt = 0;
    qint64 bytesAtEnd = 0;
    connect(&loader(), &Bootloader::loadFinished, this, [&] {
        finishedAt = clock.elapsed();
        bytesAtEnd = ecu->receivedByteCount();
    });
    dialog->Start_Click();
    QCOMPARE(boxes(), (QStringList{warning(), complete()}));
    QCOMPARE(loader().image(), firmware.image);
    const double lineLimitMs = double(bytesAtEnd - bytesAtStart) * 10 * 1000 / 115200;
    const double taken = double(finishedAt - startedAt);
    qInfo("%lld bytes in %.0f ms, line limit %.0f ms", bytesAtEnd - bytesAtStart, taken,
          lineLimitMs);
    QVERIFY(lineLimitMs > 2500);
    // The line is never left idle for long: allow for a loaded machine, not for a wait per line.
    QVERIFY2(taken < lineLimitMs * 1.25, qPrintable(QString::number(taken / lineLimitMs)));
}

QTEST_MAIN(TestFirmwareUpdate)
#include "test_firmware_update.moc"
