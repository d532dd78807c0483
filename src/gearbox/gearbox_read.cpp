#include "app/shell.h"
#include "common/globals.h"
#include "common/prompts.h"
#include "gearbox/gearbox_control.h"
#include "gearbox/gearbox_link.h"
#include "serial/command_table.h"
#include "serial/hex.h"
#include "serial/reply_wait.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace vx {

using gearbox::kGearRows;
using gearbox::kReverseRow;

namespace {

constexpr int kFirstTwoAxisPattern = 4;
constexpr int kAutoShiftUnset = 255;

} // namespace

qint64 GearboxControl::readValue(const QString& mnemonic, int digits)
{
    return link_->GetECUValue(mnemonic + G.CR, QString(), digits);
}

void GearboxControl::readNumberBox(const gearbox::NumberParameter& parameter)
{
    const qint64 value = readValue(gearbox::mnemonic(parameter), parameter.readDigits);
    numberBoxes_[static_cast<size_t>(
                     *gearbox::numberParameterIndex(QLatin1String(parameter.control)))]
        ->setText(QString::number(value * parameter.show));
}

void GearboxControl::readSwitches()
{
    const qint64 swap = readValue(Command(cmd::wp), 2);
    G.PaddlesSwapped = swap > 0;
    SwapPaddles->setChecked(G.PaddlesSwapped);
    const qint64 brake = readValue(Command(cmd::bn), 2);
    G.BrakeFromNeutralOn = brake > 0;
    BrakeFromNeutral->setChecked(G.BrakeFromNeutralOn);
}

void GearboxControl::readGearRows()
{
    for (int i = 0; i < kGearRows; ++i) {
        G.RxBuffer.clear();
        BarrelGear[static_cast<size_t>(i)]->setText(
            QString::number(readValue(Command(cmd::g) + gearbox::gearReadSuffix(i), 2)));
        G.RxBuffer.clear();
        RamGear[static_cast<size_t>(i)]->setText(
            QString::number(readValue(Command(cmd::h) + gearbox::gearReadSuffix(i), 2)));
    }
}

// Codes without a name (a newer controller's modes) leave the list without a text.
void GearboxControl::applyAutoShiftCode(qint64 code)
{
    if (code == kAutoShiftUnset)
        code = 0;
    AutoShiftOption->setCurrentIndex(code >= 0 && code < AutoShiftOption->count() ? int(code) : -1);
}

int GearboxControl::ReadAllParameters()
{
    G.RxBuffer.clear();
    link_->ComOutput(Command(cmd::do_) + G.CR);
    if (!WaitForReply(false, QStringLiteral("*"), 0)) {
        ReInitConnection();
        return 0;
    }
    if (!G.RxBuffer.contains(QLatin1String("Gearbox GCU Type"))) {
        MsgBox(QStringLiteral("The connected ECU is NOT a gearbox GCU!!"));
        shell_.disableGearboxButton();
        return 0;
    }
    DataLogger->setEnabled(G.RxBuffer.contains(QLatin1String("Data logger available")));

    G.RxBuffer.clear();
    link_->ComOutput(QStringLiteral("00") + Command(cmd::gd) + G.CR);
    if (!WaitForReply(false, Prompt, 0)) {
        ReInitConnection();
        return 0;
    }
    if (CheckTriggerType() != 1)
        return 0;

    readSwitches();
    readNumberBox(gearbox::numberParameter(QStringLiteral("MaxGears")));
    readGearRows();
    GearPatternCode = static_cast<int>(readValue(Command(cmd::gp), 2));
    ApplyGearPatternLayout();

    for (const char* name : gearbox::readOrderAfterGears()) {
        const QLatin1String control(name);
        if (control == QLatin1String("rm"))
            RPMMatchMode->setChecked(readValue(Command(cmd::rm), 2) == 1);
        else if (control == QLatin1String("am"))
            applyAutoShiftCode(readValue(Command(cmd::am), 2));
        else
            readNumberBox(gearbox::numberParameter(control));
    }
    return 1;
}

int GearboxControl::maxGearsValue() const
{
    return static_cast<int>(leadingNumber(numberBoxes_[0]->text()));
}

void GearboxControl::enableGearRows(int maxGears)
{
    for (int i = 0; i < kReverseRow; ++i) {
        const bool on = i <= maxGears;
        BarrelGear[static_cast<size_t>(i)]->setEnabled(on);
        SetGear[static_cast<size_t>(i)]->setEnabled(on);
        GearLabel[static_cast<size_t>(i)]->setEnabled(on);
    }
}

void GearboxControl::ApplyGearPatternLayout()
{
    const auto setCaption = [](QWidget* widget, const char* text) {
        if (auto* label = qobject_cast<QLabel*>(widget))
            label->setText(QLatin1String(text));
        else if (auto* frame = qobject_cast<QGroupBox*>(widget))
            frame->setTitle(QLatin1String(text));
        else if (auto* b = qobject_cast<QPushButton*>(widget))
            b->setText(QLatin1String(text));
    };
    if (GearPatternCode < kFirstTwoAxisPattern) {
        // Patterns 1 and 2 have reverse before neutral on the barrel.
        const bool reverse = GearPatternCode == 1 || GearPatternCode == 2;
        BarrelGear[kReverseRow]->setEnabled(reverse);
        RamGear[kReverseRow]->setEnabled(reverse);
        SetGear[kReverseRow]->setEnabled(reverse);
        Label18->setEnabled(reverse);
        setCaption(BarrelFrame, "Barrel Position Configuration");
        setCaption(Label2, "Barrel Sensor:");
        setCaption(Label4, "Ram Sensor:");
        setCaption(Frame6, "Upshift");
        setCaption(Frame7, "Downshift");
        setCaption(Label14, "Ram Window");
        setCaption(Label21, "Barrel Window");
        setCaption(button(QStringLiteral("UpShift")), "Up Ram");
        setCaption(button(QStringLiteral("DownShift")), "Down Ram");
        MaxGearsLabel->setEnabled(true);
        numberBoxes_[0]->setEnabled(true);
        LeftRight->hide();
        ForwardBarckward->hide();
        for (QLineEdit* box : RamGear) {
            box->setEnabled(false);
            box->hide();
        }
        BarrelGear[0]->setEnabled(true);
    } else {
        setCaption(BarrelFrame, "Gear Position Configuration");
        setCaption(Label2, "L/R Sensor:");
        setCaption(Label4, "F/B Sensor:");
        setCaption(Frame6, "Backward");
        setCaption(Frame7, "Foward");
        setCaption(Label14, "F/B Window");
        setCaption(Label21, "L/R Window");
        setCaption(button(QStringLiteral("UpShift")), "Back Ram");
        setCaption(button(QStringLiteral("DownShift")), "Fwd Ram");
        MaxGearsLabel->setEnabled(false);
        numberBoxes_[0]->setEnabled(false);
        LeftRight->show();
        ForwardBarckward->show();
        const int m = maxGearsValue();
        for (int i = 0; i < kReverseRow; ++i)
            RamGear[static_cast<size_t>(i)]->setEnabled(i <= m);
        RamGear[kReverseRow]->setEnabled(true);
        BarrelGear[0]->setEnabled(false);
        for (QLineEdit* box : RamGear)
            box->show();
    }
}

void GearboxControl::EnableParameterControls(bool on)
{
    EnableDisable->setEnabled(on);
    OperateGearbox->setEnabled(on);
    TestUpshift->setEnabled(on);
    TestDownshift->setEnabled(on);
    TestNeutralShift->setEnabled(on);
    if (!on) {
        for (int i = 0; i < kGearRows; ++i) {
            SetGear[static_cast<size_t>(i)]->setEnabled(false);
            BarrelGear[static_cast<size_t>(i)]->setEnabled(false);
            RamGear[static_cast<size_t>(i)]->setEnabled(false);
        }
        for (QPushButton* output : std::as_const(outputButtons_))
            output->setEnabled(false);
        DataLogger->setEnabled(false);
    } else {
        const int m = maxGearsValue();
        for (int i = 0; i < kReverseRow; ++i) {
            BarrelGear[static_cast<size_t>(i)]->setEnabled(true);
            RamGear[static_cast<size_t>(i)]->setEnabled(true);
            SetGear[static_cast<size_t>(i)]->setEnabled(true);
            GearLabel[static_cast<size_t>(i)]->setEnabled(true);
        }
        for (int i = m + 1; i < kReverseRow; ++i) {
            if (i < 0)
                continue;
            BarrelGear[static_cast<size_t>(i)]->setEnabled(false);
            RamGear[static_cast<size_t>(i)]->setEnabled(false);
            SetGear[static_cast<size_t>(i)]->setEnabled(false);
            GearLabel[static_cast<size_t>(i)]->setEnabled(false);
        }
        if (GearPatternCode < kFirstTwoAxisPattern) {
            BarrelGear[0]->setEnabled(true);
        } else {
            BarrelGear[0]->setEnabled(false);
            BarrelGear[kReverseRow]->setEnabled(true);
            RamGear[kReverseRow]->setEnabled(true);
            SetGear[kReverseRow]->setEnabled(true);
        }
    }
    if (GearPatternCode < kFirstTwoAxisPattern)
        numberBoxes_[0]->setEnabled(on);
    for (int i = 1; i < gearbox::kNumberParameterCount; ++i)
        numberBoxes_[static_cast<size_t>(i)]->setEnabled(on);
    for (QPushButton* set : std::as_const(setButtons_))
        set->setEnabled(on);
    for (QWidget* w : std::initializer_list<QWidget*>{ResetGearbox, ThrotCal, AutoShiftOption,
                                                      OpenFile, SaveFile, GearPattern})
        w->setEnabled(on);
    Calibrate->setEnabled(on && !G.VvtEcuType);
    GearboxExit->setEnabled(true);
}

} // namespace vx
