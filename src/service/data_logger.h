#pragma once

#include "service/data_log_receiver.h"
#include "service/host_link.h"

#include <QDialog>
#include <QFile>
#include <QTimer>

class QProgressBar;
class QPushButton;
class QWidget;

namespace vx {

// The data logger download dialog, shown modally, on the gearbox workspace's link.
void showDataLogger(QWidget* parent);

// Copies the gearbox controller's data log to a text file line by line as it arrives, and
// erases the log memory. It works on received characters as they come in, so the window stays
// responsive and Cancel is heard at any time.
class DataLogger : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kEraseAttempts = 5;
    static constexpr int kEraseGaugeMaximum = 14;

    explicit DataLogger(QWidget* parent = nullptr);
    ~DataLogger() override;

    void Start_Click();
    void Erase_Click();
    void Cancel_Click();

    bool isDownloading() const { return Downloading; }
    bool isLogFileOpen() const { return logFile_.isOpen(); }

protected:
    void reject() override;
    void done(int result) override;

private:
    enum class Stage
    {
        Idle,
        Resynchronising,
        Receiving,
        AskingToErase,
        Erasing,
        Closed
    };

    bool openLogFile();
    void onReceived();
    void onWakeUpTimeout();
    void startDump();
    void takeLines();
    void endOfData();
    void stopForWriteError();
    void abandonDownload();
    void finishDownload();
    bool writeLine(const QString& line);
    void startErase();
    void sendErase();
    void checkErase();
    void eraseEnded(bool failedForGood);
    void setStage(Stage stage);
    void showGauge(double value, double maximum);

    QPushButton* Start = nullptr;
    QPushButton* Erase = nullptr;
    QPushButton* Cancel = nullptr;
    QProgressBar* ProgressGauge = nullptr;

    HostLink gearbox_;
    QFile logFile_;
    DataLogReceiver receiver_;
    QTimer wakeUpBound_;
    Stage stage_ = Stage::Idle;
    bool Downloading = false;
    bool CancelRequested = false;
    int eraseFailures_ = 0;
};

} // namespace vx
