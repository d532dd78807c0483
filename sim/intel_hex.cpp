#include "sim/intel_hex.h"

#include <algorithm>

namespace vx::sim::ihex {

namespace {

int digitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

std::optional<Record> parseRecord(const QByteArray& line)
{
    // ":" and at least count, address, type and checksum.
    if (line.size() < 11 || line.front() != ':' || (line.size() - 1) % 2 != 0)
        return std::nullopt;
    QByteArray bytes;
    bytes.reserve((line.size() - 1) / 2);
    for (qsizetype i = 1; i < line.size(); i += 2) {
        const int high = digitValue(line[i]);
        const int low = digitValue(line[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes.append(static_cast<char>(high * 16 + low));
    }
    const auto byteAt = [&](qsizetype i) { return static_cast<quint8>(bytes[i]); };
    const int count = byteAt(0);
    if (bytes.size() != count + 5)
        return std::nullopt;
    quint8 sum = 0;
    for (const char b : bytes)
        sum = static_cast<quint8>(sum + static_cast<quint8>(b));
    if (sum != 0)
        return std::nullopt;

    Record record;
    record.address = static_cast<quint16>(byteAt(1) << 8 | byteAt(2));
    record.type = byteAt(3);
    record.data = bytes.mid(4, count);
    return record;
}

QByteArray recordLine(quint8 type, quint16 address, const QByteArray& data)
{
    QByteArray bytes;
    bytes.append(static_cast<char>(data.size()));
    bytes.append(static_cast<char>(address >> 8));
    bytes.append(static_cast<char>(address & 0xFF));
    bytes.append(static_cast<char>(type));
    bytes.append(data);
    quint8 sum = 0;
    for (const char b : bytes)
        sum = static_cast<quint8>(sum + static_cast<quint8>(b));
    bytes.append(static_cast<char>(static_cast<quint8>(-sum)));
    return ':' + bytes.toHex().toUpper();
}

bool ImageBuilder::take(const Record& record)
{
    const auto word = [&] {
        return record.data.size() == 2
                   ? static_cast<quint32>(static_cast<quint8>(record.data[0]) << 8 |
                                          static_cast<quint8>(record.data[1]))
                   : 0u;
    };
    switch (record.type) {
    case kData:
        m_image.write(m_base + record.address, record.data);
        return true;
    case kEndOfFile:
    case kStartSegmentAddress:
    case kStartLinearAddress:
        return true;
    case kExtendedSegmentAddress:
        if (record.data.size() != 2)
            return false;
        m_base = word() << 4;
        return true;
    case kExtendedLinearAddress:
        if (record.data.size() != 2)
            return false;
        m_base = word() << 16;
        return true;
    default:
        return false;
    }
}

QByteArray encode(const HexImage& image, int bytesPerRecord)
{
    bytesPerRecord = std::clamp(bytesPerRecord, 1, 255);
    QByteArray text;
    quint32 upper = 0;
    const auto addLine = [&](const QByteArray& line) { text.append(line).append("\r\n"); };
    for (const auto& [start, bytes] : image.segments()) {
        qsizetype offset = 0;
        while (offset < bytes.size()) {
            const quint32 address = start + static_cast<quint32>(offset);
            if (address >> 16 != upper) {
                upper = address >> 16;
                const char high[] = {static_cast<char>(upper >> 8),
                                     static_cast<char>(upper & 0xFF)};
                addLine(recordLine(kExtendedLinearAddress, 0, QByteArray(high, 2)));
            }
            const qsizetype toBoundary = 0x10000 - (address & 0xFFFF);
            const qsizetype count =
                std::min<qsizetype>({bytesPerRecord, bytes.size() - offset, toBoundary});
            addLine(recordLine(kData, static_cast<quint16>(address & 0xFFFF),
                               bytes.mid(offset, count)));
            offset += count;
        }
    }
    addLine(recordLine(kEndOfFile, 0, {}));
    return text;
}

} // namespace vx::sim::ihex
