#include "common/globals.h"
#include "common/timing.h"
#include "gearbox/gearbox_control.h"
#include "gearbox/gearbox_link.h"
#include "gearbox/indicator_light.h"
#include "serial/command_table.h"
#include "serial/reply_wait.h"

#include <QLabel>

namespace vx {

namespace {

constexpr int kResendAtTick = 5;
constexpr int kGiveUpAtTick = 10;

QString xon()
{
    return QString(QChar(17));
}

QColor indicatorColour(gearbox::Indicator indicator)
{
    return indicator == gearbox::Indicator::On ? gearbox::greenLight() : QColor();
}

} // namespace

void GearboxControl::GearboxReadTimer_Timer()
{
    const gearbox::StatusBatch batch = gearbox::statusBatch(G.FirmwareVersionNumber);
    if (GearboxInitTimer->isActive()) {
        GearboxReadTimer->stop();
        return;
    }
    if (G.PollState == 0) {
        PollReply.clear();
        G.RxBuffer.clear();
        link_->ComOutput(batch.text);
        G.PollState = 1;
        return;
    }
    PollReply += G.RxBuffer;
    G.RxBuffer.clear();
    if (PollReply.isEmpty()) {
        if (G.PollState == 1) {
            link_->ComOutput(xon());
            G.PollState = 2;
        } else if (G.PollState == 2) {
            link_->ComOutput(xon());
            PollReply.clear();
            link_->ComOutput(batch.text);
            G.PollState = 3;
        } else {
            lostLink();
        }
        return;
    }
    if (G.PollState >= kGiveUpAtTick) {
        lostLink();
        return;
    }
    if (!gearbox::isComplete(PollReply, batch)) {
        ++G.PollState;
        if (G.PollState == kResendAtTick) {
            link_->ComOutput(xon());
            PollReply.clear();
            link_->ComOutput(batch.text);
        }
        return;
    }
    G.PollState = 0;
    showStatus(gearbox::decodeStatus(PollReply, batch, G.TriggerType, G.CylinderCount));
}

void GearboxControl::lostLink()
{
    G.ControllerConnected = 0;
    G.PollState = 0;
    closePort();
    GearboxReadTimer->stop();
    armInitTimer();
    CurrRPM->setText(QStringLiteral("0"));
    StatusText = QStringLiteral("Lost connection");
}

void GearboxControl::showStatus(const gearbox::StatusView& view)
{
    const auto show = [](QLabel* label, const std::optional<QString>& text) {
        if (text)
            label->setText(*text);
    };
    show(CurrSyncErrors, view.syncErrors);
    show(CurrThrotPos, view.throttle);
    show(CurrRPM, view.rpm);
    show(BarrelSensor, view.barrelSensor);
    show(RamSensor, view.ramSensor);
    show(GearPosition, view.gear);
    const auto lamp = [](gearbox::IndicatorLight* light, gearbox::Indicator indicator) {
        if (indicator != gearbox::Indicator::Unchanged)
            light->setFill(indicatorColour(indicator));
    };
    lamp(UpShiftLight, view.upShift);
    lamp(DownShiftLight, view.downShift);
    lamp(NeutralLight, view.neutral);
    lamp(BrakePedal, view.brakePedal);
    switch (view.manualMode) {
    case gearbox::ManualModeView::Unchanged:
        break;
    case gearbox::ManualModeView::Hidden:
        ManualMode->setVisible(false);
        Label52->setVisible(false);
        break;
    case gearbox::ManualModeView::Off:
    case gearbox::ManualModeView::On:
        ManualMode->setVisible(true);
        Label52->setVisible(true);
        ManualMode->setFill(view.manualMode == gearbox::ManualModeView::On ? gearbox::greenLight()
                                                                           : QColor());
        break;
    }
    show(LastShiftTime, view.shiftTime);
    show(CurrAirPress, view.airPressure);
}

void GearboxControl::CurrSyncErrors_Click()
{
    // The display takes clicks while the workspace connects too, with the port open: only a
    // running link has a count to reset.
    if (G.ControllerConnected != 1 || refusedWhileBusy())
        return;
    BusyScope busy(*this);
    SyncWithRPMTimer(false);
    if (GearboxComPort.isOpen()) {
        link_->ComOutput(QStringLiteral("0") + Command(cmd::sy) + G.CR);
        if (!WaitForReply(false, Prompt, 0)) {
            ReInitConnection();
            return;
        }
    }
    SyncWithRPMTimer(true);
}

} // namespace vx
