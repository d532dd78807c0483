#include "mapfile/map_file.h"

#include "common/globals.h"
#include "common/prompts.h"
#include "mapfile/value_file.h"
#include "serial/hex.h"

#include <QFileInfo>

#include <cmath>
#include <limits>
#include <optional>

namespace vx {

using namespace mapfile;

namespace {

int slot() { return G.CurrentMapSlot; }

QString folderOf(const QString& path)
{
    QString folder = QFileInfo(path).path();
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

bool looksIllegal(const QString& title)
{
    static const QString forbidden = QStringLiteral("<>:\"/\\|?*");
    for (const QChar c : title) {
        if (forbidden.contains(c) || c.unicode() < 32)
            return true;
    }
    return title.trimmed().isEmpty();
}

// A load reads into these first and changes the program's state only when the file is whole.
struct LoadedMap
{
    bool hasCamTable = false;
    std::array<MapCell, kMapCells> cells{};
    qint64 checksum = 0;
    std::array<double, kCamParamCount> camParams{};
    std::optional<int> cylinders;
    std::optional<int> trigger;
    std::optional<int> crank;
};

// Reads one number; a missing value or one that is not a number is a read error. The number
// parser also takes "inf" and "nan", which no map value can be.
bool readNumber(ValueReader& reader, double& out, QString& error)
{
    const std::optional<QString> value = reader.next();
    if (!value) {
        error = kPastEndOfFile;
        return false;
    }
    bool ok = false;
    out = value->trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(out)) {
        error = kTypeMismatch;
        return false;
    }
    return true;
}

} // namespace

QString mapNameOfFile(const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    return name.left(qMax<qsizetype>(0, name.size() - 4));
}

FileResult WriteMapFile(const QString& path)
{
    G.CurrentMapFile = path;
    ValueWriter out;
    out.text(kFileVersion);
    out.number(1);
    out.text(kCamTable);
    out.number(1);
    for (int column = 0; column < kMapUsedColumns; ++column) {
        for (int row = 0; row < kMapRows; ++row) {
            MapCell& cell = G.AdvanceMap[row][slot()][column];
            if (!cell)
                cell = 0;
            out.number(*cell);
        }
    }
    out.number(static_cast<double>(G.MapChecksum[slot()]));
    for (double parameter : G.CamParams)
        out.number(parameter);
    out.text(kEngineParams);
    out.number(1);
    out.number(G.CylinderCount);
    out.number(G.TriggerType);
    out.number(G.CrankSensorType);
    if (!out.save(path))
        return {false, out.errorText()};
    G.MapChanged[slot()] = 0;
    if (G.OfflineMode)
        ResetMapCellColours(slot());
    return {};
}

namespace {

// Reads one whole number that may be left empty.
std::optional<QString> readOptionalWhole(ValueReader& reader, std::optional<int>& out)
{
    const std::optional<QString> text = reader.next();
    if (!text)
        return kPastEndOfFile;
    if (text->trimmed().isEmpty())
        return std::nullopt;
    bool ok = false;
    const double number = text->trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(number))
        return kTypeMismatch;
    // Cells and engine parameters are 16-bit integers; a larger number cannot be one.
    if (!(number > std::numeric_limits<qint16>::min() - 0.5 &&
          number < std::numeric_limits<qint16>::max() + 0.5))
        return kOverflow;
    out = static_cast<int>(roundHalfEven(number));
    return std::nullopt;
}

// Reads the sections after "File Version"; the error text of a damaged file, if any.
std::optional<QString> readSections(ValueReader& reader, LoadedMap& map, QStringList& messages)
{
    QString error;
    double value = 0;
    if (reader.findSection(kCamTable)) {
        if (!readNumber(reader, value, error))
            return error;
        if (value == 1) {
            map.hasCamTable = true;
            for (MapCell& cell : map.cells) {
                if (const auto failed = readOptionalWhole(reader, cell))
                    return failed;
            }
            if (!readNumber(reader, value, error))
                return error;
            if (std::abs(value) > std::numeric_limits<qint32>::max())
                return kOverflow;
            map.checksum = static_cast<qint64>(value);
            for (double& parameter : map.camParams) {
                if (!readNumber(reader, parameter, error))
                    return error;
            }
        } else {
            messages << QStringLiteral("Ignition table version not supported in file, loading defaults");
        }
    } else {
        messages << QStringLiteral("Ignition table not found in file, loading defaults");
    }

    if (reader.findSection(kEngineParams)) {
        if (!readNumber(reader, value, error))
            return error;
        if (value == 1) {
            for (std::optional<int>* target : {&map.cylinders, &map.trigger, &map.crank}) {
                if (const auto failed = readOptionalWhole(reader, *target))
                    return failed;
            }
        } else {
            messages << QStringLiteral("Engine parameters version not supported in file, loading defaults");
        }
    } else {
        messages << QStringLiteral("Engine parameters not found in file, loading defaults");
    }
    return std::nullopt;
}

} // namespace

bool LoadMapFile(const QString& path)
{
    G.CurrentMapFile = path;
    ValueReader reader;
    if (!reader.open(path)) {
        MsgBox(reader.errorText(), Buttons::Ok, Icon::None, QStringLiteral("Error"));
        return false;
    }
    if (!reader.findSection(kFileVersion)) {
        MsgBox(QStringLiteral("Unknown file type"));
        return false;
    }
    QString error;
    double version = 0;
    if (!readNumber(reader, version, error)) {
        MsgBox(error, Buttons::Ok, Icon::None, QStringLiteral("Error"));
        return false;
    }
    if (version != 1) {
        // Showing such a file as loaded would let the next save write the old map under its name.
        MsgBox(QStringLiteral("File Version %1 is not supported, the map file was not loaded")
                   .arg(formatNumber(version)));
        return false;
    }

    // The file is read whole before anything changes, so a damaged file leaves the map as it was.
    LoadedMap map;
    QStringList messages;
    if (const std::optional<QString> failed = readSections(reader, map, messages)) {
        MsgBox(*failed, Buttons::Ok, Icon::None, QStringLiteral("Error"));
        return false;
    }
    for (const QString& message : messages)
        MsgBox(message);

    for (int i = 0; i < kMapCells; ++i)
        G.AdvanceMap[i % kMapRows][slot()][i / kMapRows] = map.hasCamTable ? map.cells[i] : MapCell(0);
    if (map.hasCamTable) {
        G.MapChanged[slot()] = 0;
        G.MapChecksum[slot()] = map.checksum;
        G.CamParams = map.camParams;
    }
    if (map.cylinders)
        G.CylinderCount = *map.cylinders;
    if (map.trigger)
        G.TriggerType = *map.trigger;
    if (map.crank)
        G.CrankSensorType = *map.crank;
    G.MapLoaded = true;
    return true;
}

bool SaveMapFileAs(const QString& defaultName, bool writeNow)
{
    for (;;) {
        const std::optional<QString> chosen =
            prompts().saveFile(FileRequest{G.MapFolder + defaultName, QStringLiteral("Cam maps (*.cam)"), QString()});
        if (!chosen)
            return false;
        QString title = QFileInfo(*chosen).fileName();
        G.MapFolder = folderOf(*chosen);

        if (!title.endsWith(QLatin1String(".cam"), Qt::CaseInsensitive)) {
            if (title.contains(QLatin1Char('.'))) {
                MsgBox(QStringLiteral("Invalid file extention, must be .cam"), Buttons::Ok, Icon::None,
                       QStringLiteral("Warning"));
                continue;
            }
            title += QLatin1String(".cam");
        }
        if (title.size() > kMaxTitleLength) {
            MsgBox(QStringLiteral("Filename too long, maximum of 25 characters"), Buttons::Ok,
                   Icon::None, QStringLiteral("Warning"));
            continue;
        }
        if (looksIllegal(title)) {
            MsgBox(QStringLiteral("Illegal file name"), Buttons::Ok, Icon::None, QStringLiteral("Warning"));
            continue;
        }
        const QString path = G.MapFolder + title;
        if (writeNow && QFileInfo::exists(path)) {
            if (MsgBox(title + QStringLiteral(" already exists, overwrite it?"), Buttons::YesNo,
                       Icon::None, QStringLiteral("Warning"), Answer::No) != Answer::Yes)
                continue;
        }
        G.BufferCaption = title.left(title.indexOf(QLatin1Char('.')));
        if (writeNow) {
            const FileResult written = WriteMapFile(path);
            if (!written.ok) {
                MsgBox(written.errorText, Buttons::Ok, Icon::None, QStringLiteral("Fatal Error"));
                return false;
            }
        }
        return true;
    }
}

void OpenMapFile()
{
    const std::optional<QString> chosen = prompts().openFile(
        FileRequest{G.MapFolder + QStringLiteral("*.cam"), QStringLiteral("Cam maps (*.cam)"), QString()});
    if (!chosen)
        return;
    G.MapFolder = folderOf(*chosen);
    if (G.BufferCaption != QLatin1String("Empty")) {
        if (MsgBox(QStringLiteral("Map %1 already contains valid data, OK to overwrite?").arg(G.CurrentMapSlot),
                   Buttons::OkCancel, Icon::Question, QStringLiteral("Warning"), Answer::Cancel) != Answer::Ok)
            return;
    }
    if (LoadMapFile(*chosen))
        G.BufferCaption = mapNameOfFile(*chosen);
}

void SaveMapFile()
{
    if (G.BufferCaption == QLatin1String("Empty")) {
        MsgBox(QStringLiteral("Map %1 is empty").arg(G.CurrentMapSlot), Buttons::Ok, Icon::Exclamation,
               QStringLiteral("Warning"));
        return;
    }
    SaveMapFileAs(G.BufferCaption + QStringLiteral(".cam"), true);
}

} // namespace vx
