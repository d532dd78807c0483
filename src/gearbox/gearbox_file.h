#pragma once

#include <QHash>
#include <QList>
#include <QString>

#include <optional>

namespace vx {
class ValueReader;
}

namespace vx::gearbox {

// The values a ".gbx" file holds, by the name of what shows them: the boxes by their control
// names, "SwapPaddles" and "BrakeFromNeutral" as 0 or 1, "BarrelGear_i" and "RamGear_i" for the
// gear rows, "GearPatternCode", "RPMMatchMode" (0 or 1) and "AutoShiftOption" (the mode index,
// 4 when none). A missing name is written as 0.
using GearboxValues = QHash<QString, double>;

inline const QString kFileVersionName = QStringLiteral("File Version");
inline const QString kGearboxParametersName = QStringLiteral("Gearbox Parameters");

// The whole file, version 1, as the lines a value file writer takes. False with the writer's
// error text when the file could not be replaced.
bool writeGearboxFile(const QString& path, const GearboxValues& values, QString* errorText);

// One value of a file ready to go to the controller.
struct SendItem
{
    double value;
    QString command;
    int width;
};

// The values after the heading (from line 4 on), checked as a whole: every value present, a
// number where one is expected and within its setting's range (after the version 2 scaling).
// Nothing when any value fails, so that a damaged file sends nothing.
std::optional<QList<SendItem>> readGearboxValues(ValueReader& reader, int version);

} // namespace vx::gearbox
