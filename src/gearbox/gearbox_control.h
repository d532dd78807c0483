#pragma once

#include "gearbox/gearbox_file.h"
#include "gearbox/live_status.h"
#include "gearbox/parameter_table.h"
#include "gearbox/test_outputs.h"
#include "serial/com_port.h"

#include <QHash>
#include <QTimer>
#include <QWidget>

#include <array>
#include <memory>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace vx {

class GearboxLink;
class Shell;
class WorkspaceLink;

namespace gearbox {
class IndicatorLight;
} // namespace gearbox

// The gearbox workspace: connects to the gearbox controller on its own port, shows and edits
// its parameters, runs shift tests and test mode, saves and loads ".gbx" files and shows the
// controller's live status.
class GearboxControl : public QWidget
{
    Q_OBJECT
public:
    explicit GearboxControl(Shell& shell, QWidget* parent = nullptr);
    ~GearboxControl() override;

    // The text that ends every reply: "*", or "TestMode>" while test mode is on.
    QString Prompt;

    // The lost-connection handling: the port closes and the connect sequence starts over,
    // showing "Lost connection".
    void ReInitConnection();
    // False pauses the live status once the batch in progress is over, True resumes it; both
    // empty RxBuffer.
    void SyncWithRPMTimer(bool timerState);
    WorkspaceLink& link();

    int ReadAllParameters();
    int CheckTriggerType();
    void ApplyGearPatternLayout();
    void EnableParameterControls(bool on);

    // The save dialog flow; writes the file when writeNow is set. Always false.
    bool SaveGearboxFileAs(const QString& defaultName, bool writeNow);
    bool WriteGearboxFile(const QString& path);
    // Checks the file and, once the user agrees, sends it to the controller. False when the file
    // was refused.
    bool ReadGearboxFile(const QString& path);

    void GearboxExit_Click();
    void OpenFile_Click();
    void SaveFile_Click();
    void GearPattern_Click();
    void ThrotCal_Click();
    void Calibrate_Click();
    void DataLogger_Click();
    void EnableDisable_Click();
    void CurrSyncErrors_Click();
    void SetGear_Click(int row);

    int gearPatternCode() const { return GearPatternCode; }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class BusyScope;
    friend class GearboxLink;
    // Keeps the window alive while an exchange waits: a close asked for meanwhile happens once
    // the outermost one is over.
    class BusyScope
    {
    public:
        explicit BusyScope(GearboxControl& workspace);
        ~BusyScope();
        BusyScope(const BusyScope&) = delete;
        BusyScope& operator=(const BusyScope&) = delete;

    private:
        GearboxControl& workspace_;
    };
    // One exchange with the controller at a time. A click or an edit handled while another
    // handler waits for its reply would send a command of its own and take that reply, leaving
    // the first handler to time out as if the link were lost. Every handler that talks to the
    // controller holds a BusyScope while it runs; a tool window on this link (the air-pressure
    // calibration stays open beside the workspace) counts from pausing the live status until it
    // resumes it or reconnects.
    bool EditBusy() const { return busyDepth_ > 0 || toolExchange_; }
    // A click that would start an exchange while one is under way: refused with a beep.
    bool refusedWhileBusy() const;

    // Building the window
    void buildWindow();
    QWidget* buildStatusGroup();
    QWidget* buildOperateGroup();
    QWidget* buildTestModeGroup();
    QWidget* buildGeneralGroup();
    QWidget* buildRamGroup();
    QWidget* buildThrottleGroup();
    QWidget* buildBarrelGroup();
    QLineEdit* numberBox(const QString& control);
    QLabel* caption(const QString& name, const QString& text);
    void connectControls();

    // Connect sequence
    void GearboxInitTimer_Timer();
    void connectStepOpen();
    bool connectStepCheck();
    void handleOpenFailure(const PortOpenResult& result);
    void errorTail();
    void retryWakeUp();
    void abandon();
    void unloadWorkspace();
    void armInitTimer();
    void closePort();
    bool closeToolWindows();
    void onPortClosed();
    bool waitForText(const QString& text);
    void resetTestModeControls();

    // Live status
    void GearboxReadTimer_Timer();
    void lostLink();
    void showStatus(const gearbox::StatusView& view);

    // Parameters
    qint64 readValue(const QString& mnemonic, int digits);
    void readNumberBox(const gearbox::NumberParameter& parameter);
    void readSwitches();
    void readGearRows();
    void applyAutoShiftCode(qint64 code);
    bool sendSetting(const QString& line);
    void CommitNumberBox(QLineEdit* box, const gearbox::NumberParameter& parameter);
    void commitGearRow(QLineEdit* box, bool ramRow, int row);
    void MaxGears_LostFocus();
    void boxKeyPressed(QLineEdit* box, QKeyEvent* event);
    void boxLostFocus(QLineEdit* box);
    void SetRamPosition_Click(const gearbox::NumberParameter& parameter);
    void switchClicked(QCheckBox* box, bool& global, int command);
    void RPMMatchMode_Click();
    void AutoShiftOption_Click();
    void enableGearRows(int maxGears);
    int maxGearsValue() const;
    gearbox::GearboxValues currentValues() const;

    // Test mode and operate buttons
    void operateButton(int command);
    void outputButton(const gearbox::TestOutput& output);
    gearbox::IndicatorLight* light(const QString& name) const;
    QPushButton* button(const QString& name) const;

    Shell& shell_;
    ComPort GearboxComPort;
    std::unique_ptr<GearboxLink> link_;
    QTimer* GearboxInitTimer = nullptr;
    QTimer* GearboxReadTimer = nullptr;

    QString StatusText;
    int InitStep = 0;
    QString PollReply;
    int GearPatternCode = 0;
    QString SavedText;
    int busyDepth_ = 0;
    bool toolExchange_ = false;
    bool closePending_ = false;
    bool closingPort_ = false;

    // Live status
    QLabel* Status = nullptr;
    QLabel* CurrRPM = nullptr;
    QLabel* CurrThrotPos = nullptr;
    QLabel* CurrSyncErrors = nullptr;
    QLabel* BarrelSensor = nullptr;
    QLabel* RamSensor = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* GearPosition = nullptr;
    QLabel* LastShiftTime = nullptr;
    QLabel* CurrAirPress = nullptr;
    QLabel* Label52 = nullptr;
    gearbox::IndicatorLight* UpShiftLight = nullptr;
    gearbox::IndicatorLight* DownShiftLight = nullptr;
    gearbox::IndicatorLight* NeutralLight = nullptr;
    gearbox::IndicatorLight* BrakePedal = nullptr;
    gearbox::IndicatorLight* ManualMode = nullptr;

    // Operate buttons and test mode
    QGroupBox* OperateGearbox = nullptr;
    QPushButton* TestUpshift = nullptr;
    QPushButton* TestDownshift = nullptr;
    QPushButton* TestNeutralShift = nullptr;
    QPushButton* ResetGearbox = nullptr;
    QPushButton* EnableDisable = nullptr;
    QHash<QString, QPushButton*> outputButtons_;
    QHash<QString, gearbox::IndicatorLight*> outputLights_;

    // Parameters
    std::array<QLineEdit*, gearbox::kNumberParameterCount> numberBoxes_{};
    QHash<QString, QPushButton*> setButtons_;
    std::array<QLineEdit*, gearbox::kGearRows> BarrelGear{};
    std::array<QLineEdit*, gearbox::kGearRows> RamGear{};
    std::array<QPushButton*, gearbox::kGearRows> SetGear{};
    std::array<QLabel*, gearbox::kReverseRow> GearLabel{};
    QLabel* Label18 = nullptr;
    QLabel* MaxGearsLabel = nullptr;
    QLabel* LeftRight = nullptr;
    QLabel* ForwardBarckward = nullptr;
    QLabel* Label14 = nullptr;
    QLabel* Label21 = nullptr;
    QGroupBox* BarrelFrame = nullptr;
    QGroupBox* Frame6 = nullptr;
    QGroupBox* Frame7 = nullptr;
    QCheckBox* SwapPaddles = nullptr;
    QCheckBox* BrakeFromNeutral = nullptr;
    QCheckBox* RPMMatchMode = nullptr;
    QComboBox* AutoShiftOption = nullptr;
    QPushButton* OpenFile = nullptr;
    QPushButton* SaveFile = nullptr;
    QPushButton* DataLogger = nullptr;
    QPushButton* Calibrate = nullptr;
    QPushButton* GearPattern = nullptr;
    QPushButton* ThrotCal = nullptr;
    QPushButton* GearboxExit = nullptr;
};

} // namespace vx
