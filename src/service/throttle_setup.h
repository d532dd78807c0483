#pragma once

#include "service/host_link.h"
#include "service/throttle_codes.h"

#include <QDialog>
#include <QString>

class QComboBox;
class QGroupBox;
class QPushButton;
class QWidget;

namespace vx {

// The "Throttle Setup" dialog, shown modally for the workspace named hostName ("Changadv" or
// "GearboxControl"), whose link it uses.
void showThrottleSetup(QWidget* parent, const QString& hostName);

// Tells the connected controller how its throttle sensor is wired (pot law, sense) and teaches
// it the closed and fully open positions. Every command goes out through the host workspace,
// with the host's live polling paused.
class ThrottleSetup : public QDialog
{
    Q_OBJECT
public:
    explicit ThrottleSetup(QWidget* parent = nullptr);

    // The host's window name. Only "Changadv" and "GearboxControl" are hosts; with any other
    // name the dialog reaches no controller.
    void SetActiveFormType(const QString& name);
    // The opening steps: position, and the choices shown (all disabled offline).
    void load();

    void Combo1_LostFocus();
    void Combo2_LostFocus();
    void ThrotCal_Click();

protected:
    void done(int result) override;

private:
    void sendWiringCode(const QComboBox* box, const throttle::CodedChoices& choices, QString& code,
                        int mnemonic);
    void calibrate();
    void exchange(void (ThrottleSetup::*steps)());
    void potLawExchange();
    void senseExchange();
    void lostConnection();
    static void fill(QComboBox* box, const throttle::CodedChoices& choices, const QString& code);

    QGroupBox* Frame2 = nullptr;
    QGroupBox* ThrotPotType = nullptr;
    QComboBox* Combo1 = nullptr;
    QGroupBox* Throt_Sense = nullptr;
    QComboBox* Combo2 = nullptr;
    QPushButton* ThrotCal = nullptr;
    QPushButton* Exit = nullptr;

    QString CallerName;
    HostLink host_;
    // One exchange with the controller at a time. The waits handle events, so a choice left or
    // a click meanwhile would otherwise send its own command and take that reply, and the
    // first exchange would time out as if the link were lost. A choice left during an exchange
    // is sent once it is over; a click on Calibrate Throttle is refused.
    bool busy_ = false;
    bool potLawPending_ = false;
    bool sensePending_ = false;
};

} // namespace vx
