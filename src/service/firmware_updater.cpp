#include "service/firmware_updater.h"

#include "common/globals.h"
#include "common/prompts.h"
#include "common/timing.h"
#include "serial/com_port.h"
#include "serial/reply_wait.h"
#include "service/bounded_wait.h"
#include "service/line_pacer.h"

#include <QDeadlineTimer>
#include <QFileInfo>

namespace vx {

namespace {

const QString kWarning = QStringLiteral("Warning");
const QString kPortSettings = QStringLiteral("115200,N,8,1");
constexpr int kHandshaking = 3;
constexpr int kIdentityLength = 30;
const QString kBootloaderName = QStringLiteral("Bootloader");

// The bootloader ends a load with its prompt and reports a line it could not store with "Error".
const QString kPrompt = QStringLiteral("*");
const QString kErrorWord = QStringLiteral("Error");

// Holds the running flag for as long as the update is under way, whichever way it ends.
class RunningFlag
{
public:
    explicit RunningFlag(bool& flag) : flag_(flag) { flag_ = true; }
    ~RunningFlag() { flag_ = false; }
    RunningFlag(const RunningFlag&) = delete;
    RunningFlag& operator=(const RunningFlag&) = delete;

private:
    bool& flag_;
};

} // namespace

FirmwareUpdater::FirmwareUpdater(ComPort& port, FirmwareUpdateView& view) : port_(port), view_(view)
{}

void FirmwareUpdater::Start()
{
    if (running_)
        return;
    const RunningFlag running(running_);
    G.CR = QStringLiteral("\r");
    G.LF = QStringLiteral("\n");
    view_.setStartEnabled(false);

    MsgBox(QStringLiteral("Please connect ECU to laptop with USB connector") + G.CR +
               QStringLiteral("DO NOT REMOVE POWER DURING UPDATE"),
           Buttons::Ok, Icon::Exclamation, kWarning);
    if (!chooseFile())
        return;

    for (;;) {
        switch (attempt()) {
        case Attempt::Done:
            return;
        case Attempt::Again:
            continue;
        case Attempt::Stopped:
            backToIdle();
            return;
        }
    }
}

bool FirmwareUpdater::chooseFile()
{
    const std::optional<QString> chosen =
        prompts().openFile(FileRequest{firmwareFilePattern(G.FirmwareFolder), {}, {}});
    if (!chosen)
        return false;
    const QFileInfo info(*chosen);
    if (!info.exists()) {
        MsgBox(QStringLiteral("File not found"), Buttons::Ok, Icon::Exclamation, kWarning);
        return false;
    }
    G.FirmwareFolder = info.absolutePath() + QLatin1Char('/');

    file_ = readFirmwareFile(*chosen);
    switch (file_.status) {
    case FirmwareFile::Status::Valid:
        return true;
    case FirmwareFile::Status::Invalid:
        MsgBox(QStringLiteral("Invalid firmware file!!!"), Buttons::Ok, Icon::Exclamation,
               QStringLiteral("Error"));
        break;
    case FirmwareFile::Status::Unreadable:
        MsgBox(
            QStringLiteral("The firmware file could not be read, nothing was sent to the ECU: ") +
                file_.error,
            Buttons::Ok, Icon::Exclamation, QStringLiteral("Error"));
        break;
    }
    file_ = {};
    view_.setStartEnabled(true);
    return false;
}

FirmwareUpdater::Attempt FirmwareUpdater::attempt()
{
    view_.setCancelEnabled(false);
    if (!openPort())
        return Attempt::Stopped;
    G.RxBuffer.clear();

    wake();
    identify();
    if (!G.RxBuffer.contains(kBootloaderName)) {
        view_.setCancelEnabled(true);
        const Answer answer = MsgBox(QStringLiteral("ECU cannot be switched to firmware update "
                                                    "mode, please power cycle and try again"),
                                     Buttons::RetryCancel, Icon::Exclamation, kWarning);
        if (answer == Answer::Cancel) {
            view_.setStartEnabled(true);
            return Attempt::Stopped;
        }
        return Attempt::Again;
    }
    view_.setProgressMaximum(static_cast<int>(file_.lines.size()));
    flush();

    port_.output(QStringLiteral("ERASE") + G.CR);
    if (!WaitForReply(true, kPrompt, 0)) {
        MsgBox(QStringLiteral("ECU not responding, please power down/up and try again"),
               Buttons::Ok, Icon::Exclamation, kWarning);
        return Attempt::Again;
    }

    const Load result = load();
    if (result != Load::Confirmed) {
        view_.setCancelEnabled(true);
        const QString text =
            result == Load::Rejected
                ? QStringLiteral("ECU reported an error in the firmware it received, the update is "
                                 "not complete. Please power down/up and try again")
                : QStringLiteral("ECU did not confirm the end of the firmware update, the update "
                                 "may not be complete. Please power down/up and try again");
        if (MsgBox(text, Buttons::RetryCancel, Icon::Exclamation, kWarning) == Answer::Cancel)
            return Attempt::Stopped;
        return Attempt::Again;
    }

    view_.setStartEnabled(true);
    view_.setCancelEnabled(true);
    MsgBox(QStringLiteral("Firmware update complete! Please power cycle ECU"), Buttons::Ok,
           Icon::Information, QStringLiteral("Update complete"));
    leaveBootloader();
    port_.close();
    file_ = {};
    view_.updateFinished();
    return Attempt::Done;
}

bool FirmwareUpdater::openPort()
{
    port_.close();
    port_.setPortNumber(G.ComPortNumber);
    port_.setHandshaking(kHandshaking);
    port_.setSettings(kPortSettings);
    const PortOpenResult opened = port_.open();
    if (opened.ok())
        return true;
    MsgBox(portUnavailableText(G.ComPortNumber, opened), Buttons::Ok, Icon::Exclamation, kWarning);
    return false;
}

void FirmwareUpdater::wake()
{
    port_.output(QStringLiteral("zb") + G.CR);
    waitUntil([] { return !G.RxBuffer.isEmpty(); }, timing::kBootWakeMs);
}

// The rest of the answer to "zb" may still be on its way and count towards the 30 characters,
// so the wait goes on until the name has come too. Only the presence of the name decides: a
// shorter answer that holds it is taken once the bound is up.
void FirmwareUpdater::identify()
{
    G.RxBuffer.clear();
    port_.output(QStringLiteral("?"));
    waitUntil(
        [] { return G.RxBuffer.size() >= kIdentityLength && G.RxBuffer.contains(kBootloaderName); },
        timing::kBootIdentifyMs);
}

// Whatever the controller still says about "zb" and "?" must not be taken for the answer to
// "ERASE".
void FirmwareUpdater::flush()
{
    const QDeadlineTimer limit = scaledDeadline(timing::kBootFlushLimitMs);
    const int quiet = timing::kBootFlushQuietMs;
    do {
        G.RxBuffer.clear();
    } while (waitUntil([] { return !G.RxBuffer.isEmpty(); }, quiet) && !limit.hasExpired());
    G.RxBuffer.clear();
}

FirmwareUpdater::Load FirmwareUpdater::load()
{
    port_.output(QStringLiteral("LF") + G.CR);
    view_.setProgress(0);
    if (const std::optional<Load> failed = stream())
        return *failed;
    const auto answered = [this] {
        return !port_.isOpen() || G.RxBuffer.contains(kPrompt) || G.RxBuffer.contains(kErrorWord);
    };
    waitUntil(answered, timing::kBootLoadEndMs);
    if (G.RxBuffer.contains(kErrorWord))
        return Load::Rejected;
    return G.RxBuffer.contains(kPrompt) ? Load::Confirmed : Load::NotConfirmed;
}

// The lines go out back to back: the port's queue is kept topped up and the line never waits
// for an answer. A bootloader that reports a bad line stops the stream at once.
std::optional<FirmwareUpdater::Load> FirmwareUpdater::stream()
{
    LinePacer pacer(file_.lines, G.CR.toLatin1(), kBacklogBytes);
    qint64 handedOver = 0;
    QDeadlineTimer stalled = scaledDeadline(timing::kBootStallMs);
    for (;;) {
        if (!port_.isOpen())
            return Load::NotConfirmed;
        if (G.RxBuffer.contains(kErrorWord))
            return Load::Rejected;
        const QByteArray chunk = pacer.nextChunk(port_.bytesToWrite());
        if (!chunk.isEmpty())
            port_.queueOutput(chunk);
        const qint64 backlog = port_.bytesToWrite();
        view_.setProgress(pacer.linesSent(backlog));
        if (pacer.allQueued() && backlog == 0)
            return std::nullopt;
        if (pacer.bytesQueued() - backlog > handedOver) {
            handedOver = pacer.bytesQueued() - backlog;
            stalled = scaledDeadline(timing::kBootStallMs);
        } else if (stalled.hasExpired()) {
            return Load::NotConfirmed;
        }
        // Back when the port has taken bytes, something arrived, or the stall bound is up.
        const qsizetype received = G.RxBuffer.size();
        waitUntil(
            [&] {
                return !port_.isOpen() || port_.bytesToWrite() < backlog ||
                       G.RxBuffer.size() != received;
            },
            stalled);
    }
}

void FirmwareUpdater::leaveBootloader()
{
    port_.output(QStringLiteral("ex") + G.CR);
    G.RxBuffer.clear();
    waitUntil([] { return !G.RxBuffer.isEmpty(); }, timing::kBootExitMs);
}

void FirmwareUpdater::backToIdle()
{
    file_ = {};
    view_.setStartEnabled(true);
    view_.setCancelEnabled(true);
}

} // namespace vx
