#pragma once

#include <QDialog>

class QGroupBox;
class QLineEdit;
class QPushButton;

namespace vx {

// The "ECU Security" dialog: sets or clears the engine controller's password (mode 0), or takes
// the password when the controller asks for one on connecting (mode 1). It talks through the
// link of the VVT workspace.
class EcuSecurity : public QDialog
{
    Q_OBJECT
public:
    explicit EcuSecurity(QWidget* parent = nullptr);

    void SetWindowMode(int windowMode);

    void SetPassword_Click();
    void ClearPassword_Click();
    void OK_Click();
    void Cancel_Click();
    void Exit_Click();

protected:
    void done(int result) override;

private:
    bool ValidatePasswordEntry();
    // Sends a password command and waits for the prompt; false (after the workspace's lost
    // connection handling) when the controller did not answer.
    bool sendPasswordCommand(const QString& text);
    // A click that would start an exchange while one waits for its reply: refused with a beep.
    // Its command and reply would be taken for those of the first, which would time out as if
    // the link were lost.
    bool refusedWhileBusy() const;

    QGroupBox* Frame1 = nullptr;
    QLineEdit* ECU_Password[2] = {};
    QPushButton* SetPassword = nullptr;
    QPushButton* ClearPassword = nullptr;
    QPushButton* Exit = nullptr;
    QGroupBox* Frame13 = nullptr;
    QLineEdit* ECU_Password_Entry = nullptr;
    QPushButton* OK = nullptr;
    QPushButton* Cancel = nullptr;
    int mode_ = 0;
    bool busy_ = false;
};

} // namespace vx
