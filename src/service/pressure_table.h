#pragma once

#include <QString>
#include <QStringList>

#include <array>

namespace vx {

// psi for every 8-bit reading of the air-pressure sensor, as the gearbox controller looks it up.
inline constexpr int kPressureTableEntries = 256;
using PressureTable = std::array<int, kPressureTableEntries>;

// The table travels as eight S3 records of 32 entries each, then the termination record.
inline constexpr int kPressureRecordEntries = 32;
inline constexpr int kPressureRecords = kPressureTableEntries / kPressureRecordEntries;
inline const QString kPressureTableEnd = QStringLiteral("S70500004000BA");

// The table for the calibration points in AirPressZeroVolts and AirPress140Volts: reading i is
// i / 255 * 5 volts; psi rounded half to even and never below 0; reading 0 is 0 psi.
PressureTable BuildPressureTable();

// S3 record number record (0..7) of the table, entries above 255 sent as 255.
QString PressureTableRecord(const PressureTable& table, int record);

} // namespace vx
