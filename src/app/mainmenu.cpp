#include "app/mainmenu.h"

#include "common/app_info.h"
#include "common/globals.h"
#include "common/prompts.h"
#include "debugwin/debug_output.h"
#include "gearbox/gearbox_control.h"
#include "mapfile/map_file.h"
#include "serial/com_port.h"
#include "serial/command_table.h"
#include "serial/port_probe.h"
#include "settings/config_settings.h"
#include "settings/window_positions.h"
#include "setupdlg/setup_dialog.h"
#include "vvt/changadv.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QVBoxLayout>

namespace vx {

namespace {

QPushButton* makeButton(const QString& name, const QString& caption, QWidget* parent)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setMinimumWidth(130);
    return button;
}

} // namespace

Mainmenu::Mainmenu(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("Mainmenu"));
    setWindowTitle(kMainCaption);

    auto* central = new QWidget(this);
    EditMap = makeButton(QStringLiteral("EditMap"), QStringLiteral("Edit VVT Map"), central);
    GearBoxConfig = makeButton(QStringLiteral("GearBoxConfig"), QStringLiteral("Gearbox Config"), central);
    OpenMap = makeButton(QStringLiteral("OpenMap"), QStringLiteral("Open Map File"), central);
    SaveMap = makeButton(QStringLiteral("SaveMap"), QStringLiteral("Save Map File"), central);
    ClearMap = makeButton(QStringLiteral("ClearMap"), QStringLiteral("Clear Map"), central);
    SetupOptions = makeButton(QStringLiteral("SetupOptions"), QStringLiteral("Setup"), central);
    ExitExit = makeButton(QStringLiteral("ExitExit"), QStringLiteral("Exit"), central);
    Offline = new QCheckBox(QStringLiteral("Work Offline"), central);
    Offline->setObjectName(QStringLiteral("Offline"));

    BufferFrame = new QGroupBox(QStringLiteral("Loaded VVT Engine Map"), central);
    BufferFrame->setObjectName(QStringLiteral("BufferFrame"));
    Buffer = new QLabel(G.BufferCaption, BufferFrame);
    Buffer->setObjectName(QStringLiteral("Buffer"));
    Buffer->setMinimumWidth(200);
    auto* frameLayout = new QVBoxLayout(BufferFrame);
    frameLayout->addWidget(Buffer);

    auto* grid = new QGridLayout(central);
    grid->addWidget(EditMap, 0, 0);
    grid->addWidget(GearBoxConfig, 0, 1);
    grid->addWidget(OpenMap, 1, 0);
    grid->addWidget(SaveMap, 1, 1);
    grid->addWidget(ClearMap, 2, 0);
    grid->addWidget(SetupOptions, 2, 1);
    grid->addWidget(BufferFrame, 3, 0, 1, 2);
    grid->addWidget(Offline, 4, 0);
    grid->addWidget(ExitExit, 4, 1);
    setCentralWidget(central);

    buildMenu();

    connect(EditMap, &QPushButton::clicked, this, &Mainmenu::EditMap_Click);
    connect(GearBoxConfig, &QPushButton::clicked, this, &Mainmenu::GearBoxConfig_Click);
    connect(OpenMap, &QPushButton::clicked, this, &Mainmenu::AdvanceLoad_Click);
    connect(SaveMap, &QPushButton::clicked, this, &Mainmenu::AdvanceSave_Click);
    connect(ClearMap, &QPushButton::clicked, this, &Mainmenu::AdvanceClear_Click);
    connect(SetupOptions, &QPushButton::clicked, this, &Mainmenu::SetupOptions_Click);
    connect(ExitExit, &QPushButton::clicked, this, &Mainmenu::AdvanceAllDone_Click);
    connect(Offline, &QCheckBox::clicked, this, &Mainmenu::Offline_Click);
}

Mainmenu::~Mainmenu()
{
    delete vvt_;
    delete gearbox_;
}

Changadv* Mainmenu::vvtWorkspace() const { return vvt_; }

GearboxControl* Mainmenu::gearboxWorkspace() const { return gearbox_; }

void Mainmenu::buildMenu()
{
    AdvanFile = menuBar()->addMenu(QStringLiteral("File"));
    AdvanFile->setObjectName(QStringLiteral("AdvanFile"));
    const auto item = [this](QMenu* menu, const QString& name, const QString& caption) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(name);
        return action;
    };
    AdvanceLoad = item(AdvanFile, QStringLiteral("AdvanceLoad"), QStringLiteral("Open"));
    AdvanceSave = item(AdvanFile, QStringLiteral("AdvanceSave"), QStringLiteral("Save As"));
    AdvanFile->addSeparator();
    AdvanEdit = AdvanFile->addMenu(QStringLiteral("Edit"));
    AdvanEdit->setObjectName(QStringLiteral("AdvanEdit"));
    AdvanceEdit = item(AdvanEdit, QStringLiteral("AdvanceEdit"), QStringLiteral("Engine VVT Map"));
    AdvanceClear = item(AdvanFile, QStringLiteral("AdvanceClear"), QStringLiteral("Clear"));
    AdvanFile->addSeparator();
    ProgSetup = item(AdvanFile, QStringLiteral("ProgSetup"), QStringLiteral("Setup"));
    ResetWindowsItem = item(AdvanFile, QStringLiteral("ResetWindows"), QStringLiteral("Reset Windows"));
    AdvanFile->addSeparator();
    RemoteSupport = item(AdvanFile, QStringLiteral("RemoteSupport"), QStringLiteral("Remote Support"));
    AdvanFile->addSeparator();
    AdvanceAllDone = item(AdvanFile, QStringLiteral("AdvanceAllDone"), QStringLiteral("Exit"));

    connect(AdvanceLoad, &QAction::triggered, this, &Mainmenu::AdvanceLoad_Click);
    connect(AdvanceSave, &QAction::triggered, this, &Mainmenu::AdvanceSave_Click);
    connect(AdvanceEdit, &QAction::triggered, this, &Mainmenu::EditMap_Click);
    connect(AdvanceClear, &QAction::triggered, this, &Mainmenu::AdvanceClear_Click);
    connect(ProgSetup, &QAction::triggered, this, &Mainmenu::SetupOptions_Click);
    connect(ResetWindowsItem, &QAction::triggered, this, &Mainmenu::ResetWindows_Click);
    connect(RemoteSupport, &QAction::triggered, this, &Mainmenu::RemoteSupport_Click);
    connect(AdvanceAllDone, &QAction::triggered, this, &Mainmenu::AdvanceAllDone_Click);
}

void Mainmenu::initialiseState()
{
    G.BufferCaption = QStringLiteral("Empty");
    G.CurrentMapSlot = 1;
    for (auto& row : G.AdvanceMap) {
        for (auto& slot : row)
            slot.fill(MapCell(0));
    }
    InitCommandTable();
    ResetAllCellColours();
    G.ThrottlePotLaw = QStringLiteral("01");
    G.ThrottleSense = QStringLiteral("00");
    G.CamParams = kDefaultCamParams;
    mapCaptionChanged();
}

void Mainmenu::runInstallStep()
{
    Setup::SetNoErrorMsg(true);
    LoadConfigSettings();
    SaveConfigSettings();
    ResetWindows();
    ComPort probePort(QStringLiteral("SetupCom"));
    FindComPorts(probePort);
}

bool Mainmenu::load(const QString& commandLine)
{
    RestoreWindowPosition(*this, places::mainmenu());
    LoadConfigSettings();
    if (commandLine == QLatin1String("Install")) {
        runInstallStep();
        return false;
    }
    initialiseState();

    if (!commandLine.isEmpty()) {
        QString path = commandLine;
        path.remove(QLatin1Char('"'));
        if (LoadMapFile(path)) {
            G.BufferCaption = mapNameOfFile(path);
            mapCaptionChanged();
        }
    }
    show();
    return true;
}

void Mainmenu::openVvtWorkspace()
{
    if (!vvt_)
        vvt_ = new Changadv(*this);
    vvt_->show();
    vvt_->raise();
}

void Mainmenu::EditMap_Click()
{
    if (!EditMap->isEnabled())
        return;
    if (G.OfflineMode) {
        openVvtWorkspace();
        return;
    }
    hide();
    openVvtWorkspace();
    if (G.DisplayDebug)
        debugWindow().show();
}

void Mainmenu::GearBoxConfig_Click()
{
    if (!GearBoxConfig->isEnabled())
        return;
    hide();
    if (!gearbox_)
        gearbox_ = new GearboxControl(*this);
    gearbox_->show();
    gearbox_->raise();
    if (G.DisplayDebug)
        debugWindow().show();
}

void Mainmenu::SetupOptions_Click() { Setup::showModal(this); }

void Mainmenu::Offline_Click() { G.OfflineMode = Offline->isChecked(); }

void Mainmenu::AdvanceClear_Click()
{
    if (!ClearMap->isEnabled())
        return;
    if (MsgBox(QStringLiteral("Do you really want to clear the map?"), Buttons::YesNo, Icon::Question,
               QStringLiteral("Warning"), Answer::No) != Answer::Yes)
        return;
    const int slot = G.CurrentMapSlot;
    for (int column = 0; column < kMapUsedColumns; ++column) {
        for (int row = 0; row < kMapRows; ++row)
            G.AdvanceMap[row][slot][column].reset();
    }
    G.MapChanged[slot] = 0;
    G.MapChecksum[slot] = 0;
    G.BufferCaption = QStringLiteral("Empty");
    ResetMapCellColours(slot);
    mapCaptionChanged();
    refreshOfflineWorkspace();
}

void Mainmenu::AdvanceLoad_Click()
{
    if (!OpenMap->isEnabled())
        return;
    OpenMapFile();
    mapCaptionChanged();
    refreshOfflineWorkspace();
}

void Mainmenu::AdvanceSave_Click()
{
    if (!SaveMap->isEnabled())
        return;
    SaveMapFile();
    mapCaptionChanged();
    // Writing the file clears the change colours.
    refreshOfflineWorkspace();
}

void Mainmenu::refreshOfflineWorkspace()
{
    // Offline the workspace stays open beside this window: the map it shows must be the one
    // that a later save writes.
    if (G.OfflineMode && vvt_ && vvt_->isVisible())
        vvt_->Fill_Display();
}

void Mainmenu::ResetWindows_Click() { ResetWindows(); }

QString Mainmenu::remoteSupportProgram()
{
#ifdef Q_OS_WIN
    return QStringLiteral("VantorexSupport.exe");
#else
    return QStringLiteral("VantorexSupport");
#endif
}

void Mainmenu::RemoteSupport_Click()
{
    const QString program = G.ProgramFolder + remoteSupportProgram();
    if (!QFileInfo(program).isExecutable() || !QProcess::startDetached(program, {}, G.ProgramFolder)) {
        MsgBox(QStringLiteral("The remote support program could not be started:\n%1").arg(program),
               Buttons::Ok, Icon::Exclamation);
    }
}

bool Mainmenu::AdvanceAllDone_Click()
{
    if (ending_)
        return true;
    const int slot = 1;
    if (G.MapChanged[slot] == 1) {
        const Answer answer = MsgBox(G.BufferCaption + QStringLiteral(" has changed, save before exiting?"),
                                     Buttons::YesNoCancel, Icon::Question, QStringLiteral("Warning"));
        if (answer == Answer::Cancel)
            return false;
        if (answer == Answer::Yes) {
            const FileResult saved =
                WriteMapFile(G.MapFolder + G.BufferCaption + QStringLiteral(".cam"));
            if (!saved.ok) {
                // Ending now would lose the edited map.
                MsgBox(QStringLiteral("The map could not be saved, the program keeps running:\n%1")
                           .arg(saved.errorText),
                       Buttons::Ok, Icon::Critical, QStringLiteral("Fatal Error"));
                return false;
            }
        }
    }
    SaveWindowPosition(*this, places::mainmenu());
    ending_ = true;
    emit ended();
    return true;
}

void Mainmenu::closeEvent(QCloseEvent* event)
{
    if (AdvanceAllDone_Click())
        event->accept();
    else
        event->ignore();
}

void Mainmenu::showMainWindow()
{
    mapCaptionChanged();
    show();
    raise();
}

void Mainmenu::mapCaptionChanged() { Buffer->setText(G.BufferCaption); }

void Mainmenu::disableMapFunctions()
{
    EditMap->setEnabled(false);
    OpenMap->setEnabled(false);
    SaveMap->setEnabled(false);
    ClearMap->setEnabled(false);
    Buffer->hide();
    BufferFrame->hide();
    Offline->hide();
    for (QAction* action : {AdvanceLoad, AdvanceSave, AdvanceEdit, AdvanceClear})
        action->setEnabled(false);
    AdvanEdit->setEnabled(false);
}

void Mainmenu::disableGearboxButton() { GearBoxConfig->setEnabled(false); }

} // namespace vx
