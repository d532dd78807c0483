// The connect sequence of the VVT workspace: one step per tick of Timer2, the password login and
// the identification of the controller, and the link operations that hand over to it.
#include "app/shell.h"
#include "common/event_loop.h"
#include "common/globals.h"
#include "common/prompts.h"
#include "common/timing.h"
#include "serial/command_table.h"
#include "service/controller_password.h"
#include "setupdlg/setup_dialog.h"
#include "vvt/busy_scope.h"
#include "vvt/changadv.h"
#include "vvt/firmware_version.h"
#include "vvt/map_cell_edit.h"
#include "vvt/map_grid.h"
#include "vvt/rx_wait.h"

#include <QLabel>
#include <QPushButton>

namespace vx {

namespace {

const QString kLostConnection = QStringLiteral("Lost connection");
const QString kRunning = QStringLiteral("Running");
const QString kPasswordRequest = QStringLiteral("Enter password");

bool endsWithPrompt(const QString& text)
{
    return text.endsWith(QLatin1Char('*')) || text.endsWith(QLatin1Char('>'));
}

QString openFailureText(const PortOpenResult& result)
{
    if (result.failure == PortFailure::Busy)
        return QStringLiteral("Port already open");
    return result.detail.isEmpty() ? QStringLiteral("Port open failed") : result.detail;
}

} // namespace

bool Changadv::waitForController(const std::function<bool()>& condition, int timeoutMs)
{
    // A workspace told to close stops listening at once, so that it is gone before the main
    // window it has shown can be asked to open the workspace again.
    return waitForReceived([&] { return leaving_ || condition(); }, timeoutMs) && !leaving_;
}

void Changadv::SyncWithRPMTimer(bool timerState)
{
    // A live exchange can only finish while the live timer runs; a commit that stopped it
    // directly resets the poll state itself.
    waitForReceived([this] { return G.PollState == 0 || !Timer3.isActive(); },
                    2 * timing::kReplyTimeoutMs);
    // Live polling belongs to a running connection: a link lost meanwhile is left to the
    // connect ticks, which resume polling once they are through.
    if (timerState && !leaving_ && G.ControllerConnected == 1) {
        Timer3.setInterval(timing::scaled(timing::kLivePollMs));
        Timer3.start();
    } else {
        Timer3.stop();
    }
    if (!timerState)
        G.PollState = 0;
    G.RxBuffer.clear();
}

void Changadv::ReInitConnection()
{
    if (leaving_)
        return;
    G.PollState = 0;
    closePort();
    G.ControllerConnected = 0;
    CurrRPM->setText(QStringLiteral("0 RPM"));
    Timer3.stop();
    Timer2.setInterval(timing::scaled(timing::kConnectTickMs));
    Timer2.start();
    StatusText = kLostConnection;
    reconnectRequested_ = true;
}

void Changadv::restartConnecting()
{
    G.ControllerConnected = 0;
    InitStep = 0;
    Timer2.setInterval(timing::scaled(timing::kConnectTickMs));
    Timer2.start();
}

void Changadv::stopConnection()
{
    closePort();
    G.ControllerConnected = 0;
    InitStep = 0;
    leaveWorkspace();
}

void Changadv::openAndWake(const QString& baud)
{
    VvtComPort.setHandshaking(3);
    VvtComPort.setSettings(baud + QStringLiteral(",N,8,1"));
    const PortOpenResult opened = VvtComPort.open();
    if (!opened.ok()) {
        failTick(opened);
        return;
    }
    Timer2.setInterval(timing::scaled(timing::kConnectTickMs));
    Timer2.start();
    G.RxBuffer.clear();
    ComOutput(QString(QChar(17)));
    ComOutput(QString(QChar(27)));
    ComOutput(G.CR);
    InitStep = InitStep == 0 ? 1 : 2;
}

bool Changadv::wakeUpAnswered() const
{
    // A locked controller ends its answer to the wake-up's CR with the password request.
    return G.RxBuffer.endsWith(QLatin1Char('*')) ||
           (G.RxBuffer.endsWith(QLatin1Char('>')) && G.RxBuffer.contains(kPasswordRequest));
}

void Changadv::Timer2_Timer()
{
    const BusyScope busy;
    Timer2.stop();
    if (leaving_)
        return;
    if (G.BufferCaption == QLatin1String("Empty"))
        ChangAdvExit[1]->setEnabled(false);
    setLinkButtonsEnabled(false);
    grid_->setCellsEnabled(false);
    setStatus(StatusText);

    if (InitStep == 0) {
        if (G.ControllerConnected == 0) {
            openAndWake(QStringLiteral("38400"));
            return;
        }
        if (SyncWithController() != 1) {
            stopConnection();
            return;
        }
        setStatus(kRunning);
    } else if (InitStep == 1) {
        if (StatusText == kLostConnection)
            setStatus(QStringLiteral("Reconnecting..."));
        if (!wakeUpAnswered()) {
            closePort();
            openAndWake(QStringLiteral("115200"));
            return;
        }
        if (!identify(QStringLiteral("ECU is not a Vantorex 3 system, try Vantorex 2")))
            return;
    } else if (InitStep == 2) {
        if (!wakeUpAnswered()) {
            closePort();
            G.ControllerConnected = 0;
            InitStep = 0;
            G.RxBuffer.clear();
            Timer2.setInterval(timing::scaled(timing::kConnectTickMs));
            Timer2.start();
            return;
        }
        if (!identify(
                QStringLiteral("ECU is not a Vantorex HS system or it maybe in 'Update Mode'")))
            return;
    }
    runningTail();
}

void Changadv::runningTail()
{
    if (leaving_ || status() != kRunning)
        return;
    CurrThrotPos->show();
    ThrotBoostLabel->show();
    ChangAdvExit[1]->setEnabled(true);
    setLinkButtonsEnabled(true);
    grid_->setCellsEnabled(true);
    show();
    grid_->cell(0)->setFocus(Qt::OtherFocusReason);
    SyncWithRPMTimer(true);
}

void Changadv::failTick(const PortOpenResult& failure)
{
    if (failure.failure == PortFailure::NoSuchPort && StatusText == kLostConnection) {
        // The adapter that was in use went away: wait quietly for it to come back.
    } else if (failure.failure == PortFailure::NoSuchPort ||
               failure.failure == PortFailure::PermissionDenied) {
        const Answer answer =
            MsgBox(portUnavailableText(G.ComPortNumber, failure), Buttons::OkCancel, Icon::Critical,
                   QStringLiteral("Port open error"));
        if (answer == Answer::Cancel) {
            leaveWorkspace();
            return;
        }
        Setup::SetNoErrorMsg(true);
        Setup::showModal(this);
        VvtComPort.setPortNumber(G.ComPortNumber);
    } else {
        setStatus(openFailureText(failure));
    }
    if (leaving_)
        return;
    closePort();
    if (StatusText == kLostConnection)
        setStatus(QStringLiteral("Reconnecting..."));
    restartConnecting();
}

int Changadv::LoginToController()
{
    G.RxBuffer.clear();
    ComOutput(G.CR);
    if (!waitForController(
            [] {
                return G.RxBuffer.contains(QLatin1Char('*')) ||
                       G.RxBuffer.contains(QLatin1Char('>'));
            },
            timing::kPromptWaitMs))
        return -1;
    if (!G.RxBuffer.contains(kPasswordRequest))
        return 1;
    G.RxBuffer.clear();
    if (!G.ControllerPassword.isEmpty()) {
        ComOutput(G.ControllerPassword + G.CR);
        if (!waitForController([] { return endsWithPrompt(G.RxBuffer); }, timing::kPromptWaitMs))
            return -1;
        if (!G.RxBuffer.contains(kPasswordRequest))
            return 1;
        MsgBox(QStringLiteral("ECU Password incorrect"), Buttons::Ok, Icon::Critical);
    }
    G.PasswordCancelled = false;
    EcuSecurity dialog(this);
    dialog.SetWindowMode(1);
    dialog.exec();
    return G.PasswordCancelled ? 0 : 1;
}

bool Changadv::identify(const QString& rejection)
{
    const int login = LoginToController();
    if (leaving_)
        return false;
    if (login == 0) {
        stopConnection();
        return false;
    }
    if (login < 0) {
        closePort();
        restartConnecting();
        return false;
    }
    G.RxBuffer.clear();
    ComOutput(Command(cmd::ve) + G.CR);
    if (!waitForController([] { return G.RxBuffer.contains(QLatin1Char('*')); },
                           timing::kPromptWaitMs)) {
        closePort();
        restartConnecting();
        return false;
    }
    if (G.RxBuffer.contains(QLatin1String("Illegal")) || G.RxBuffer.size() < 10) {
        MsgBox(rejection);
        stopConnection();
        return false;
    }
    const FirmwareVersion version = parseFirmwareVersion(G.RxBuffer);
    G.FirmwareVersionNumber = version.number;
    FirmwareVer->setText(version.text);
    if (version.number < kMinimumFirmware) {
        MsgBox(QStringLiteral("ECU firmware ") + version.text +
                   QStringLiteral(" is too old, requires a minimum of V1.0.0"),
               Buttons::Ok, Icon::Critical, QStringLiteral("Error"));
        stopConnection();
        return false;
    }
    Timer2.stop();
    G.ControllerConnected = 1;
    InitStep = 0;
    G.RxBuffer.clear();

    reconnectRequested_ = false;
    const int synced = SyncWithController();
    if (leaving_)
        return false;
    // A controller that stopped answering is reconnected, however far the synchronisation got;
    // any other refusal ends the visit.
    if (reconnectRequested_)
        return false;
    if (synced != 1) {
        stopConnection();
        return false;
    }
    setStatus(kRunning);
    show();
    return true;
}

} // namespace vx
