#pragma once

#include <QString>

namespace vx {

// The ".cam" map file: the cam advance map of the current slot with its checksum, the twelve
// cam parameters and the engine parameters.

struct FileResult
{
    bool ok = true;
    QString errorText;
};

// Writes the whole file for the current slot; the old file stays until the new one is complete.
// On success the map counts as saved (MapChanged cleared).
FileResult WriteMapFile(const QString& path);

// Reads a map file into the current slot and the engine parameters, with the messages for
// missing or unsupported sections. True when the map was loaded.
bool LoadMapFile(const QString& path);

// The save dialog flow with the program's name rules. On True the label names the map and,
// with writeNow, the file was written.
bool SaveMapFileAs(const QString& defaultName, bool writeNow);

// The main window's Open: choose a file, confirm overwriting a loaded map, load it.
void OpenMapFile();
// The main window's Save As.
void SaveMapFile();

// The map name shown for a file: its name without folder and without its last four characters.
QString mapNameOfFile(const QString& path);

namespace mapfile {
inline const QString kFileVersion = QStringLiteral("File Version");
inline const QString kCamTable = QStringLiteral("Cam Table");
inline const QString kEngineParams = QStringLiteral("Engine Params");
inline constexpr int kMaxTitleLength = 29; // 25 characters and ".cam"
} // namespace mapfile

} // namespace vx
