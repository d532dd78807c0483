#pragma once

#include <QByteArray>
#include <QString>

#include <array>

namespace vx {

// The lines of a map upload: one Motorola S3 record per map column (32 bytes at column x 32),
// the termination record, the map's name and its checksum.
inline const QString kTerminationRecord = QStringLiteral("S70500004000BA");

// The 32 bytes of a column as the controller holds them: rows 0..29, then two zero bytes.
std::array<quint8, 32> columnBytes(int slot, int column);
// The record of data bytes at an address: "S3", count 25, address, data, checksum.
QString s3Record(quint32 address, const std::array<quint8, 32>& data);
QString columnRecord(int slot, int column);
// The map name line ("name.camna") and the checksum line ("FFFFFF00ch").
QString nameLine(const QString& mapName);
QString checksumLine(qint64 checksum);

} // namespace vx
