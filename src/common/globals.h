#pragma once

#include <QColor>
#include <QString>

#include <array>
#include <optional>

namespace vx {

inline constexpr int kCommandCount = 214;
inline constexpr int kPortCount = 17;
inline constexpr int kMapRows = 30;
inline constexpr int kMapSlots = 6;
inline constexpr int kMapColumns = 9;     // allocated; the controller uses the first eight
inline constexpr int kMapUsedColumns = 8; // inlet bands 0..3, exhaust bands 4..7
inline constexpr int kMapCells = kMapRows * kMapUsedColumns;
inline constexpr int kCamParamCount = 12;

// A map cell holds whole degrees of cam advance, or nothing (a cleared map).
using MapCell = std::optional<int>;
using AdvanceMapTable =
    std::array<std::array<std::array<MapCell, kMapColumns>, kMapSlots>, kMapRows>;

inline constexpr std::array<double, kCamParamCount> kDefaultCamParams{70, 80, 70, 70, 80, 70,
                                                                      2,  7,  10, 2,  5,  5};

// State shared between the windows of the program. Everything lives in one object so that a
// test can put the whole program back to its start state with resetGlobals().
struct Globals
{
    // Serial link
    QString RxBuffer;    // every character received on whichever port is open
    int ReplyWaiting = 0; // 1 while a reply wait runs; the reply time-out timer clears it
    std::array<QString, kCommandCount> CommandTable;
    QString CR = QStringLiteral("\r");
    QString LF = QStringLiteral("\n");
    int ComPortNumber = 1;
    int ControllerConnected = 0;

    // Options from the settings store
    int CylinderCount = 4;
    int TriggerType = 1;
    int CrankSensorType = 0;
    bool DisplayDebug = false;
    bool PaddlesSwapped = false;
    int ProgSettingsFromECU = 1;
    QString ProgramFolder; // all folders end with a separator
    QString MapFolder;
    QString DataLogFolder;
    QString DebugFolder;
    QString FirmwareFolder;

    // The connected controller
    int PollState = 0;
    int FirmwareVersionNumber = 0; // major * 10000 + minor * 100 + build
    bool VvtEcuType = false;

    // The cam advance map and what travels with it
    bool OfflineMode = false;
    int CurrentMapSlot = 1;
    AdvanceMapTable AdvanceMap{};
    std::array<int, kMapSlots> MapChanged{};
    std::array<qint64, kMapSlots> MapChecksum{};
    bool MapLoaded = false;
    QString CurrentMapFile;
    QString BufferCaption = QStringLiteral("Empty"); // name of the map in the current slot
    std::array<double, kCamParamCount> CamParams = kDefaultCamParams;
    // Text colour of every cell; an invalid colour means the normal window-text colour.
    std::array<std::array<QColor, kMapCells>, kMapSlots> CellColourB{};

    bool FileMissing = false;
    QString ControllerPassword;
    bool PasswordCancelled = false;

    // Throttle sensor wiring codes sent by the throttle set-up
    QString ThrottlePotLaw = QStringLiteral("01"); // 01 linear, 00 logarithmic
    QString ThrottleSense = QStringLiteral("00");  // 00 normal, 01 inverted

    // Gearbox
    std::optional<int> GearPattern; // last choice in the gear change pattern dialog
    bool BrakeFromNeutralOn = false;
    double AirPressZeroVolts = 0.0;
    double AirPress140Volts = 5.0;
};

extern Globals G;

// Back to the state of a program that has just started (before the options are read).
void resetGlobals();

// The text colour that marks a cell changed since the map was last saved or made permanent.
inline QColor changedCellColour() { return QColor(255, 0, 0); }

void ResetMapCellColours(int slot);
void ResetAllCellColours();

} // namespace vx
