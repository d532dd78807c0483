#pragma once

#include "common/globals.h"

#include <QString>

namespace vx {

// The cam advance map as the grid shows it: cell i is column (i div 30), row (i mod 30).
inline constexpr int kCellMin = 0;
inline constexpr int kCellMax = 60;
// A value the controller may report for a cell it never set; the grid shows it as 0.
inline constexpr int kHiddenCellMarker = -99;

inline int GetRpmOffsetFromIndex(int index)
{
    return index % kMapRows;
}
inline int GetThrotFromIndex(int index)
{
    return index / kMapRows;
}
inline int cellIndex(int row, int column)
{
    return column * kMapRows + row;
}

// A value as a cell shows it: one leading space unless negative (" 25", "-4"); nothing for an
// empty cell.
QString cellText(const MapCell& value);
QString cellText(int value);

// The sum of the current slot's cells as unsigned bytes, complemented: an all-zero map gives -1.
qint64 mapChecksumOf(int slot);
// Stores the current slot's checksum in MapChecksum.
void ComputeMapChecksum();

// The eight hexadecimal digits the controller keeps for a checksum: its 32-bit two's complement.
QString checksumDigits(qint64 checksum);

} // namespace vx
