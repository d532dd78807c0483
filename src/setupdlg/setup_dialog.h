#pragma once

#include "serial/com_port.h"
#include "serial/controller_search.h"
#include "serial/port_probe.h"

#include <QDialog>

#include <array>
#include <memory>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace vx {

// The program setup dialog: COM port (chosen or found), trigger pattern, cylinders, the debug
// window and whether the gearbox controller's settings are taken on connect. Changes reach the
// globals at once; the options are written to the store when the dialog closes.
class Setup : public QDialog, private SearchView
{
    Q_OBJECT
public:
    explicit Setup(QWidget* parent = nullptr);
    ~Setup() override;

    // Suppresses the next load's warning about an unavailable port (the install step, and a
    // workspace that shows this dialog because its port could not be opened).
    static void SetNoErrorMsg(bool value);

    // The load steps: position, port probe with its warning, and every control's state.
    void load();
    // Loads the dialog and shows it modally over the parent.
    static void showModal(QWidget* parent);

    ComPort& setupCom() { return SetupCom; }
    const PortProbe& portAvailable() const { return PortAvailable; }
    bool setupActive() const { return SetupActive; }

    void FindECU_Click();
    void FirmwareUpgrade_Click();
    void SetupExit_Click();

    static constexpr int kCylinderOptions = 4; // 4, 6, 8 and 12 cylinders

protected:
    void done(int result) override;

private:
    void applyTriggerType(int index);
    void TrigTypeCombo_Click();
    void Combo1_LostFocus();
    void Cylinders_Click(int index);
    void openFirmwareUpdate();

    // SearchView
    void setProgressText(const QString& text) override;
    void appendProgressText(const QString& text) override;
    void setFindButton(const QString& caption, bool enabled) override;
    void setPortText(const QString& text) override;
    bool dialogOpen() const override { return SetupActive; }

    QCheckBox* DebugComms = nullptr;
    QCheckBox* UseEcuSettiings = nullptr;
    QPushButton* FirmwareUpgrade = nullptr;
    QComboBox* TrigTypeCombo = nullptr;
    QGroupBox* Frame4 = nullptr;
    std::array<QRadioButton*, kCylinderOptions> Cylinders{};
    QComboBox* Combo1 = nullptr;
    QPlainTextEdit* ComFindTxt = nullptr;
    QPushButton* FindECU = nullptr;
    QPushButton* SetupExit = nullptr;

    ComPort SetupCom;
    PortProbe PortAvailable;
    std::unique_ptr<ControllerSearch> search_;
    QString findText_;
    bool SetupActive = false;
    bool loading_ = false;
    bool closed_ = false;
};

} // namespace vx
