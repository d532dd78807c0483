#pragma once

#include "service/host_link.h"

#include <QDialog>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace vx {

// The "Calibrate Sensors" dialog, shown without waiting, on the gearbox workspace's link.
void showAirPressureCalibration(QWidget* parent);

// The air-pressure sensor's voltages at 0 psi and at 140 psi: read from the gearbox controller
// on opening, edited here, and sent back together with the psi lookup table they imply.
class AirPressureCalibration : public QDialog
{
    Q_OBJECT
public:
    explicit AirPressureCalibration(QWidget* parent = nullptr);

    // The opening steps: position, both points read from the controller, the boxes filled.
    void load();

    void ToECU_Click();
    void CalExit_Click();
    bool calibrationChanged() const { return CalibrationChanged; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void zeroPointLostFocus();
    void fullPointLostFocus();
    void restorePoint(QLineEdit* box, double stored);
    void SendAirCalibration();
    void SendPressureTable();

    QGroupBox* Frame1 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* AirCompPressVoltsAtZero = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* AirCompPressVoltsAt140 = nullptr;
    QPushButton* ToECU = nullptr;
    QPushButton* CalExit = nullptr;

    HostLink gearbox_;
    bool CalibrationChanged = false;
    bool validating_ = false; // a box being put right keeps the focus without the other checking
    bool sending_ = false;
    bool closing_ = false;
    bool closeRequested_ = false;
};

} // namespace vx
