#pragma once

#include "app/shell.h"

#include <QMainWindow>
#include <QPointer>

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;

namespace vx {

class Changadv;
class GearboxControl;

// The first window: loads the options, shows which map is loaded and opens the workspaces, the
// setup dialog and the map file operations.
class Mainmenu : public QMainWindow, public Shell
{
    Q_OBJECT
public:
    explicit Mainmenu(QWidget* parent = nullptr);
    ~Mainmenu() override;

    // The start-up steps, up to showing the window. The command line is "Install" (create the
    // settings and end: returns false), a map file path, or empty.
    bool load(const QString& commandLine);

    void EditMap_Click();
    void GearBoxConfig_Click();
    void SetupOptions_Click();
    void Offline_Click();
    void AdvanceClear_Click();
    void AdvanceLoad_Click();
    void AdvanceSave_Click();
    void ResetWindows_Click();
    void RemoteSupport_Click();
    // Asks to save a changed map and ends the program; false when the user stayed.
    bool AdvanceAllDone_Click();

    Changadv* vvtWorkspace() const;
    GearboxControl* gearboxWorkspace() const;

    // Shell
    void showMainWindow() override;
    void mapCaptionChanged() override;
    void disableMapFunctions() override;
    void disableGearboxButton() override;

    // The file name of the remote-support program in the program folder.
    static QString remoteSupportProgram();

signals:
    // The user left the program: every window closes.
    void ended();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenu();
    void runInstallStep();
    void initialiseState();
    void openVvtWorkspace();
    void refreshOfflineWorkspace();

    QPushButton* GearBoxConfig = nullptr;
    QPushButton* ClearMap = nullptr;
    QPushButton* SetupOptions = nullptr;
    QPushButton* OpenMap = nullptr;
    QPushButton* SaveMap = nullptr;
    QPushButton* EditMap = nullptr;
    QCheckBox* Offline = nullptr;
    QPushButton* ExitExit = nullptr;
    QGroupBox* BufferFrame = nullptr;
    QLabel* Buffer = nullptr;

    QMenu* AdvanFile = nullptr;
    QAction* AdvanceLoad = nullptr;
    QAction* AdvanceSave = nullptr;
    QMenu* AdvanEdit = nullptr;
    QAction* AdvanceEdit = nullptr;
    QAction* AdvanceClear = nullptr;
    QAction* ProgSetup = nullptr;
    QAction* ResetWindowsItem = nullptr;
    QAction* RemoteSupport = nullptr;
    QAction* AdvanceAllDone = nullptr;

    QPointer<Changadv> vvt_;
    QPointer<GearboxControl> gearbox_;
    bool ending_ = false;
};

} // namespace vx
