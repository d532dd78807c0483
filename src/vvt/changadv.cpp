#include "vvt/changadv.h"

#include "app/shell.h"
#include "common/globals.h"
#include "common/named_button.h"
#include "common/timing.h"
#include "mapfile/map_file.h"
#include "serial/workspace_link.h"
#include "service/cam_pwm_parameters.h"
#include "service/controller_password.h"
#include "service/throttle_setup.h"
#include "settings/window_positions.h"
#include "vvt/busy_scope.h"
#include "vvt/map_cell_edit.h"
#include "vvt/map_grid.h"
#include "vvt/vvt_link.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace vx {

namespace {

const QString kWindowName = QStringLiteral("Changadv");

QLabel* valueLabel(const QString& name, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("00000")));
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setFrameShape(QFrame::StyledPanel);
    return label;
}

} // namespace

Changadv::Changadv(Shell& shell, QWidget* parent)
    : QWidget(parent), shell_(shell), VvtComPort(QStringLiteral("VvtComPort"), this),
      link_(std::make_unique<VvtLink>(VvtComPort, *this))
{
    setObjectName(kWindowName);
    setWindowTitle(QStringLiteral("Vantorex ECU Manager"));
    for (QTimer* t : {&Timer1, &Timer2, &Timer3, &Timer4})
        t->setParent(this);
    Timer1.setObjectName(QStringLiteral("Timer1"));
    Timer2.setObjectName(QStringLiteral("Timer2"));
    Timer3.setObjectName(QStringLiteral("Timer3"));
    Timer4.setObjectName(QStringLiteral("Timer4"));
    connect(&Timer1, &QTimer::timeout, this, &Changadv::Timer1_Timer);
    connect(&Timer2, &QTimer::timeout, this, &Changadv::Timer2_Timer);
    connect(&Timer3, &QTimer::timeout, this, &Changadv::Timer3_Timer);
    connect(&Timer4, &QTimer::timeout, this, &Changadv::Timer4_Timer);
    connect(&VvtComPort, &ComPort::closed, this, &Changadv::portClosedUnexpectedly);

    pwm_ = new CamPwmParameters(this);
    buildWindow();
    registerWorkspaceLink(kWindowName, link_.get());

    RestoreWindowPosition(*this, places::changadv());
    if (G.OfflineMode)
        loadOffline();
    else
        loadOnline();
}

Changadv::~Changadv()
{
    unregisterWorkspaceLink(kWindowName, link_.get());
    for (QTimer* t : {&Timer1, &Timer2, &Timer3, &Timer4})
        t->stop();
}

void Changadv::buildWindow()
{
    auto* layout = new QVBoxLayout(this);
    auto* mapFrame = new QGroupBox(QStringLiteral("Cam Advance Map"), this);
    mapFrame->setObjectName(QStringLiteral("MapFrame"));
    auto* mapLayout = new QVBoxLayout(mapFrame);
    grid_ = new MapGrid(mapFrame);
    mapLayout->addWidget(grid_);
    layout->addWidget(mapFrame);
    connect(grid_, &MapGrid::cellCommitRequested, this, [this] {
        if (G.OfflineMode)
            cellCommit();
        else
            startCommitTimer(Timer1);
    });
    connect(grid_, &MapGrid::selectionCommitRequested, this, [this] {
        if (G.OfflineMode)
            selectionCommit();
        else
            startCommitTimer(Timer4);
    });

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(buildEngineData(), 1);
    bottom->addWidget(buildButtons());
    layout->addLayout(bottom);
}

QWidget* Changadv::buildEngineData()
{
    auto* area = new QWidget(this);
    auto* row = new QHBoxLayout(area);
    row->setContentsMargins(0, 0, 0, 0);

    EngineData = new QGroupBox(QStringLiteral("Engine Data"), area);
    EngineData->setObjectName(QStringLiteral("EngineData"));
    auto* data = new QGridLayout(EngineData);
    const auto caption = [&](const QString& text, int r, int c) {
        auto* l = new QLabel(text, EngineData);
        data->addWidget(l, r, c);
        return l;
    };
    caption(QStringLiteral("RPM:"), 0, 0);
    CurrRPM = valueLabel(QStringLiteral("CurrRPM"), EngineData);
    CurrRPM->setText(QStringLiteral("0 RPM"));
    data->addWidget(CurrRPM, 0, 1);
    ThrotBoostLabel = caption(QStringLiteral("Throttle Position:"), 1, 0);
    ThrotBoostLabel->setObjectName(QStringLiteral("ThrotBoostLabel"));
    CurrThrotPos = valueLabel(QStringLiteral("CurrThrotPos"), EngineData);
    data->addWidget(CurrThrotPos, 1, 1);
    caption(QStringLiteral("Sync Errors:"), 2, 0);
    CurrSyncErrors =
        namedButton(QStringLiteral("CurrSyncErrors"), QStringLiteral(" 0"), EngineData);
    CurrSyncErrors->setToolTip(QStringLiteral("Click to reset the sync error count"));
    connect(CurrSyncErrors, &QPushButton::clicked, this, &Changadv::CurrSyncErrors_Click);
    data->addWidget(CurrSyncErrors, 2, 1);
    caption(QStringLiteral("Inlet"), 3, 1)->setAlignment(Qt::AlignCenter);
    caption(QStringLiteral("Exhaust"), 3, 2)->setAlignment(Qt::AlignCenter);
    caption(QStringLiteral("Cam Target Positions:"), 4, 0);
    for (int k = 0; k < 2; ++k) {
        CamReqPos[k] = valueLabel(QStringLiteral("CamReqPos_%1").arg(k), EngineData);
        data->addWidget(CamReqPos[k], 4, 1 + k);
    }
    caption(QStringLiteral("Cam Actual Positions:"), 5, 0);
    for (int k = 0; k < 4; ++k) {
        CamPos[k] = valueLabel(QStringLiteral("CamPos_%1").arg(k), EngineData);
        data->addWidget(CamPos[k], 5, 1 + k);
    }
    row->addWidget(EngineData);

    TriggerPoints = new QGroupBox(QStringLiteral("Camshaft Trigger Points"), area);
    TriggerPoints->setObjectName(QStringLiteral("TriggerPoints"));
    auto* points = new QGridLayout(TriggerPoints);
    static const char* const rows[] = {
        "Inlet Cam 1:", "Inlet Cam 2:", "Exhst Cam 3:", "Exhst Cam 4:"};
    for (int cam = 0; cam < 4; ++cam) {
        points->addWidget(new QLabel(QString::fromLatin1(rows[cam]), TriggerPoints), cam, 0);
        for (int k = 0; k < 4; ++k) {
            CamTrigPoint[cam][k] =
                valueLabel(QStringLiteral("Cam%1TrigPoint_%2").arg(cam + 1).arg(k), TriggerPoints);
            points->addWidget(CamTrigPoint[cam][k], cam, 1 + k);
        }
    }
    row->addWidget(TriggerPoints);

    auto* statusBox = new QVBoxLayout;
    Status = new QLabel(area);
    Status->setObjectName(QStringLiteral("Status"));
    Status->setMinimumWidth(
        Status->fontMetrics().horizontalAdvance(QStringLiteral("Loading cam position map")));
    QFont bold = Status->font();
    bold.setBold(true);
    Status->setFont(bold);
    statusBox->addWidget(Status);
    FirmwareLabel = new QLabel(QStringLiteral("ECU Firmware Version:"), area);
    FirmwareLabel->setObjectName(QStringLiteral("FirmwareLabel"));
    statusBox->addWidget(FirmwareLabel);
    FirmwareVer = new QLabel(QStringLiteral("Unknown"), area);
    FirmwareVer->setObjectName(QStringLiteral("FirmwareVer"));
    statusBox->addWidget(FirmwareVer);
    statusBox->addStretch();
    row->addLayout(statusBox);
    row->addStretch();
    return area;
}

QWidget* Changadv::buildButtons()
{
    auto* area = new QWidget(this);
    auto* buttons = new QGridLayout(area);
    buttons->setContentsMargins(0, 0, 0, 0);
    ChangAdvExit[0] = namedButton(QStringLiteral("ChangAdvExit_0"), QStringLiteral("Exit"), area);
    ChangAdvExit[1] = namedButton(QStringLiteral("ChangAdvExit_1"), QStringLiteral("Save"), area);
    Nvram = namedButton(QStringLiteral("Nvram"), QStringLiteral("Save in ECU"), area);
    ThrotCal = namedButton(QStringLiteral("ThrotCal"), QStringLiteral("Throttle"), area);
    SetupPWM = namedButton(QStringLiteral("SetupPWM_0"), QStringLiteral("Adjust PWM"), area);
    SetPassword = namedButton(QStringLiteral("SetPassword"), QStringLiteral("Password"), area);
    buttons->addWidget(Nvram, 0, 0);
    buttons->addWidget(ThrotCal, 1, 0);
    buttons->addWidget(SetupPWM, 2, 0);
    buttons->addWidget(SetPassword, 0, 1);
    buttons->addWidget(ChangAdvExit[1], 1, 1);
    buttons->addWidget(ChangAdvExit[0], 2, 1);
    buttons->setRowStretch(3, 1);
    connect(ChangAdvExit[0], &QPushButton::clicked, this, [this] { ChangAdvExit_Click(0); });
    connect(ChangAdvExit[1], &QPushButton::clicked, this, [this] { ChangAdvExit_Click(1); });
    connect(Nvram, &QPushButton::clicked, this, &Changadv::Nvram_Click);
    connect(ThrotCal, &QPushButton::clicked, this, &Changadv::ThrotCal_Click);
    connect(SetupPWM, &QPushButton::clicked, this, &Changadv::SetupPWM_Click);
    connect(SetPassword, &QPushButton::clicked, this, &Changadv::SetPassword_Click);
    return area;
}

void Changadv::loadOnline()
{
    Timer2.setInterval(timing::scaled(timing::kConnectTickMs));
    Timer2.start();
    G.PollState = 0;
    StatusText = QStringLiteral("Initialising system");
    grid_->setCellsEnabled(false);
    grid_->clearSelection();
    VvtComPort.setPortNumber(G.ComPortNumber);
    ThrotBoostLabel->show();
    CurrThrotPos->show();
}

void Changadv::loadOffline()
{
    setStatus(QStringLiteral("Editing offline"));
    EngineData->hide();
    TriggerPoints->hide();
    FirmwareLabel->hide();
    FirmwareVer->hide();
    Nvram->setEnabled(false);
    SetPassword->setEnabled(false);
    Fill_Display();
    show();
    grid_->cell(0)->setFocus(Qt::OtherFocusReason);
}

void Changadv::setStatus(const QString& text)
{
    Status->setText(text);
}

QString Changadv::status() const
{
    return Status->text();
}

void Changadv::setLinkButtonsEnabled(bool enabled)
{
    Nvram->setEnabled(enabled);
    SetPassword->setEnabled(enabled);
    ThrotCal->setEnabled(enabled);
}

void Changadv::Fill_Display()
{
    grid_->Fill_Display();
    setWindowTitle(QStringLiteral("Vantorex ECU Manager - ") + G.BufferCaption);
}

void Changadv::ComOutput(const QString& outputString)
{
    link_->ComOutput(outputString);
}

QString Changadv::GetECUString(const QString& command, const QString& waitString, int responseLen)
{
    return link_->GetECUString(command, waitString, responseLen);
}

qint64 Changadv::GetECUValue(const QString& command, const QString& waitString, int responseLen)
{
    return link_->GetECUValue(command, waitString, responseLen);
}

bool Changadv::WriteLine(const QString& s3line)
{
    return link_->WriteLine(s3line);
}

void Changadv::ChangAdvExit_Click(int index)
{
    const BusyScope busy;
    if (LoadBusy)
        return;
    if (index == 1 && !SaveMapFileAs(G.BufferCaption + QStringLiteral(".cam"), true))
        return;
    leaveWorkspace();
}

void Changadv::leaveWorkspace()
{
    if (leaving_)
        return;
    leaving_ = true;
    for (QTimer* t : {&Timer1, &Timer2, &Timer3, &Timer4})
        t->stop();
    G.ReplyWaiting = 0;
    G.ControllerConnected = 0;
    G.PollState = 0;
    pwm_->close();
    closePort();
    SaveWindowPosition(*this, places::changadv());
    unregisterWorkspaceLink(kWindowName, link_.get());
    shell_.showMainWindow();
    close();
    deleteWhenIdle(this);
}

void Changadv::deleteWhenIdle(QPointer<Changadv> workspace)
{
    QTimer::singleShot(0, qApp, [workspace] {
        if (!workspace)
            return;
        if (BusyScope::idle())
            delete workspace.data();
        else
            deleteWhenIdle(workspace);
    });
}

void Changadv::closeEvent(QCloseEvent* event)
{
    // A force-load in progress must finish before the window may go.
    if (LoadBusy && !leaving_) {
        event->ignore();
        return;
    }
    leaveWorkspace();
    event->accept();
}

void Changadv::closePort()
{
    closingPort_ = true;
    VvtComPort.close();
    closingPort_ = false;
}

void Changadv::portClosedUnexpectedly()
{
    // The adapter went away while connected: handled as a lost link, so the connect ticks
    // reopen the port once it is back.
    if (closingPort_ || leaving_ || G.OfflineMode)
        return;
    if (G.ControllerConnected == 1 && Timer3.isActive())
        ReInitConnection();
}

void Changadv::ThrotCal_Click()
{
    const BusyScope busy;
    if (G.OfflineMode)
        return;
    showThrottleSetup(this, kWindowName);
}

void Changadv::SetupPWM_Click()
{
    const BusyScope busy;
    pwm_->showParameters();
}

void Changadv::SetPassword_Click()
{
    const BusyScope busy;
    SyncWithRPMTimer(false);
    EcuSecurity dialog(this);
    dialog.SetWindowMode(0);
    dialog.exec();
    SyncWithRPMTimer(true);
}

} // namespace vx
