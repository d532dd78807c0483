#include "vvt/map_records.h"

#include "common/globals.h"
#include "serial/command_table.h"
#include "serial/hex.h"
#include "vvt/map_model.h"

namespace vx {

std::array<quint8, 32> columnBytes(int slot, int column)
{
    std::array<quint8, 32> bytes{};
    for (int row = 0; row < kMapRows; ++row) {
        const MapCell& cell = G.AdvanceMap[row][slot][column];
        bytes[row] = cell ? static_cast<quint8>(*cell & 0xFF) : 0;
    }
    return bytes;
}

QString s3Record(quint32 address, const std::array<quint8, 32>& data)
{
    constexpr quint8 count = 0x25;
    unsigned sum = count;
    QString record = QStringLiteral("S3") + hexPadded(count, 2) + hexPadded(address, 8);
    for (int shift = 24; shift >= 0; shift -= 8)
        sum += (address >> shift) & 0xFF;
    for (const quint8 byte : data) {
        record += hexPadded(byte, 2);
        sum += byte;
    }
    return record + hexPadded(~sum & 0xFF, 2);
}

QString columnRecord(int slot, int column)
{
    return s3Record(static_cast<quint32>(column) * 32, columnBytes(slot, column));
}

QString nameLine(const QString& mapName)
{
    return mapName + QStringLiteral(".cam") + Command(cmd::na);
}

QString checksumLine(qint64 checksum)
{
    return checksumDigits(checksum) + Command(cmd::ch);
}

} // namespace vx
