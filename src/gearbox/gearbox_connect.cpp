#include "app/shell.h"
#include "common/event_loop.h"
#include "common/globals.h"
#include "common/prompts.h"
#include "common/timing.h"
#include "common/trigger_patterns.h"
#include "gearbox/firmware_version.h"
#include "gearbox/gearbox_control.h"
#include "gearbox/gearbox_link.h"
#include "gearbox/indicator_light.h"
#include "serial/command_table.h"
#include "serial/reply_wait.h"
#include "setupdlg/setup_dialog.h"

#include <QDeadlineTimer>
#include <QLabel>
#include <QPushButton>

#include <algorithm>

namespace vx {

namespace {

const QString kRunning = QStringLiteral("Running");
const QString kLostConnection = QStringLiteral("Lost connection");
const QString kTestModePrompt = QStringLiteral("TestMode>");
constexpr int kShortestVersionReply = 10;

QString character(int code)
{
    return QString(QChar(code));
}

} // namespace

void GearboxControl::GearboxInitTimer_Timer()
{
    BusyScope busy(*this);
    GearboxInitTimer->stop();
    Status->setText(StatusText);

    if (InitStep == 0) {
        if (G.ControllerConnected == 0) {
            connectStepOpen();
            if (InitStep == 0)
                return; // the port did not open; its handling has re-armed or left
        } else {
            if (ReadAllParameters() != 1) {
                closePort();
                G.ControllerConnected = 0;
                InitStep = 0;
                unloadWorkspace();
                return;
            }
            Status->setText(kRunning);
        }
    } else if (InitStep == 1) {
        if (!connectStepCheck())
            return;
    }

    if (Status->text() == kRunning && !closePending_) {
        EnableParameterControls(true);
        GearboxReadTimer->setInterval(timing::scaled(timing::kLivePollMs));
        show();
        SyncWithRPMTimer(true);
    } else {
        EnableParameterControls(false);
    }
}

void GearboxControl::connectStepOpen()
{
    GearboxComPort.setHandshaking(3);
    GearboxComPort.setSettings(QStringLiteral("115200") + QStringLiteral(",N,8,1"));
    const PortOpenResult opened = GearboxComPort.open();
    if (!opened.ok()) {
        handleOpenFailure(opened);
        return;
    }
    armInitTimer();
    G.RxBuffer.clear();
    link_->ComOutput(character(17));
    link_->ComOutput(character(27));
    link_->ComOutput(G.CR);
    InitStep = 1;
}

void GearboxControl::handleOpenFailure(const PortOpenResult& result)
{
    if (result.failure == PortFailure::NoSuchPort ||
        result.failure == PortFailure::PermissionDenied) {
        const Answer answer =
            MsgBox(portUnavailableText(G.ComPortNumber, result), Buttons::OkCancel, Icon::Critical,
                   QStringLiteral("Port open error"));
        if (answer == Answer::Cancel) {
            GearboxExit_Click();
            return;
        }
        Setup::SetNoErrorMsg(true);
        Setup::showModal(this);
        GearboxComPort.setPortNumber(G.ComPortNumber);
    } else if (result.failure == PortFailure::Busy) {
        Status->setText(QStringLiteral("Port already open"));
    } else {
        Status->setText(result.detail);
    }
    errorTail();
}

void GearboxControl::errorTail()
{
    closePort();
    if (StatusText == kLostConnection)
        Status->setText(QStringLiteral("Reconnecting..."));
    G.ControllerConnected = 0;
    InitStep = 0;
    if (!closePending_)
        armInitTimer();
}

// No prompt after the wake-up, or none after "ex" or "ve": the port closes and the sequence
// starts over at the next tick.
void GearboxControl::retryWakeUp()
{
    closePort();
    G.ControllerConnected = 0;
    InitStep = 0;
    G.RxBuffer.clear();
    armInitTimer();
}

// Waits, yielding, until text appears in RxBuffer; bounded like a reply so that a controller
// that answered the wake-up but then falls silent cannot hold the sequence.
bool GearboxControl::waitForText(const QString& text)
{
    const QDeadlineTimer deadline(timing::scaled(timing::kReplyTimeoutMs));
    while (!G.RxBuffer.contains(text)) {
        if (deadline.hasExpired() || !GearboxComPort.isOpen() || closePending_)
            return false;
        yieldToEventLoop();
        sleepMs(1);
    }
    return true;
}

void GearboxControl::resetTestModeControls()
{
    EnableDisable->setText(QStringLiteral("Enable"));
    for (QPushButton* output : std::as_const(outputButtons_))
        output->setEnabled(false);
    for (gearbox::IndicatorLight* lamp : std::as_const(outputLights_))
        lamp->setFill(QColor());
    Prompt = QStringLiteral("*");
}

bool GearboxControl::connectStepCheck()
{
    if (!G.RxBuffer.endsWith(QLatin1Char('*')) && !G.RxBuffer.endsWith(kTestModePrompt)) {
        retryWakeUp();
        return false;
    }
    G.RxBuffer.clear();
    link_->ComOutput(Command(cmd::ex) + G.CR);
    if (!waitForText(QStringLiteral("*"))) {
        if (!closePending_)
            retryWakeUp();
        return false;
    }
    resetTestModeControls();

    G.RxBuffer.clear();
    link_->ComOutput(Command(cmd::ve) + G.CR);
    if (!waitForText(QStringLiteral("*"))) {
        if (!closePending_)
            retryWakeUp();
        return false;
    }
    if (G.RxBuffer.contains(QLatin1String("Illegal")) ||
        G.RxBuffer.size() < kShortestVersionReply) {
        MsgBox(QStringLiteral(
            "ECU is not a Vantorex VVT/Gearbox system or it maybe in 'Update Mode'"));
        closePort();
        G.ControllerConnected = 0;
        InitStep = 0;
        unloadWorkspace();
        return false;
    }
    const gearbox::FirmwareVersion version = gearbox::parseFirmwareVersion(G.RxBuffer);
    G.FirmwareVersionNumber = version.number;
    setWindowTitle(QStringLiteral("Gearbox Controller Setup   -   GCU Firmware Version: ") +
                   version.text);
    if (G.FirmwareVersionNumber < gearbox::kMinimumFirmware) {
        MsgBox(gearbox::firmwareTooOldText(version.text), Buttons::Ok, Icon::Critical,
               QStringLiteral("Error"));
        closePort();
        G.ControllerConnected = 0;
        InitStep = 0;
        unloadWorkspace();
        return false;
    }

    GearboxInitTimer->stop();
    G.RxBuffer.clear();
    link_->ComOutput(Command(cmd::do_) + G.CR);
    if (!WaitForReply(false, QStringLiteral("*"), 0)) {
        abandon();
        return false;
    }
    if (!G.RxBuffer.contains(QLatin1String("Gearbox GCU Type"))) {
        MsgBox(QStringLiteral("The connected ECU is NOT a Gearbox GCU!!"));
        shell_.disableGearboxButton();
        abandon();
        return false;
    }
    G.VvtEcuType = G.RxBuffer.contains(QLatin1String("VVT ECU Type"));

    G.ControllerConnected = 1;
    InitStep = 0;
    G.RxBuffer.clear();
    if (ReadAllParameters() != 1) {
        closePort();
        G.ControllerConnected = 0;
        InitStep = 0;
        unloadWorkspace();
        return false;
    }
    Status->setText(kRunning);
    show();
    return true;
}

void GearboxControl::abandon()
{
    G.ControllerConnected = 0;
    InitStep = 0;
    unloadWorkspace();
}

int GearboxControl::CheckTriggerType()
{
    G.RxBuffer.clear();
    const qint64 value = link_->GetECUValue(Command(cmd::ty) + G.CR, QString(), 2);
    if (G.ProgSettingsFromECU == 0 && G.TriggerType != value) {
        const int controllerValue = static_cast<int>(std::clamp<qint64>(value, -1, 99));
        const QString controllerName = trigger::controllerName(controllerValue);
        const QString pcName = trigger::pcName(G.TriggerType);
        const Answer change =
            MsgBox(QStringLiteral("ECU and PC have different trigger types") + G.CR +
                       QStringLiteral("ECU = ") + controllerName + G.CR + QStringLiteral("PC = ") +
                       pcName + G.CR + QStringLiteral("Change trigger type in the ECU?"),
                   Buttons::YesNo, Icon::Question, QStringLiteral("Warning"), Answer::No);
        if (change != Answer::Yes) {
            MsgBox(QStringLiteral("Use Setup to change the PC's trigger type to match the ECU (") +
                   controllerName + QStringLiteral(")"));
            return 0;
        }
        // The controller's answer to the new pattern is awaited before the restart is asked
        // for, so that the restart cannot overtake the store.
        G.RxBuffer.clear();
        link_->ComOutput(trigger::code(G.TriggerType) + Command(cmd::ty) + G.CR);
        if (!WaitForReply(false, QStringLiteral("*"), 0)) {
            ReInitConnection();
            return 0;
        }
        G.RxBuffer.clear();
        link_->ComOutput(QStringLiteral("00000000") + Command(cmd::ch) + G.CR);
        if (!WaitForReply(false, QStringLiteral("*"), 0)) {
            ReInitConnection();
            return 0;
        }
        MsgBox(QStringLiteral("The ECU will have now restarted in ") + pcName +
                   QStringLiteral(" trigger mode. Please re-connect to the ECU"),
               Buttons::Ok, Icon::Exclamation, QStringLiteral("Warning"));
        return 0;
    }
    G.TriggerType = static_cast<int>(value);
    return 1;
}

void GearboxControl::ReInitConnection()
{
    G.PollState = 0;
    closePort();
    G.ControllerConnected = 0;
    CurrRPM->setText(QStringLiteral("0 RPM"));
    GearboxReadTimer->stop();
    if (!closePending_)
        armInitTimer();
    StatusText = kLostConnection;
}

void GearboxControl::SyncWithRPMTimer(bool timerState)
{
    // The batch in progress ends within ten ticks (complete or lost link); the bound only
    // guards against a tick that no longer runs.
    const QDeadlineTimer bound(timing::scaled(timing::kReplyTimeoutMs));
    while (G.PollState != 0 && GearboxReadTimer->isActive() && !bound.hasExpired()) {
        yieldToEventLoop();
        sleepMs(1);
    }
    if (timerState && !closePending_) {
        GearboxReadTimer->start();
    } else {
        GearboxReadTimer->stop();
        G.PollState = 0;
    }
    G.RxBuffer.clear();
}

} // namespace vx
