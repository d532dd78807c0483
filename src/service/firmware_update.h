#pragma once

#include "service/firmware_updater.h"

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

namespace vx {

class ComPort;

// The "Firmware Update" window: Start runs the update on the given port, Cancel leaves.
class FirmwareUpdate : public QDialog, private FirmwareUpdateView
{
    Q_OBJECT
public:
    explicit FirmwareUpdate(ComPort& port, QWidget* parent = nullptr);

    void Start_Click();
    void Cancel_Click();

    // While the update runs, the window cannot be closed.
    void reject() override;

private:
    void setStartEnabled(bool enabled) override;
    void setCancelEnabled(bool enabled) override;
    void setProgressMaximum(int lines) override;
    void setProgress(int lines) override;
    void updateFinished() override;

    QPushButton* Start = nullptr;
    QPushButton* Cancel = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    FirmwareUpdater updater_;
};

// Replaces a controller's firmware through its bootloader, on the setup dialog's port.
void showFirmwareUpdate(QWidget* parent, ComPort& port);

} // namespace vx
