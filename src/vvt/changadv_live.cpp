// Live engine data of the VVT workspace: one batch of queries per tick of Timer3.
#include "common/globals.h"
#include "common/timing.h"
#include "serial/command_table.h"
#include "serial/hex.h"
#include "service/cam_pwm_parameters.h"
#include "vvt/busy_scope.h"
#include "vvt/changadv.h"
#include "vvt/live_data.h"
#include "vvt/map_grid.h"

#include <QLabel>
#include <QPushButton>

#include <cmath>

namespace vx {

namespace {

QString plain(const MapCell& value)
{
    return value ? QString::number(*value) : QString();
}

} // namespace

void Changadv::Timer3_Timer()
{
    const BusyScope busy;
    LivePollBusy = true;
    VvtComPort.setInputHeld(true);
    if (Timer1.isActive()) {
        Timer3.stop();
    } else if (G.PollState == 0) {
        PollReply.clear();
        G.RxBuffer.clear();
        ComOutput(liveBatch());
        G.PollState = 1;
        RpmPeriodText.clear();
    } else {
        PollReply += G.RxBuffer;
        G.RxBuffer.clear();
        if (PollReply.isEmpty()) {
            if (G.PollState == 1) {
                ComOutput(QString(QChar(17)));
                G.PollState = 2;
            } else if (G.PollState == 2) {
                ComOutput(QString(QChar(17)));
                PollReply.clear();
                ComOutput(liveBatch());
                RpmPeriodText.clear();
                G.PollState = 3;
            } else {
                lostLink();
            }
        } else if (G.PollState >= 10) {
            lostLink();
        } else if (!liveReplyComplete(PollReply)) {
            if (++G.PollState == 5) {
                ComOutput(QString(QChar(17)));
                PollReply.clear();
                ComOutput(liveBatch());
                RpmPeriodText.clear();
            }
        } else {
            G.PollState = 0;
            showLiveValues(PollReply);
        }
    }
    VvtComPort.setInputHeld(false);
    LivePollBusy = false;
}

void Changadv::lostLink()
{
    G.ControllerConnected = 0;
    G.PollState = 0;
    closePort();
    Timer3.stop();
    Timer2.setInterval(timing::scaled(timing::kConnectTickMs));
    Timer2.start();
    CurrRPM->setText(QStringLiteral("0"));
    StatusText = QStringLiteral("Lost connection");
}

void Changadv::showLiveValues(const QString& r)
{
    RpmPeriodText = liveAnswer(r, Command(cmd::rp), 4).value_or(QString());
    QString crankPeriod;
    if (G.TriggerType != 1) {
        const std::optional<QString> h = liveAnswer(r, Command(cmd::rh), 6);
        if (!h)
            return;
        crankPeriod = *h;
    }
    const std::optional<QString> sync = liveAnswer(r, Command(cmd::sy), 4);
    if (!sync)
        return;
    CurrSyncErrors->setText(QLatin1Char(' ') + QString::number(HexStringToInt(*sync)));
    const std::optional<QString> th = liveAnswer(r, Command(cmd::th), 2);
    if (!th)
        return;
    const int throttle = static_cast<int>(HexStringToInt(*th));
    CurrThrotPos->setText(QLatin1Char(' ') + QString::number(throttle) + QLatin1Char('%'));
    const std::optional<QString> to = liveAnswer(r, Command(cmd::to), 4);
    if (!to)
        return;
    const int band = static_cast<int>(std::lround(HexStringToInt(*to) / 32.0));

    int rpm = 0;
    bool running = false;
    if (G.TriggerType == 1) {
        rpm = revCounterRpm(static_cast<int>(HexStringToInt(RpmPeriodText)), G.CylinderCount);
        running = revCounterRunning(rpm, G.CylinderCount);
        CurrRPM->setText(running ? rpmCaption(rpm) : QStringLiteral("0"));
    } else if (!crankPeriod.isEmpty() && crankPeriod != QLatin1String("000000")) {
        rpm = crankPeriodRpm(HexStringToInt(crankPeriod));
        CurrRPM->setText(rpmCaption(rpm));
        running = true;
    } else {
        CurrRPM->setText(QStringLiteral("0"));
    }

    if (running) {
        const int slot = G.CurrentMapSlot;
        const int row = operatingRow(rpm);
        const int b = qBound(0, band, 3);
        QString inlet;
        QString exhaust;
        if (throttle > 5) {
            inlet = plain(G.AdvanceMap[row][slot][b]);
            exhaust = plain(G.AdvanceMap[row][slot][b + 4]);
        } else {
            const bool inletAll = pwm_->GetThrottleEnable(0);
            const bool exhaustAll = pwm_->GetThrottleEnable(1);
            if (inletAll || exhaustAll) {
                inlet = inletAll ? plain(G.AdvanceMap[row][slot][b]) : QString();
                exhaust = exhaustAll ? plain(G.AdvanceMap[row][slot][b + 4]) : QString();
            } else {
                inlet = exhaust = QStringLiteral("0");
            }
        }
        CamReqPos[0]->setText(inlet);
        CamReqPos[1]->setText(exhaust);
        grid_->markOperatingPoint(throttle > 5 ? std::optional<int>(row) : std::nullopt, b);
    }

    const int groups[] = {cmd::cw, cmd::cx, cmd::cz, cmd::dw, cmd::dv};
    for (int g = 0; g < 5; ++g) {
        const std::optional<QString> answer = liveAnswer(r, Command(groups[g]), 11);
        if (!answer)
            continue;
        const std::array<int, 4> numbers = fourNumbers(*answer);
        for (int k = 0; k < 4; ++k) {
            QLabel* label = g < 4 ? CamTrigPoint[g][k] : CamPos[k];
            label->setText(QString::number(numbers[k]));
        }
    }
}

void Changadv::CurrSyncErrors_Click()
{
    // The display takes clicks while the workspace connects too, with the port open: a reset
    // then would cut into the connect exchanges, and only a running link has a count to reset.
    if (G.ControllerConnected != 1)
        return;
    const BusyScope busy;
    SyncWithRPMTimer(false);
    if (VvtComPort.isOpen())
        ComOutput(QStringLiteral("0") + Command(cmd::sy) + G.CR);
    SyncWithRPMTimer(true);
}

} // namespace vx
