#include "vvt/map_model.h"

#include "serial/hex.h"

namespace vx {

QString cellText(int value)
{
    return value < 0 ? QString::number(value) : QLatin1Char(' ') + QString::number(value);
}

QString cellText(const MapCell& value)
{
    return value ? cellText(*value) : QString();
}

qint64 mapChecksumOf(int slot)
{
    qint64 sum = 0;
    for (int column = 0; column < kMapUsedColumns; ++column) {
        for (int row = 0; row < kMapRows; ++row) {
            const MapCell& cell = G.AdvanceMap[row][slot][column];
            if (cell)
                sum += *cell >= 0 ? *cell : *cell + 256;
        }
    }
    return -sum - 1;
}

void ComputeMapChecksum()
{
    G.MapChecksum[G.CurrentMapSlot] = mapChecksumOf(G.CurrentMapSlot);
}

QString checksumDigits(qint64 checksum)
{
    return hexPadded(static_cast<qint64>(static_cast<quint32>(checksum)), 8);
}

} // namespace vx
