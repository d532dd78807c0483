#include "service/controller_password.h"

#include "common/globals.h"
#include "common/named_button.h"
#include "common/prompts.h"
#include "common/timing.h"
#include "serial/command_table.h"
#include "serial/reply_wait.h"
#include "serial/workspace_link.h"
#include "settings/window_positions.h"
#include "vvt/rx_wait.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QVBoxLayout>

namespace vx {

namespace {

const QString kTitle = QStringLiteral("ECU Security");

WorkspaceLink* host()
{
    return workspaceLink(QStringLiteral("Changadv"));
}

void hostOutput(const QString& text)
{
    if (WorkspaceLink* link = host())
        link->ComOutput(text);
}

void hostLostConnection()
{
    if (WorkspaceLink* link = host())
        link->ReInitConnection();
}

QLineEdit* passwordBox(const QString& name, QWidget* parent)
{
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setEchoMode(QLineEdit::Password);
    box->setMaxLength(8);
    return box;
}

} // namespace

EcuSecurity::EcuSecurity(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("EcuSecurity"));
    setWindowTitle(kTitle);
    setModal(true);
    auto* layout = new QVBoxLayout(this);

    Frame1 = new QGroupBox(QStringLiteral("Set ECU Password"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    auto* setForm = new QFormLayout(Frame1);
    ECU_Password[0] = passwordBox(QStringLiteral("ECU_Password_0"), Frame1);
    ECU_Password[1] = passwordBox(QStringLiteral("ECU_Password_1"), Frame1);
    setForm->addRow(QStringLiteral("Password:"), ECU_Password[0]);
    setForm->addRow(QStringLiteral("Confirm:"), ECU_Password[1]);
    layout->addWidget(Frame1);

    Frame13 = new QGroupBox(QStringLiteral("Enter ECU Password"), this);
    Frame13->setObjectName(QStringLiteral("Frame13"));
    auto* entryForm = new QFormLayout(Frame13);
    ECU_Password_Entry = passwordBox(QStringLiteral("ECU_Password_Entry"), Frame13);
    entryForm->addRow(QStringLiteral("Password:"), ECU_Password_Entry);
    layout->addWidget(Frame13);

    auto* buttons = new QHBoxLayout;
    SetPassword = namedButton(QStringLiteral("SetPassword"), QStringLiteral("Set"), this);
    ClearPassword = namedButton(QStringLiteral("ClearPassword"), QStringLiteral("Clear"), this);
    Exit = namedButton(QStringLiteral("Exit"), QStringLiteral("Exit"), this);
    OK = namedButton(QStringLiteral("OK"), QStringLiteral("OK"), this);
    Cancel = namedButton(QStringLiteral("Cancel"), QStringLiteral("Cancel"), this);
    for (QPushButton* b : {SetPassword, ClearPassword, Exit, OK, Cancel})
        buttons->addWidget(b);
    layout->addLayout(buttons);

    connect(SetPassword, &QPushButton::clicked, this, &EcuSecurity::SetPassword_Click);
    connect(ClearPassword, &QPushButton::clicked, this, &EcuSecurity::ClearPassword_Click);
    connect(Exit, &QPushButton::clicked, this, &EcuSecurity::Exit_Click);
    connect(OK, &QPushButton::clicked, this, &EcuSecurity::OK_Click);
    connect(Cancel, &QPushButton::clicked, this, &EcuSecurity::Cancel_Click);
    connect(ECU_Password_Entry, &QLineEdit::returnPressed, this, &EcuSecurity::OK_Click);
    connect(ECU_Password_Entry, &QLineEdit::editingFinished, this,
            [this] { G.ControllerPassword = ECU_Password_Entry->text(); });

    for (QLineEdit* box : {ECU_Password[0], ECU_Password[1], ECU_Password_Entry})
        box->setText(G.ControllerPassword);
    SetWindowMode(0);
    RestoreWindowPosition(*this, places::ecuSecurity());
}

void EcuSecurity::SetWindowMode(int windowMode)
{
    if (windowMode != 0 && windowMode != 1)
        return;
    mode_ = windowMode;
    const bool setMode = windowMode == 0;
    for (QWidget* w : std::initializer_list<QWidget*>{Frame1, SetPassword, ClearPassword, Exit})
        w->setVisible(setMode);
    for (QWidget* w : std::initializer_list<QWidget*>{Frame13, OK, Cancel})
        w->setVisible(!setMode);
    (setMode ? ECU_Password[0] : ECU_Password_Entry)->setFocus();
}

bool EcuSecurity::ValidatePasswordEntry()
{
    if (ECU_Password[0]->text().size() < 4) {
        MsgBox(QStringLiteral("ECU Password too short, minimum 4 characters"), Buttons::Ok,
               Icon::Critical);
        return false;
    }
    if (ECU_Password[0]->text() != ECU_Password[1]->text()) {
        MsgBox(QStringLiteral("ECU Password and confirm don't match, please re-enter"), Buttons::Ok,
               Icon::Critical);
        return false;
    }
    G.ControllerPassword = ECU_Password[0]->text();
    return true;
}

bool EcuSecurity::refusedWhileBusy() const
{
    if (!busy_)
        return false;
    prompts().beep();
    return true;
}

bool EcuSecurity::sendPasswordCommand(const QString& text)
{
    G.RxBuffer.clear();
    hostOutput(text + Command(cmd::sp) + G.CR);
    if (WaitForReply(false, QStringLiteral("*"), 0))
        return true;
    hostLostConnection();
    return false;
}

void EcuSecurity::SetPassword_Click()
{
    if (refusedWhileBusy())
        return;
    const QScopedValueRollback<bool> busy(busy_, true);
    if (!ValidatePasswordEntry())
        return;
    if (MsgBox(QStringLiteral("Do you really want to secure ECU with this password?"),
               Buttons::YesNo, Icon::Question, kTitle) != Answer::Yes) {
        MsgBox(QStringLiteral("ECU Password not set!!"));
        accept();
        return;
    }
    if (!sendPasswordCommand(G.ControllerPassword))
        return;
    if (G.RxBuffer.contains(QLatin1String("Error")))
        MsgBox(QStringLiteral("Flash write failed in ECU, please try again. Password not set"),
               Buttons::Ok, Icon::Critical, kTitle);
    accept();
}

void EcuSecurity::ClearPassword_Click()
{
    if (refusedWhileBusy())
        return;
    const QScopedValueRollback<bool> busy(busy_, true);
    if (MsgBox(QStringLiteral("Do you really want to clear the ECU password?"), Buttons::YesNo,
               Icon::Question, kTitle) != Answer::Yes) {
        MsgBox(QStringLiteral("ECU Password not cleared!!"));
        accept();
        return;
    }
    G.RxBuffer.clear();
    G.ControllerPassword.clear();
    ECU_Password[0]->clear();
    ECU_Password[1]->clear();
    if (!sendPasswordCommand(QString()))
        return;
    if (G.RxBuffer.contains(QLatin1String("Error")))
        MsgBox(QStringLiteral("Flash write failed in ECU, please try again. Password not cleared"),
               Buttons::Ok, Icon::Critical, kTitle);
    accept();
}

void EcuSecurity::OK_Click()
{
    if (refusedWhileBusy())
        return;
    const QScopedValueRollback<bool> busy(busy_, true);
    G.ControllerPassword = ECU_Password_Entry->text();
    G.RxBuffer.clear();
    hostOutput(G.ControllerPassword + G.CR);
    const bool answered = waitForReceived(
        [] {
            return G.RxBuffer.endsWith(QLatin1Char('*')) || G.RxBuffer.endsWith(QLatin1Char('>'));
        },
        timing::kPromptWaitMs);
    if (!answered) {
        MsgBox(QStringLiteral("ECU not responding"));
        return;
    }
    if (G.RxBuffer.contains(QLatin1String("Enter password"))) {
        MsgBox(QStringLiteral("ECU Password incorrect"), Buttons::Ok, Icon::Critical);
        ECU_Password_Entry->setFocus();
        ECU_Password_Entry->selectAll();
        return;
    }
    accept();
}

void EcuSecurity::Cancel_Click()
{
    G.PasswordCancelled = true;
    reject();
}

void EcuSecurity::Exit_Click()
{
    reject();
}

void EcuSecurity::done(int result)
{
    // Closing the entry window any other way than with a password is a cancel as well.
    if (mode_ == 1 && result == QDialog::Rejected)
        G.PasswordCancelled = true;
    SaveWindowPosition(*this, places::ecuSecurity());
    QDialog::done(result);
}

} // namespace vx
