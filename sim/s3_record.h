#pragma once

#include <QByteArray>

#include <optional>

namespace vx::sim {

// A Motorola S3 data record as the engine controller takes map columns: "S3", count 25, a
// four-byte address, 32 data bytes and the checksum (ones' complement of the low byte of the sum
// of count, address and data bytes).
struct S3Record
{
    quint32 address = 0;
    QByteArray data; // 32 bytes
};

// The record, or nothing when its form, count or checksum is wrong.
std::optional<S3Record> parseS3Record(const QByteArray& line);

// The termination record that ends an upload.
inline constexpr char kS7Termination[] = "S70500004000BA";

} // namespace vx::sim
