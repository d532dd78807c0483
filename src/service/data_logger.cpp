#include "service/data_logger.h"

#include "common/globals.h"
#include "common/prompts.h"
#include "common/timing.h"
#include "serial/com_port.h"
#include "serial/command_table.h"
#include "settings/window_positions.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>

namespace vx {

namespace {

const QString kCaption = QStringLiteral("Saving data from dataloggger");
const QString kErasingCaption = QStringLiteral("Erasing datalogger memory");
const QString kEscape = QString(QChar(27));
const QString kEraseFailed = QStringLiteral("Flash chip erase failed");
const QString kNoAnswer = QStringLiteral(
    "The GCU did not answer. Check that it is connected and switched on, then try again");

int gaugeUnits(double value)
{
    return static_cast<int>(std::lround(value));
}

} // namespace

void showDataLogger(QWidget* parent)
{
    DataLogger dialog(parent);
    dialog.exec();
}

DataLogger::DataLogger(QWidget* parent)
    : QDialog(parent), gearbox_(QStringLiteral("GearboxControl")),
      receiver_([this](const QString& line) { return writeLine(line); })
{
    setObjectName(QStringLiteral("SaveDlog"));
    setWindowTitle(kCaption);

    ProgressGauge = new QProgressBar(this);
    ProgressGauge->setObjectName(QStringLiteral("ProgressGauge"));
    ProgressGauge->setRange(0, 100);
    ProgressGauge->setValue(0);
    Start = new QPushButton(QStringLiteral("Start"), this);
    Start->setObjectName(QStringLiteral("Start"));
    Erase = new QPushButton(QStringLiteral("Erase"), this);
    Erase->setObjectName(QStringLiteral("Erase"));
    Cancel = new QPushButton(QStringLiteral("Cancel"), this);
    Cancel->setObjectName(QStringLiteral("Cancel"));
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {Start, Erase, Cancel}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(ProgressGauge);
    layout->addLayout(buttons);
    setMinimumWidth(sizeHint().width() * 3 / 2);

    connect(Start, &QPushButton::clicked, this, &DataLogger::Start_Click);
    connect(Erase, &QPushButton::clicked, this, &DataLogger::Erase_Click);
    connect(Cancel, &QPushButton::clicked, this, &DataLogger::Cancel_Click);

    wakeUpBound_.setSingleShot(true);
    connect(&wakeUpBound_, &QTimer::timeout, this, &DataLogger::onWakeUpTimeout);
    // Handled after the port has delivered, never inside its delivery, so that questions and
    // messages shown from here do not hold up the characters that follow.
    if (ComPort* port = gearbox_.port())
        connect(port, &ComPort::received, this, &DataLogger::onReceived, Qt::QueuedConnection);

    RestoreWindowPosition(*this, places::saveDlog());
}

DataLogger::~DataLogger() = default;

void DataLogger::setStage(Stage stage)
{
    stage_ = stage;
    const bool idle = stage == Stage::Idle;
    Start->setEnabled(idle);
    Erase->setEnabled(idle);
}

void DataLogger::showGauge(double value, double maximum)
{
    ProgressGauge->setMaximum(gaugeUnits(maximum));
    ProgressGauge->setValue(std::min(gaugeUnits(value), ProgressGauge->maximum()));
}

void DataLogger::Start_Click()
{
    if (stage_ != Stage::Idle)
        return;
    if (!openLogFile())
        return;
    setStage(Stage::Resynchronising);
    G.RxBuffer.clear();
    gearbox_.ComOutput(kEscape);
    gearbox_.ComOutput(kEscape);
    wakeUpBound_.start(timing::scaled(timing::kDataLogWakeUpMs));
}

bool DataLogger::openLogFile()
{
    for (;;) {
        const std::optional<QString> chosen =
            prompts().saveFile(FileRequest{G.DataLogFolder + QStringLiteral("cam/dlog.csv"),
                                           QStringLiteral("Text (*.csv)"), QStringLiteral("csv")});
        if (!chosen)
            return false;
        const QFileInfo info(*chosen);
        G.DataLogFolder = info.path() + QLatin1Char('/');

        G.FileMissing = false;
        QFile probe(*chosen);
        if (probe.open(QIODevice::ReadOnly)) {
            probe.close();
            if (MsgBox(info.fileName() + QStringLiteral(" already exists, overwrite it?"),
                       Buttons::YesNo, Icon::Question, QStringLiteral("Warning")) != Answer::Yes)
                return false;
        } else if (!info.exists()) {
            G.FileMissing = true;
        } else {
            MsgBox(probe.errorString(), Buttons::Ok, Icon::None, QStringLiteral("Fatal Error"));
            done(Rejected);
            return false;
        }

        logFile_.setFileName(*chosen);
        if (logFile_.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return true;
        if (!info.dir().exists()) {
            MsgBox(QStringLiteral("Illegal file name"), Buttons::Ok, Icon::None,
                   QStringLiteral("Warning"));
            continue;
        }
        MsgBox(logFile_.errorString(), Buttons::Ok, Icon::None, QStringLiteral("Fatal Error"));
        done(Rejected);
        return false;
    }
}

void DataLogger::onReceived()
{
    switch (stage_) {
    case Stage::Resynchronising:
        if (G.RxBuffer.contains(G.LF + G.CR + QStringLiteral("*")))
            startDump();
        break;
    case Stage::Receiving:
        takeLines();
        break;
    case Stage::Erasing:
        checkErase();
        break;
    case Stage::Idle:
    case Stage::AskingToErase:
    case Stage::Closed:
        break;
    }
}

void DataLogger::onWakeUpTimeout()
{
    if (stage_ != Stage::Resynchronising)
        return;
    logFile_.close();
    setStage(Stage::Idle);
    MsgBox(kNoAnswer, Buttons::Ok, Icon::Exclamation);
}

void DataLogger::startDump()
{
    wakeUpBound_.stop();
    G.RxBuffer.clear();
    CancelRequested = false;
    Downloading = true;
    receiver_.reset();
    setStage(Stage::Receiving);
    gearbox_.ComOutput(Command(cmd::da) + G.CR);
    showGauge(0, ProgressGauge->maximum());
}

void DataLogger::takeLines()
{
    const DataLogReceiver::Result result = receiver_.take(G.RxBuffer);
    showGauge(receiver_.gaugeValue(), receiver_.scale().maximum);
    switch (result) {
    case DataLogReceiver::Result::NeedMore:
        break;
    case DataLogReceiver::Result::EndOfData:
        endOfData();
        break;
    case DataLogReceiver::Result::WriteFailed:
        stopForWriteError();
        break;
    }
}

bool DataLogger::writeLine(const QString& line)
{
    // Each line reaches the disk as it arrives, so a write that fails is known at once.
    const QByteArray bytes = (line + G.CR + G.LF).toLatin1();
    return logFile_.write(bytes) == bytes.size() && logFile_.flush();
}

void DataLogger::endOfData()
{
    // The rest of the buffer, from the "End of data" line on, goes into the file as it is.
    if (!G.RxBuffer.isEmpty() && !writeLine(G.RxBuffer)) {
        stopForWriteError();
        return;
    }
    showGauge(receiver_.scale().maximum, receiver_.scale().maximum);
    startErase();
}

void DataLogger::stopForWriteError()
{
    const QString name = QFileInfo(logFile_).fileName();
    const QString reason = logFile_.errorString();
    gearbox_.ComOutput(kEscape);
    Downloading = false;
    logFile_.close();
    setStage(Stage::Idle);
    MsgBox(QStringLiteral("%1 could not be written (%2). The download has been stopped.")
               .arg(name, reason),
           Buttons::Ok, Icon::Critical, QStringLiteral("Error"));
}

void DataLogger::abandonDownload()
{
    gearbox_.ComOutput(kEscape);
    finishDownload();
}

void DataLogger::finishDownload()
{
    Downloading = false;
    logFile_.close();
    done(Accepted);
}

void DataLogger::Erase_Click()
{
    if (stage_ != Stage::Idle)
        return;
    startErase();
}

void DataLogger::startErase()
{
    // What is left of the dump in the buffer must not be taken for the erase's answer.
    setStage(Stage::AskingToErase);
    if (MsgBox(QStringLiteral("Erase the Datalog memory on ECU?"), Buttons::YesNo, Icon::Question,
               QStringLiteral("Warning")) != Answer::Yes) {
        eraseEnded(false);
        return;
    }
    setWindowTitle(kErasingCaption);
    ProgressGauge->setMaximum(kEraseGaugeMaximum);
    ProgressGauge->setValue(0);
    eraseFailures_ = 0;
    setStage(Stage::Erasing);
    sendErase();
}

void DataLogger::sendErase()
{
    G.RxBuffer.clear();
    gearbox_.ComOutput(Command(cmd::er) + G.CR);
}

void DataLogger::checkErase()
{
    if (G.RxBuffer.size() <= kEraseGaugeMaximum)
        ProgressGauge->setValue(static_cast<int>(G.RxBuffer.size()));
    if (!G.RxBuffer.contains(QLatin1Char('*')))
        return;
    // Whether the failure came before the prompt or together with it.
    if (G.RxBuffer.contains(kEraseFailed)) {
        if (++eraseFailures_ >= kEraseAttempts) {
            MsgBox(QStringLiteral("Flash erase failed, power cycle the ECU and try again"));
            eraseEnded(true);
            return;
        }
        sendErase();
        return;
    }
    eraseEnded(false);
}

void DataLogger::eraseEnded(bool failedForGood)
{
    if (Downloading) {
        finishDownload();
        return;
    }
    if (failedForGood) {
        setWindowTitle(kCaption);
        setStage(Stage::Idle);
        return;
    }
    done(Accepted);
}

void DataLogger::Cancel_Click()
{
    switch (stage_) {
    case Stage::Idle:
    case Stage::Closed:
        done(Rejected);
        break;
    case Stage::AskingToErase:
        break;
    case Stage::Resynchronising:
        // No download is running yet: the wait for the controller's prompt simply ends.
        wakeUpBound_.stop();
        logFile_.close();
        done(Rejected);
        break;
    case Stage::Receiving:
        CancelRequested = true;
        // What has arrived so far still goes into the file.
        takeLines();
        if (stage_ == Stage::Receiving)
            abandonDownload();
        break;
    case Stage::Erasing:
        // The controller finishes its erase on its own; the dialog stops watching it.
        if (Downloading)
            finishDownload();
        else
            done(Rejected);
        break;
    }
}

void DataLogger::reject()
{
    Cancel_Click();
}

void DataLogger::done(int result)
{
    if (stage_ == Stage::Closed)
        return;
    setStage(Stage::Closed);
    wakeUpBound_.stop();
    logFile_.close();
    SaveWindowPosition(*this, places::saveDlog());
    QDialog::done(result);
}

} // namespace vx
