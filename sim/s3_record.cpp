#include "sim/s3_record.h"

namespace vx::sim {

namespace {

std::optional<QByteArray> hexBytes(const QByteArray& digits)
{
    for (const char c : digits) {
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')))
            return std::nullopt;
    }
    return QByteArray::fromHex(digits);
}

} // namespace

std::optional<S3Record> parseS3Record(const QByteArray& line)
{
    constexpr int kCount = 0x25;
    if (line.size() != 2 + 2 * (1 + kCount) || !line.startsWith("S3"))
        return std::nullopt;
    const std::optional<QByteArray> bytes = hexBytes(line.mid(2));
    if (!bytes || static_cast<quint8>(bytes->at(0)) != kCount)
        return std::nullopt;
    unsigned sum = 0;
    for (int i = 0; i < bytes->size() - 1; ++i)
        sum += static_cast<quint8>(bytes->at(i));
    if ((~sum & 0xFF) != static_cast<quint8>(bytes->back()))
        return std::nullopt;
    S3Record record;
    for (int i = 1; i <= 4; ++i)
        record.address = (record.address << 8) | static_cast<quint8>(bytes->at(i));
    record.data = bytes->mid(5, 32);
    return record;
}

} // namespace vx::sim
