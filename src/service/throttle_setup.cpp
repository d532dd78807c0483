#include "service/throttle_setup.h"

#include "common/globals.h"
#include "common/prompts.h"
#include "serial/command_table.h"
#include "serial/reply_wait.h"
#include "service/focus_lost.h"
#include "service/throttle_codes.h"
#include "settings/window_positions.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QVBoxLayout>

namespace vx {

namespace {

const QString kFlashFailed = QStringLiteral("Flash update failed!!! Please try again");
const QString kPrompt = QStringLiteral("*");
const QString kEscape = QString(QChar(27));

bool isHostName(const QString& name)
{
    return name == QLatin1String("Changadv") || name == QLatin1String("GearboxControl");
}

QComboBox* makeChoiceBox(const QString& name, QWidget* parent)
{
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    box->setEditable(true);
    // Typing a text and pressing Enter must not grow the list of wiring choices.
    box->setInsertPolicy(QComboBox::NoInsert);
    return box;
}

bool waitForPrompt()
{
    return WaitForReply(false, kPrompt, 0);
}

} // namespace

void showThrottleSetup(QWidget* parent, const QString& hostName)
{
    ThrottleSetup dialog(parent);
    dialog.SetActiveFormType(hostName);
    dialog.load();
    dialog.exec();
}

ThrottleSetup::ThrottleSetup(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ThrottleSetup"));
    setWindowTitle(QStringLiteral("Throttle Setup"));

    Frame2 = new QGroupBox(QStringLiteral("Throttle Setup"), this);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    ThrotPotType = new QGroupBox(QStringLiteral("Throttle Pot Type"), Frame2);
    ThrotPotType->setObjectName(QStringLiteral("ThrotPotType"));
    Combo1 = makeChoiceBox(QStringLiteral("Combo1"), ThrotPotType);
    (new QVBoxLayout(ThrotPotType))->addWidget(Combo1);
    Throt_Sense = new QGroupBox(QStringLiteral("Throttle Sense"), Frame2);
    Throt_Sense->setObjectName(QStringLiteral("Throt_Sense"));
    Combo2 = makeChoiceBox(QStringLiteral("Combo2"), Throt_Sense);
    (new QVBoxLayout(Throt_Sense))->addWidget(Combo2);
    ThrotCal = new QPushButton(QStringLiteral("Calibrate Throttle"), Frame2);
    ThrotCal->setObjectName(QStringLiteral("ThrotCal"));
    ThrotCal->setAutoDefault(false);

    auto* frameLayout = new QVBoxLayout(Frame2);
    auto* wiring = new QHBoxLayout;
    wiring->addWidget(ThrotPotType);
    wiring->addWidget(Throt_Sense);
    frameLayout->addLayout(wiring);
    frameLayout->addWidget(ThrotCal);

    Exit = new QPushButton(QStringLiteral("Exit"), this);
    Exit->setObjectName(QStringLiteral("Exit"));
    Exit->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Exit);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Frame2);
    layout->addLayout(buttons);

    onFocusLost(Combo1, [this] { Combo1_LostFocus(); });
    onFocusLost(Combo2, [this] { Combo2_LostFocus(); });
    connect(ThrotCal, &QPushButton::clicked, this, &ThrottleSetup::ThrotCal_Click);
    connect(Exit, &QPushButton::clicked, this, &ThrottleSetup::accept);
}

void ThrottleSetup::SetActiveFormType(const QString& name)
{
    CallerName = name;
    host_.setName(isHostName(name) ? name : QString());
}

void ThrottleSetup::load()
{
    RestoreWindowPosition(*this, places::throttleSetup());
    if (G.OfflineMode) {
        ThrotCal->setEnabled(false);
        for (QComboBox* box : {Combo1, Combo2}) {
            box->clear();
            box->addItem(throttle::kUnknown);
            box->setCurrentText(throttle::kUnknown);
            box->setEnabled(false);
        }
        ThrotPotType->setEnabled(false);
        Throt_Sense->setEnabled(false);
        return;
    }
    fill(Combo1, throttle::potLawChoices(), G.ThrottlePotLaw);
    fill(Combo2, throttle::senseChoices(), G.ThrottleSense);
}

void ThrottleSetup::fill(QComboBox* box, const throttle::CodedChoices& choices, const QString& code)
{
    box->clear();
    const std::optional<QString> text = throttle::textForCode(choices, code);
    if (text) {
        box->addItems(throttle::textsOf(choices));
        box->setCurrentText(*text);
    } else {
        box->addItem(throttle::kUnknown);
        box->setCurrentText(throttle::kUnknown);
    }
}

void ThrottleSetup::Combo1_LostFocus()
{
    if (busy_) {
        potLawPending_ = true;
        return;
    }
    exchange(&ThrottleSetup::potLawExchange);
}

void ThrottleSetup::Combo2_LostFocus()
{
    if (busy_) {
        sensePending_ = true;
        return;
    }
    exchange(&ThrottleSetup::senseExchange);
}

void ThrottleSetup::potLawExchange()
{
    sendWiringCode(Combo1, throttle::potLawChoices(), G.ThrottlePotLaw, cmd::tt);
}

void ThrottleSetup::senseExchange()
{
    sendWiringCode(Combo2, throttle::senseChoices(), G.ThrottleSense, cmd::ts);
}

void ThrottleSetup::exchange(void (ThrottleSetup::*steps)())
{
    {
        const QScopedValueRollback<bool> busy(busy_, true);
        (this->*steps)();
    }
    if (potLawPending_) {
        potLawPending_ = false;
        Combo1_LostFocus();
    }
    if (sensePending_) {
        sensePending_ = false;
        Combo2_LostFocus();
    }
}

void ThrottleSetup::lostConnection()
{
    // Nothing more goes out on a link that has gone.
    potLawPending_ = false;
    sensePending_ = false;
    host_.ReInitConnection();
}

void ThrottleSetup::sendWiringCode(const QComboBox* box, const throttle::CodedChoices& choices,
                                   QString& code, int mnemonic)
{
    host_.SyncWithRPMTimer(false);
    const std::optional<QString> chosen = throttle::codeForText(choices, box->currentText());
    if (!chosen) {
        host_.SyncWithRPMTimer(true);
        return;
    }
    code = *chosen;
    G.RxBuffer.clear();
    host_.ComOutput(code + Command(mnemonic) + G.CR);
    if (!waitForPrompt()) {
        // From here the host's lost-connection handling owns the polling.
        lostConnection();
        return;
    }
    if (G.RxBuffer.contains(QLatin1String("Error")))
        MsgBox(kFlashFailed, Buttons::Ok, Icon::Critical, QStringLiteral("Error"));
    host_.SyncWithRPMTimer(true);
}

void ThrottleSetup::ThrotCal_Click()
{
    if (busy_) {
        prompts().beep();
        return;
    }
    exchange(&ThrottleSetup::calibrate);
}

void ThrottleSetup::calibrate()
{
    if (MsgBox(QStringLiteral("Set the throttle to the MINIMUM position and click OK"),
               Buttons::OkCancel, Icon::None, QString()) != Answer::Ok)
        return;
    host_.SyncWithRPMTimer(false);

    G.RxBuffer.clear();
    host_.ComOutput(kEscape);
    if (!waitForPrompt()) {
        lostConnection();
        return;
    }
    G.RxBuffer.clear();
    host_.ComOutput(Command(cmd::mi) + G.CR);
    if (!waitForPrompt()) {
        lostConnection();
        return;
    }

    G.RxBuffer.clear();
    if (MsgBox(QStringLiteral("Set the throttle to the MAXIMUM position and click OK"),
               Buttons::OkCancel, Icon::None, QString()) != Answer::Ok) {
        host_.SyncWithRPMTimer(true);
        return;
    }
    host_.ComOutput(Command(cmd::grantlid) + G.CR);
    if (!waitForPrompt()) {
        lostConnection();
        return;
    }
    if (G.RxBuffer.contains(QLatin1String("Error")))
        MsgBox(kFlashFailed);
    host_.SyncWithRPMTimer(true);
}

void ThrottleSetup::done(int result)
{
    SaveWindowPosition(*this, places::throttleSetup());
    QDialog::done(result);
}

} // namespace vx
