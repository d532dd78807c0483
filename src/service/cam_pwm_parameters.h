#pragma once

#include <QDialog>

#include <array>

class QLineEdit;
class QPushButton;

namespace vx {

// The "PWM Parameters Setup" dialog: the twelve cam PWM parameters and the all-throttle mode of
// each cam. Every accepted change goes to the engine controller at once through the VVT
// workspace's link, unless the program is offline. The all-throttle states live in the two
// buttons' captions.
class CamPwmParameters : public QDialog
{
    Q_OBJECT
public:
    explicit CamPwmParameters(QWidget* parent = nullptr);

    // Fills the boxes from the parameters and shows the dialog (not modal).
    void showParameters();

    // "00" = all-throttle mode off, anything else on.
    void SetThrottleEnable(int index, const QString& setting);
    bool GetThrottleEnable(int index) const;

    QLineEdit* box(int index) const { return CamPWMRatio[index]; }
    QPushButton* allThrottleButton(int index) const { return AllThrotEnable[index]; }

    // Box events; the key handler returns whether the key reaches the box.
    bool ratioKeyPress(int index, QChar key);
    void commit(int index);
    void AllThrotEnable_Click(int index);

private:
    void showValue(int index, double value);
    void refocus(int index);
    bool refusedDuringExchange(bool linkIdle) const;

    std::array<QLineEdit*, 12> CamPWMRatio{};
    std::array<QPushButton*, 2> AllThrotEnable{};
    QPushButton* ExitPWM = nullptr;
    bool PwmBusy = false;
};

} // namespace vx
