#include "gearbox/gearbox_control.h"

#include "app/shell.h"
#include "common/globals.h"
#include "common/prompts.h"
#include "common/timing.h"
#include "gearbox/gearbox_link.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>

namespace vx {

namespace {
const QString kWindowName = QStringLiteral("GearboxControl");
}

GearboxControl::BusyScope::BusyScope(GearboxControl& workspace) : workspace_(workspace)
{
    ++workspace_.busyDepth_;
}

GearboxControl::BusyScope::~BusyScope()
{
    if (--workspace_.busyDepth_ == 0 && workspace_.closePending_)
        QTimer::singleShot(0, &workspace_, [w = &workspace_] { w->close(); });
}

bool GearboxControl::refusedWhileBusy() const
{
    if (!EditBusy())
        return false;
    prompts().beep();
    return true;
}

GearboxControl::GearboxControl(Shell& shell, QWidget* parent)
    : QWidget(parent), shell_(shell), GearboxComPort(QStringLiteral("GearboxComPort")),
      link_(std::make_unique<GearboxLink>(GearboxComPort, *this))
{
    setObjectName(kWindowName);
    setWindowTitle(QStringLiteral("Gearbox Controller Setup"));
    setAttribute(Qt::WA_DeleteOnClose);
    GearboxInitTimer = new QTimer(this);
    GearboxReadTimer = new QTimer(this);
    GearboxInitTimer->setObjectName(QStringLiteral("GearboxInitTimer"));
    GearboxReadTimer->setObjectName(QStringLiteral("GearboxReadTimer"));
    GearboxReadTimer->setInterval(timing::scaled(timing::kLivePollMs));
    buildWindow();
    connectControls();
    connect(GearboxInitTimer, &QTimer::timeout, this, &GearboxControl::GearboxInitTimer_Timer);
    connect(GearboxReadTimer, &QTimer::timeout, this, &GearboxControl::GearboxReadTimer_Timer);
    connect(&GearboxComPort, &ComPort::closed, this, &GearboxControl::onPortClosed);
    registerWorkspaceLink(kWindowName, link_.get());

    armInitTimer();
    G.PollState = 0;
    StatusText = QStringLiteral("Connecting...");
    GearboxComPort.setPortNumber(G.ComPortNumber);
    EnableParameterControls(false);
    AutoShiftOption->clear();
    for (int i = 0; i < 4; ++i)
        AutoShiftOption->addItem(gearbox::autoShiftNames()[static_cast<size_t>(i)]);
    AutoShiftOption->setCurrentIndex(-1);
}

GearboxControl::~GearboxControl()
{
    unregisterWorkspaceLink(kWindowName, link_.get());
    closePort();
}

WorkspaceLink& GearboxControl::link()
{
    return *link_;
}

void GearboxControl::armInitTimer()
{
    GearboxInitTimer->setInterval(timing::scaled(timing::kConnectTickMs));
    GearboxInitTimer->start();
}

void GearboxControl::closePort()
{
    closingPort_ = true;
    GearboxComPort.close();
    closingPort_ = false;
}

// A serial adapter pulled out while the workspace runs is a lost connection, found at once
// rather than at the next reply time-out.
void GearboxControl::onPortClosed()
{
    if (closingPort_)
        return;
    QTimer::singleShot(0, this, [this] {
        if (G.ControllerConnected == 1 && !GearboxComPort.isOpen())
            ReInitConnection();
    });
}

void GearboxControl::unloadWorkspace()
{
    if (busyDepth_ > 0) {
        closePending_ = true;
        GearboxInitTimer->stop();
        GearboxReadTimer->stop();
        return;
    }
    close();
}

void GearboxControl::GearboxExit_Click()
{
    G.ReplyWaiting = 0;
    G.ControllerConnected = 0;
    unloadWorkspace();
}

// A tool window still open on this link (the air-pressure calibration, shown without waiting)
// closes first, through its own close. One that is in the middle of an exchange refuses; the
// workspace closes once it has gone, so that its port stays open until the exchange is over.
bool GearboxControl::closeToolWindows()
{
    for (QDialog* dialog : findChildren<QDialog*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (!dialog->isVisible() || dialog->close())
            continue;
        connect(dialog, &QObject::destroyed, this, &QWidget::close,
                Qt::ConnectionType(Qt::QueuedConnection | Qt::UniqueConnection));
        return false;
    }
    return true;
}

void GearboxControl::closeEvent(QCloseEvent* event)
{
    GearboxInitTimer->stop();
    GearboxReadTimer->stop();
    if (busyDepth_ > 0) {
        // An exchange is waiting for the controller: end its wait and close once it is over.
        closePending_ = true;
        G.ReplyWaiting = 0;
        hide();
        event->ignore();
        return;
    }
    if (!closeToolWindows()) {
        closePending_ = true;
        hide();
        event->ignore();
        return;
    }
    G.PollState = 0;
    G.ControllerConnected = 0;
    closePort();
    unregisterWorkspaceLink(kWindowName, link_.get());
    shell_.showMainWindow();
    event->accept();
}

} // namespace vx
