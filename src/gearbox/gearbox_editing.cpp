#include "common/globals.h"
#include "common/prompts.h"
#include "gearbox/gearbox_control.h"
#include "gearbox/gearbox_link.h"
#include "gearbox/number_entry.h"
#include "serial/command_table.h"
#include "serial/hex.h"
#include "serial/reply_wait.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>

#include <algorithm>

namespace vx {

using gearbox::kGearRows;

namespace {

const QString kWarning = QStringLiteral("Warning");

// The character a key press gives, with backspace and Enter as their control codes; nothing for
// keys that type no character (arrows, Delete, Tab), which reach the box unfiltered.
std::optional<QChar> typedCharacter(const QKeyEvent& event)
{
    if (event.key() == Qt::Key_Backspace)
        return QChar(gearbox::kBackspaceKey);
    if (event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter)
        return QChar(gearbox::kEnterKey);
    if (event.text().isEmpty() || !event.text().at(0).isPrint())
        return std::nullopt;
    return event.text().at(0);
}

// Switching to another window or a menu is no edit leaving the box.
bool leavesTheBox(const QFocusEvent& event)
{
    return event.reason() != Qt::ActiveWindowFocusReason && event.reason() != Qt::PopupFocusReason;
}

} // namespace

bool GearboxControl::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == CurrSyncErrors) {
        if (event->type() == QEvent::MouseButtonRelease &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            CurrSyncErrors_Click();
        return false;
    }
    if (watched == AutoShiftOption) {
        if (event->type() == QEvent::FocusIn)
            SavedText = AutoShiftOption->currentText();
        else if (event->type() == QEvent::FocusOut &&
                 leavesTheBox(*static_cast<QFocusEvent*>(event)))
            AutoShiftOption_Click();
        return false;
    }
    auto* box = qobject_cast<QLineEdit*>(watched);
    if (!box)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::FocusIn:
        SavedText = box->text().trimmed();
        break;
    case QEvent::FocusOut:
        if (leavesTheBox(*static_cast<QFocusEvent*>(event)))
            boxLostFocus(box);
        break;
    case QEvent::KeyPress: {
        auto* key = static_cast<QKeyEvent*>(event);
        const std::optional<QChar> typed = typedCharacter(*key);
        if (!typed)
            break;
        const auto row =
            std::find(BarrelGear.cbegin(), BarrelGear.cend(), box) != BarrelGear.cend() ||
            std::find(RamGear.cbegin(), RamGear.cend(), box) != RamGear.cend();
        gearbox::KeyRule rule{gearbox::kGearRowMax, 0, 1, gearbox::kGearRowLength};
        if (!row) {
            const gearbox::NumberParameter& p = gearbox::numberParameter(box->objectName());
            rule = {p.stepMax, p.stepMin, p.step, p.keyLength};
        }
        const gearbox::KeyDecision decision =
            gearbox::filterNumberKey(*typed, box->text(), int(box->selectedText().size()), rule);
        if (decision.text)
            box->setText(*decision.text);
        if (decision.commit) {
            boxLostFocus(box);
            SavedText = box->text().trimmed();
        }
        return decision.discard;
    }
    default:
        break;
    }
    return false;
}

void GearboxControl::boxLostFocus(QLineEdit* box)
{
    // A box that loses the focus because the controls are being switched off (a lost link, a
    // file load) sends nothing.
    if (!box->isEnabled() || G.ControllerConnected != 1)
        return;
    for (int i = 0; i < kGearRows; ++i) {
        if (box == BarrelGear[static_cast<size_t>(i)])
            return commitGearRow(box, false, i);
        if (box == RamGear[static_cast<size_t>(i)])
            return commitGearRow(box, true, i);
    }
    if (box == numberBoxes_[0])
        return MaxGears_LostFocus();
    CommitNumberBox(box, gearbox::numberParameter(box->objectName()));
}

bool GearboxControl::sendSetting(const QString& line)
{
    SyncWithRPMTimer(false);
    link_->ComOutput(line + G.CR);
    if (!WaitForReply(false, Prompt, 0)) {
        ReInitConnection();
        return false;
    }
    SyncWithRPMTimer(true);
    return true;
}

void GearboxControl::CommitNumberBox(QLineEdit* box, const gearbox::NumberParameter& parameter)
{
    if (EditBusy())
        return;
    BusyScope busy(*this);
    const QString t = box->text().trimmed();
    if (t != SavedText) {
        const gearbox::Entry entry =
            gearbox::checkEntry(t, parameter.length, parameter.min, parameter.max);
        if (entry.error != gearbox::EntryError::None) {
            MsgBox(entry.error == gearbox::EntryError::Invalid ? gearbox::kInvalidInputText
                                                               : gearbox::kOutOfRangeText,
                   Buttons::Ok, Icon::None, kWarning);
            box->setText(SavedText);
            box->setFocus();
        } else {
            box->setText(QString::number(entry.value));
            sendSetting(gearbox::commitDigits(entry.value, parameter.show, parameter.width) +
                        gearbox::mnemonic(parameter));
        }
    }
}

void GearboxControl::commitGearRow(QLineEdit* box, bool ramRow, int row)
{
    if (EditBusy())
        return;
    BusyScope busy(*this);
    const QString t = box->text().trimmed();
    if (t == SavedText)
        return;
    const gearbox::Entry entry =
        gearbox::checkEntry(t, gearbox::kGearRowLength, 0, gearbox::kGearRowMax);
    if (entry.error != gearbox::EntryError::None) {
        MsgBox(entry.error == gearbox::EntryError::Invalid ? gearbox::kInvalidInputText
                                                           : gearbox::kOutOfRangeText,
               Buttons::Ok, Icon::None, kWarning);
        box->setText(SavedText);
        box->setFocus();
        return;
    }
    box->setText(QString::number(entry.value));
    sendSetting(gearbox::commitDigits(entry.value, 1, 2) + Command(ramRow ? cmd::h : cmd::g) +
                gearbox::gearSetSuffix(row));
}

void GearboxControl::MaxGears_LostFocus()
{
    QLineEdit* box = numberBoxes_[0];
    CommitNumberBox(box, gearbox::numberParameters()[0]);
    if (box->text().trimmed() != SavedText)
        enableGearRows(maxGearsValue());
}

void GearboxControl::SetRamPosition_Click(const gearbox::NumberParameter& parameter)
{
    if (refusedWhileBusy())
        return;
    BusyScope busy(*this);
    SyncWithRPMTimer(false);
    const auto value = static_cast<int>(leadingNumber(RamSensor->text()));
    link_->ComOutput(gearbox::commitDigits(value, 1, 2) + gearbox::mnemonic(parameter) + G.CR);
    if (!WaitForReply(false, Prompt, 0)) {
        ReInitConnection();
        return;
    }
    numberBoxes_[static_cast<size_t>(
                     *gearbox::numberParameterIndex(QLatin1String(parameter.control)))]
        ->setText(RamSensor->text());
    SyncWithRPMTimer(true);
}

void GearboxControl::SetGear_Click(int row)
{
    if (refusedWhileBusy())
        return;
    BusyScope busy(*this);
    SyncWithRPMTimer(false);
    const auto send = [&](QLabel* sensor, int command, QLineEdit* box) {
        const auto value = static_cast<int>(leadingNumber(sensor->text()));
        G.RxBuffer.clear();
        link_->ComOutput(gearbox::commitDigits(value, 1, 2) + Command(command) +
                         gearbox::gearSetSuffix(row) + G.CR);
        if (!WaitForReply(false, Prompt, 0)) {
            ReInitConnection();
            return false;
        }
        box->setText(sensor->text());
        return true;
    };
    if (!send(BarrelSensor, cmd::g, BarrelGear[static_cast<size_t>(row)]))
        return;
    if (GearPatternCode == 4 && !send(RamSensor, cmd::h, RamGear[static_cast<size_t>(row)]))
        return;
    SyncWithRPMTimer(true);
}

void GearboxControl::switchClicked(QCheckBox* box, bool& global, int command)
{
    const bool ticked = box->isChecked();
    if (ticked == global)
        return;
    if (refusedWhileBusy()) {
        box->setChecked(global);
        return;
    }
    global = ticked;
    BusyScope busy(*this);
    sendSetting((ticked ? QStringLiteral("01") : QStringLiteral("00")) + Command(command));
}

void GearboxControl::RPMMatchMode_Click()
{
    if (refusedWhileBusy()) {
        RPMMatchMode->setChecked(!RPMMatchMode->isChecked());
        return;
    }
    BusyScope busy(*this);
    sendSetting((RPMMatchMode->isChecked() ? QStringLiteral("01") : QStringLiteral("00")) +
                Command(cmd::rm));
}

void GearboxControl::AutoShiftOption_Click()
{
    const QString text = AutoShiftOption->currentText();
    if (text == SavedText)
        return;
    if (refusedWhileBusy()) {
        AutoShiftOption->setCurrentIndex(AutoShiftOption->findText(SavedText));
        return;
    }
    BusyScope busy(*this);
    const int index = gearbox::autoShiftIndex(text);
    // Remembered at once, so that leaving the list after choosing sends nothing more.
    SavedText = text;
    sendSetting(gearbox::commitDigits(index, 1, 2) + Command(cmd::am));
}

} // namespace vx
