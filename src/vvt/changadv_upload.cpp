// Map upload, the two edit commits and the permanent save of the VVT workspace.
#include "common/globals.h"
#include "common/prompts.h"
#include "common/timing.h"
#include "debugwin/debug_log.h"
#include "serial/command_table.h"
#include "serial/reply_wait.h"
#include "vvt/busy_scope.h"
#include "vvt/changadv.h"
#include "vvt/map_grid.h"
#include "vvt/map_model.h"
#include "vvt/map_records.h"

#include <QPushButton>

namespace vx {

namespace {

// "Error" just before a CR anywhere after the first five characters: a rejected line.
bool replyReportsError(const QString& rx)
{
    for (qsizetype i = rx.indexOf(G.CR, 5); i >= 0; i = rx.indexOf(G.CR, i + 1)) {
        if (rx.mid(i - 5, 5) == QLatin1String("Error"))
            return true;
    }
    return false;
}

} // namespace

bool Changadv::UploadMapColumns(int first, int last, bool keepOpen)
{
    if (!VvtComPort.isOpen())
        return false;
    const int slot = G.CurrentMapSlot;
    ComOutput(QStringLiteral("1") + Command(cmd::en) + G.CR);
    ChangAdvExit[1]->setEnabled(false);
    Nvram->setEnabled(false);
    ComOutput(Command(cmd::po) + G.CR);

    const auto sendRecord = [this](const QString& record) {
        if (G.DisplayDebug)
            PrintDebugString(record + G.CR + G.LF);
        return WriteLine(record);
    };
    for (int column = first; column <= last; ++column) {
        if (!sendRecord(columnRecord(slot, column)))
            return false;
    }
    if (!sendRecord(kTerminationRecord))
        return false;
    if (!WriteLine(nameLine(G.BufferCaption)))
        return false;
    ComputeMapChecksum();
    const QString checksum = checksumLine(G.MapChecksum[slot]);
    if (!WriteLine(checksum))
        return false;
    // The prompt that counts is the one after the checksum line's own echo; a rejection that
    // arrives with it fails the upload like any other rejected line.
    const QString echo = checksum + G.CR + G.LF;
    if (!waitForController(
            [&] { return G.RxBuffer.contains(echo) && G.RxBuffer.endsWith(QLatin1Char('*')); },
            timing::kReplyTimeoutMs))
        return false;
    if (replyReportsError(G.RxBuffer)) {
        ComOutput(QString(QChar(27)));
        return false;
    }
    ChangAdvExit[1]->setEnabled(true);
    Nvram->setEnabled(true);
    if (!keepOpen) {
        G.RxBuffer.clear();
        ComOutput(QStringLiteral("0") + Command(cmd::en) + G.CR);
        if (!WaitForReply(false, QStringLiteral("*"), 0))
            return false;
    }
    return true;
}

void Changadv::startCommitTimer(QTimer& timer)
{
    timer.setInterval(timing::scaled(timing::kCommitDebounceMs));
    timer.start();
}

void Changadv::Timer1_Timer()
{
    const BusyScope busy;
    // One upload at a time: the timer fires again once the running one is done.
    if (uploading_)
        return;
    cellCommit();
}

void Changadv::Timer4_Timer()
{
    const BusyScope busy;
    if (uploading_)
        return;
    selectionCommit();
}

void Changadv::cellCommit()
{
    const int e = grid_->editedCell();
    const int row = GetRpmOffsetFromIndex(e);
    const int column = GetThrotFromIndex(e);
    const int v = grid_->cellValue(e);
    G.AdvanceMap[row][G.CurrentMapSlot][column] = v;
    if (G.OfflineMode) {
        ComputeMapChecksum();
        Timer1.stop();
        return;
    }
    Timer3.stop();
    uploading_ = true;
    const bool ok = linkUp() && UploadMapColumns(column, column, false);
    uploading_ = false;
    if (leaving_)
        return;
    if (!ok) {
        uploadFailed(Timer1);
        return;
    }
    if (grid_->cellValue(e) == v && grid_->editedCell() == e)
        Timer1.stop();
    G.PollState = 0;
    Timer3.setInterval(timing::scaled(timing::kLivePollMs));
    Timer3.start();
}

void Changadv::selectionCommit()
{
    int first = -1;
    int last = -1;
    int lastCell = -1;
    for (int i = 0; i < kMapCells; ++i) {
        if (!grid_->cellSelected(i))
            continue;
        const int column = GetThrotFromIndex(i);
        if (first == -1)
            first = last = column;
        last = qMax(last, column);
        G.AdvanceMap[GetRpmOffsetFromIndex(i)][G.CurrentMapSlot][column] = grid_->cellValue(i);
        lastCell = i;
    }
    if (lastCell < 0) {
        Timer4.stop();
        return;
    }
    if (G.OfflineMode) {
        ComputeMapChecksum();
        Timer4.stop();
        return;
    }
    SyncWithRPMTimer(false);
    uploading_ = true;
    const bool ok = linkUp() && UploadMapColumns(first, last, false);
    uploading_ = false;
    if (leaving_)
        return;
    if (!ok) {
        uploadFailed(Timer4);
        return;
    }
    const MapCell& stored = G.AdvanceMap[GetRpmOffsetFromIndex(lastCell)][G.CurrentMapSlot]
                                        [GetThrotFromIndex(lastCell)];
    if (stored && *stored == grid_->cellValue(lastCell))
        Timer4.stop();
    SyncWithRPMTimer(true);
}

bool Changadv::linkUp() const
{
    return G.ControllerConnected == 1 && VvtComPort.isOpen();
}

void Changadv::uploadFailed(QTimer& commitTimer)
{
    commitTimer.stop();
    if (!linkUp()) {
        // The link went away before or during the upload: the map holds the edit, and the
        // reconnect compares it with the controller's and offers to reload it.
        ComputeMapChecksum();
        if (G.ControllerConnected == 1)
            ReInitConnection();
        return;
    }
    MsgBox(QStringLiteral("Error sending advance data to system"), Buttons::Ok, Icon::None,
           QStringLiteral("Error"));
    leaveWorkspace();
}

void Changadv::Nvram_Click()
{
    const BusyScope busy;
    if (!VvtComPort.isOpen())
        return;
    if (MsgBox(QStringLiteral("Are you sure you want to make this map permanent in the ECU?"),
               Buttons::YesNo, Icon::Question, QStringLiteral("Warning"),
               Answer::No) != Answer::Yes) {
        MsgBox(QStringLiteral("System non-volatile memory update aborted"), Buttons::Ok,
               Icon::Information, QString());
        return;
    }
    // The link may have been lost while the question was up.
    if (!linkUp())
        return;
    SyncWithRPMTimer(false);
    G.RxBuffer.clear();
    ComOutput(Command(cmd::unv) + G.CR);
    if (!WaitForReply(false, QStringLiteral("*"), 0)) {
        ReInitConnection();
        return;
    }
    if (G.RxBuffer.contains(QLatin1String("Error"))) {
        MsgBox(QStringLiteral("Flash update failed!!! Please retry"), Buttons::Ok, Icon::Critical,
               QStringLiteral("Error"));
    } else {
        ResetMapCellColours(G.CurrentMapSlot);
        Fill_Display();
    }
    G.RxBuffer.clear();
    SyncWithRPMTimer(true);
}

} // namespace vx
