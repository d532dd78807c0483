#pragma once

#include "serial/com_port.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>

class QGroupBox;
class QLabel;
class QPushButton;

namespace vx {

class CamPwmParameters;
class MapGrid;
class Shell;
class VvtLink;

// The VVT workspace: edits the cam advance map of the current slot, keeps it in agreement with
// the engine controller and shows the controller's live engine data. Online it connects on its
// own port and reconnects by itself after a lost link; offline it only edits the map.
class Changadv : public QWidget
{
    Q_OBJECT
public:
    explicit Changadv(Shell& shell, QWidget* parent = nullptr);
    ~Changadv() override;

    // Link operations (also used by the service dialogs through the registered link).
    void ComOutput(const QString& outputString);
    void SyncWithRPMTimer(bool timerState);
    void ReInitConnection();
    QString GetECUString(const QString& command, const QString& waitString, int responseLen);
    qint64 GetECUValue(const QString& command, const QString& waitString, int responseLen);

    // Connection. LoginToController gives 1 (go on), 0 (stop) or -1 (no answer: start over).
    int LoginToController();
    void Timer2_Timer();

    // Map upload and commits.
    bool UploadMapColumns(int first, int last, bool keepOpen);
    bool WriteLine(const QString& s3line);
    void Timer1_Timer();
    void Timer4_Timer();

    // Synchronisation with the controller: 1 = go on to "Running", 2 = close (or reconnect).
    int SyncWithController();
    int ForceSettingsToController();
    int LoadMapToController();

    // Live engine data.
    void Timer3_Timer();

    // Shows the map of the current slot and names it in the caption.
    void Fill_Display();

    // Buttons.
    void ChangAdvExit_Click(int index);
    void Nvram_Click();
    void ThrotCal_Click();
    void SetupPWM_Click();
    void SetPassword_Click();
    void CurrSyncErrors_Click();

    MapGrid& grid() const { return *grid_; }
    CamPwmParameters& pwmParameters() const { return *pwm_; }
    ComPort& port() { return VvtComPort; }
    VvtLink& link() const { return *link_; }
    QString statusText() const { return StatusText; }
    int initStep() const { return InitStep; }
    bool loadBusy() const { return LoadBusy; }
    QTimer& timer1() { return Timer1; }
    QTimer& timer2() { return Timer2; }
    QTimer& timer3() { return Timer3; }
    QTimer& timer4() { return Timer4; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildWindow();
    QWidget* buildEngineData();
    QWidget* buildButtons();
    void loadOnline();
    void loadOffline();
    void setStatus(const QString& text);
    QString status() const;
    void setLinkButtonsEnabled(bool enabled);

    // Waits for the controller, yielding, until the condition holds (true), the time has passed
    // or the workspace is told to close (false).
    bool waitForController(const std::function<bool()>& condition, int timeoutMs);

    // Connect sequence.
    void openAndWake(const QString& baud);
    bool wakeUpAnswered() const;
    bool identify(const QString& rejection);
    void failTick(const PortOpenResult& failure);
    void restartConnecting();
    void stopConnection();
    void runningTail();

    // Leaving.
    void leaveWorkspace();
    static void deleteWhenIdle(QPointer<Changadv> workspace);
    void closePort();
    void portClosedUnexpectedly();

    // Commits.
    void cellCommit();
    void selectionCommit();
    void startCommitTimer(QTimer& timer);
    bool linkUp() const;
    void uploadFailed(QTimer& commitTimer);

    // Synchronisation steps.
    bool sendAndWait(const QString& command);
    int timedOut();
    int readControllerMap();
    int checkControllerMap(int result);
    int reloadController();
    bool readAllThrottleStates();
    bool sendCamParameters(int minDigits);

    // Live data.
    void lostLink();
    void showLiveValues(const QString& reply);

    Shell& shell_;
    ComPort VvtComPort;
    std::unique_ptr<VvtLink> link_;
    MapGrid* grid_ = nullptr;
    CamPwmParameters* pwm_ = nullptr;

    QTimer Timer1;
    QTimer Timer2;
    QTimer Timer3;
    QTimer Timer4;

    QString StatusText;
    int InitStep = 0;
    bool LoadBusy = false;
    bool LivePollBusy = false;
    QString PollReply;
    QString RpmPeriodText;

    bool leaving_ = false;
    bool closingPort_ = false;
    bool uploading_ = false;
    bool reconnectRequested_ = false;

    QLabel* Status = nullptr;
    QLabel* FirmwareVer = nullptr;
    QLabel* FirmwareLabel = nullptr;
    QGroupBox* EngineData = nullptr;
    QGroupBox* TriggerPoints = nullptr;
    QLabel* CurrRPM = nullptr;
    QLabel* CurrThrotPos = nullptr;
    QLabel* ThrotBoostLabel = nullptr;
    QPushButton* CurrSyncErrors = nullptr;
    std::array<QLabel*, 2> CamReqPos{};
    std::array<QLabel*, 4> CamPos{};
    std::array<std::array<QLabel*, 4>, 4> CamTrigPoint{};
    std::array<QPushButton*, 2> ChangAdvExit{};
    QPushButton* Nvram = nullptr;
    QPushButton* ThrotCal = nullptr;
    QPushButton* SetupPWM = nullptr;
    QPushButton* SetPassword = nullptr;
};

} // namespace vx
