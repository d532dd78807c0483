#include "service/cam_pwm_parameters.h"

#include "common/globals.h"
#include "common/prompts.h"
#include "serial/command_table.h"
#include "serial/hex.h"
#include "serial/reply_wait.h"
#include "serial/workspace_link.h"
#include "vvt/busy_scope.h"

#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace vx {

namespace {

const QString kEnable = QStringLiteral("All Throttle Enable");
const QString kDisable = QStringLiteral("All Throttle Disable");

// A parameter box that hands its keys and its focus loss to the dialog.
class RatioEdit : public QLineEdit
{
public:
    RatioEdit(int index, CamPwmParameters& dialog, QWidget* parent)
        : QLineEdit(parent), index_(index), dialog_(dialog)
    {
        setObjectName(QStringLiteral("CamPWMRatio_%1").arg(index));
        setAlignment(Qt::AlignRight);
    }

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        // Keys that type no character (arrows, Delete, which some keyboards report as DEL) edit
        // the box unfiltered.
        const QString text = event->text();
        QChar key;
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
            key = QLatin1Char('\r');
        else if (text.size() == 1 && (text.at(0).isPrint() || text.at(0) == QLatin1Char('\b')))
            key = text.at(0);
        if (!key.isNull() && !dialog_.ratioKeyPress(index_, key))
            return;
        QLineEdit::keyPressEvent(event);
    }
    void focusOutEvent(QFocusEvent* event) override
    {
        QLineEdit::focusOutEvent(event);
        if (event->reason() != Qt::ActiveWindowFocusReason &&
            event->reason() != Qt::PopupFocusReason)
            dialog_.commit(index_);
    }

private:
    int index_;
    CamPwmParameters& dialog_;
};

// The VVT workspace's link while it is connected to the controller. Offline, or while the
// workspace reconnects, a change is only stored: a reconnect compares the parameters with the
// controller's and offers to reload them, and reads the all-throttle states back.
WorkspaceLink* connectedHost()
{
    if (G.OfflineMode || G.ControllerConnected != 1)
        return nullptr;
    return workspaceLink(QStringLiteral("Changadv"));
}

QString mnemonicOf(int index)
{
    return Command(cmd::camParam0 + index);
}

} // namespace

CamPwmParameters::CamPwmParameters(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("CamPwmParameters"));
    setWindowTitle(QStringLiteral("PWM Parameters Setup"));
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    auto* frames = new QHBoxLayout;
    static const char* const rowNames[] = {"Hold", "Nudge Up", "Nudge Down"};
    for (int cam = 0; cam < 2; ++cam) {
        auto* frame = new QGroupBox(cam == 0 ? QStringLiteral("Inlet Cam Parameters")
                                             : QStringLiteral("Exhaust Cam Parameters"),
                                    this);
        frame->setObjectName(cam == 0 ? QStringLiteral("InletFrame")
                                      : QStringLiteral("ExhaustFrame"));
        auto* grid = new QGridLayout(frame);
        grid->addWidget(new QLabel(QStringLiteral("Duty Cylce"), frame), 0, 1, Qt::AlignCenter);
        grid->addWidget(new QLabel(QStringLiteral("Delta"), frame), 0, 2, Qt::AlignCenter);
        for (int row = 0; row < 3; ++row) {
            grid->addWidget(new QLabel(QString::fromLatin1(rowNames[row]), frame), row + 1, 0);
            const int duty = cam * 3 + row;
            const int delta = 6 + cam * 3 + row;
            CamPWMRatio[duty] = new RatioEdit(duty, *this, frame);
            CamPWMRatio[delta] = new RatioEdit(delta, *this, frame);
            grid->addWidget(CamPWMRatio[duty], row + 1, 1);
            grid->addWidget(CamPWMRatio[delta], row + 1, 2);
            grid->addWidget(new QLabel(QStringLiteral("%"), frame), row + 1, 3);
        }
        AllThrotEnable[cam] = new QPushButton(kEnable, frame);
        AllThrotEnable[cam]->setObjectName(QStringLiteral("AllThrotEnable_%1").arg(cam));
        AllThrotEnable[cam]->setAutoDefault(false);
        grid->addWidget(AllThrotEnable[cam], 4, 0, 1, 4);
        connect(AllThrotEnable[cam], &QPushButton::clicked, this,
                [this, cam] { AllThrotEnable_Click(cam); });
        frames->addWidget(frame);
    }
    layout->addLayout(frames);
    ExitPWM = new QPushButton(QStringLiteral("Exit"), this);
    ExitPWM->setObjectName(QStringLiteral("ExitPWM"));
    ExitPWM->setAutoDefault(false);
    connect(ExitPWM, &QPushButton::clicked, this, &QDialog::close);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(ExitPWM);
    layout->addLayout(bottom);
    for (int i = 0; i < 11; ++i)
        setTabOrder(CamPWMRatio[i], CamPWMRatio[i + 1]);
}

void CamPwmParameters::showParameters()
{
    for (int i = 0; i < 12; ++i)
        showValue(i, G.CamParams[i]);
    show();
    raise();
    activateWindow();
}

void CamPwmParameters::showValue(int index, double value)
{
    CamPWMRatio[index]->setText(QString::number(value, 'f', 1));
}

void CamPwmParameters::SetThrottleEnable(int index, const QString& setting)
{
    AllThrotEnable[index]->setText(setting == QLatin1String("00") ? kEnable : kDisable);
}

bool CamPwmParameters::GetThrottleEnable(int index) const
{
    return AllThrotEnable[index]->text() != kEnable;
}

void CamPwmParameters::refocus(int index)
{
    QLineEdit* box = CamPWMRatio[index];
    if (!box->isEnabled())
        return;
    QTimer::singleShot(0, box, [box] { box->setFocus(Qt::OtherFocusReason); });
}

bool CamPwmParameters::ratioKeyPress(int index, QChar key)
{
    QLineEdit* box = CamPWMRatio[index];
    const ushort k = key.unicode();
    if (box->text().trimmed().size() >= 5 && k != 8 && k != 13)
        return false;
    const double value = leadingNumber(box->text());
    if (key == QLatin1Char('=') || key == QLatin1Char('+')) {
        if (value < 100) {
            showValue(index, value + 0.1);
            commit(index);
        }
        return false;
    }
    if (key == QLatin1Char('-') || key == QLatin1Char('_')) {
        if (value > 0) {
            showValue(index, value - 0.1);
            commit(index);
        }
        return false;
    }
    if (k == 13) {
        commit(index);
        return false;
    }
    return key.isDigit() || k == 8 || key == QLatin1Char('.');
}

// The window stays open beside the workspace, so a change can be made while the workspace
// waits for the controller (a map upload, "Save in ECU", the synchronisation). Its command would
// go into that exchange and its own wait would take the reply, leaving the workspace to see a
// lost link: such a change is refused with a beep. linkIdle is taken before the caller counts
// itself as busy.
bool CamPwmParameters::refusedDuringExchange(bool linkIdle) const
{
    if (linkIdle || !connectedHost())
        return false;
    prompts().beep();
    return true;
}

void CamPwmParameters::commit(int index)
{
    const bool linkIdle = BusyScope::idle();
    const BusyScope busy;
    if (PwmBusy)
        return;
    PwmBusy = true;
    QLineEdit* box = CamPWMRatio[index];
    const QString s = box->text().trimmed();
    const double old = G.CamParams[index];
    const auto refuse = [&](const QString& text) {
        MsgBox(text, Buttons::Ok, Icon::None, QStringLiteral("Warning"));
        showValue(index, old);
        refocus(index);
    };
    if (s.size() > 4 || s.isEmpty()) {
        refuse(QStringLiteral("Invalid input"));
    } else if (const double v = leadingNumber(s); v > 100 || v < 0) {
        refuse(QStringLiteral("Value out of range"));
    } else {
        showValue(index, v);
        if (v != old && refusedDuringExchange(linkIdle)) {
            showValue(index, old);
        } else if (v != old) {
            G.CamParams[index] = v;
            if (WorkspaceLink* link = connectedHost()) {
                link->SyncWithRPMTimer(false);
                link->ComOutput(hexPadded(roundHalfEven(v * 10), 4) + mnemonicOf(index) + G.CR);
                G.RxBuffer.clear();
                if (!WaitForReply(false, QStringLiteral("*"), 0)) {
                    link->ReInitConnection();
                } else {
                    if (G.RxBuffer.contains(QLatin1String("Error"))) {
                        MsgBox(QStringLiteral("FLASH update failed!!! Please try again"),
                               Buttons::Ok, Icon::Critical, QStringLiteral("Error"));
                        G.CamParams[index] = old;
                        showValue(index, old);
                    }
                    link->SyncWithRPMTimer(true);
                }
            }
        }
    }
    PwmBusy = false;
}

void CamPwmParameters::AllThrotEnable_Click(int index)
{
    if (PwmBusy || refusedDuringExchange(BusyScope::idle()))
        return;
    const BusyScope busy;
    PwmBusy = true;
    QPushButton* b = AllThrotEnable[index];
    const bool switchOn = b->text() == kEnable;
    b->setText(switchOn ? kDisable : kEnable);
    const QString code = switchOn ? QStringLiteral("01") : QStringLiteral("00");
    if (WorkspaceLink* link = connectedHost()) {
        link->SyncWithRPMTimer(false);
        link->ComOutput(code + Command(index == 0 ? cmd::it : cmd::et) + G.CR);
        if (!WaitForReply(false, QStringLiteral("*"), 0))
            link->ReInitConnection();
        else
            link->SyncWithRPMTimer(true);
    }
    PwmBusy = false;
}

} // namespace vx
