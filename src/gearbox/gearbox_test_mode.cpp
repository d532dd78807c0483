#include "common/globals.h"
#include "gearbox/gear_change_pattern.h"
#include "gearbox/gearbox_control.h"
#include "gearbox/gearbox_link.h"
#include "gearbox/indicator_light.h"
#include "serial/command_table.h"
#include "serial/reply_wait.h"
#include "service/air_pressure_calibration.h"
#include "service/data_logger.h"
#include "service/throttle_setup.h"

#include <QGroupBox>
#include <QPushButton>

namespace vx {

namespace {
const QString kTestModePrompt = QStringLiteral("TestMode>");
}

void GearboxControl::operateButton(int command)
{
    if (refusedWhileBusy())
        return;
    BusyScope busy(*this);
    sendSetting(Command(command));
}

void GearboxControl::EnableDisable_Click()
{
    if (refusedWhileBusy())
        return;
    BusyScope busy(*this);
    SyncWithRPMTimer(false);
    if (EnableDisable->text() == QLatin1String("Enable")) {
        EnableDisable->setText(QStringLiteral("Disable"));
        link_->ComOutput(Command(cmd::tm) + G.CR);
        if (!WaitForReply(false, kTestModePrompt, 0)) {
            ReInitConnection();
            return;
        }
        for (const gearbox::TestOutput& output : gearbox::testOutputs()) {
            const QString name = QLatin1String(output.control);
            // The left and right rams exist only on two-axis gearboxes.
            const bool twoAxisOnly =
                name == QLatin1String("LeftRam") || name == QLatin1String("RightRam");
            button(name)->setEnabled(!twoAxisOnly || GearPatternCode >= 4);
        }
        Prompt = kTestModePrompt;
        OperateGearbox->setEnabled(false);
        TestUpshift->setEnabled(false);
        TestDownshift->setEnabled(false);
        TestNeutralShift->setEnabled(false);
    } else {
        EnableDisable->setText(QStringLiteral("Enable"));
        link_->ComOutput(Command(cmd::ex) + G.CR);
        if (!WaitForReply(false, QStringLiteral("*"), 0)) {
            ReInitConnection();
            return;
        }
        for (QPushButton* output : std::as_const(outputButtons_))
            output->setEnabled(false);
        Prompt = QStringLiteral("*");
        for (gearbox::IndicatorLight* lamp : std::as_const(outputLights_))
            lamp->setFill(QColor());
        OperateGearbox->setEnabled(true);
        TestUpshift->setEnabled(true);
        TestDownshift->setEnabled(true);
        TestNeutralShift->setEnabled(true);
    }
    SyncWithRPMTimer(true);
}

void GearboxControl::outputButton(const gearbox::TestOutput& output)
{
    if (refusedWhileBusy())
        return;
    BusyScope busy(*this);
    if (!sendSetting(Command(output.command)))
        return;
    gearbox::IndicatorLight* lamp = light(QLatin1String(output.light));
    if (!lamp)
        return;
    // The light is the only record of the output's state.
    if (lamp->fill() == gearbox::redLight()) {
        lamp->setFill(QColor());
        for (const QString& name : output.disables)
            button(name)->setEnabled(true);
    } else {
        lamp->setFill(gearbox::redLight());
        for (const QString& name : output.disables)
            button(name)->setEnabled(false);
        for (const QString& name : output.resetsLights)
            light(name)->setFill(QColor());
    }
}

void GearboxControl::GearPattern_Click()
{
    if (refusedWhileBusy())
        return;
    BusyScope busy(*this);
    SyncWithRPMTimer(false);
    {
        GearChangePattern dialog(*link_, this);
        dialog.load();
        dialog.exec();
    }
    if (G.ControllerConnected != 1 || closePending_)
        return; // the dialog lost the link: the connect sequence has the window now
    ApplyGearPatternLayout();
    EnableParameterControls(true);
    SyncWithRPMTimer(true);
}

void GearboxControl::ThrotCal_Click()
{
    if (refusedWhileBusy())
        return;
    BusyScope busy(*this);
    showThrottleSetup(this, objectName());
}

void GearboxControl::Calibrate_Click()
{
    if (refusedWhileBusy())
        return;
    // The dialog reads both calibration points from the controller before it is shown.
    BusyScope busy(*this);
    showAirPressureCalibration(this);
}

void GearboxControl::DataLogger_Click()
{
    if (refusedWhileBusy())
        return;
    BusyScope busy(*this);
    SyncWithRPMTimer(false);
    showDataLogger(this);
    if (G.ControllerConnected == 1)
        SyncWithRPMTimer(true);
}

} // namespace vx
