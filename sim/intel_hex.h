#pragma once

#include "sim/hex_image.h"

#include <QByteArray>
#include <QtGlobal>

#include <optional>

namespace vx::sim::ihex {

enum RecordType : quint8
{
    kData = 0x00,
    kEndOfFile = 0x01,
    kExtendedSegmentAddress = 0x02,
    kStartSegmentAddress = 0x03,
    kExtendedLinearAddress = 0x04,
    kStartLinearAddress = 0x05,
};

struct Record
{
    quint8 type = kData;
    quint16 address = 0;
    QByteArray data;
};

// One record line without its line end: ":", byte count, address, type, data and checksum as
// hexadecimal digit pairs. Nothing when the line is not a well-formed record or its checksum is
// wrong.
std::optional<Record> parseRecord(const QByteArray& line);

// The text of one record, checksum included, in upper-case digits.
QByteArray recordLine(quint8 type, quint16 address, const QByteArray& data);

// Places the records of one file into an image, following the extended address records.
class ImageBuilder
{
public:
    explicit ImageBuilder(HexImage& image) : m_image(image) {}

    // False for a record type this loader does not know.
    bool take(const Record& record);
    void reset() { m_base = 0; }

private:
    HexImage& m_image;
    quint32 m_base = 0;
};

// The whole image as an Intel HEX file: data records of up to bytesPerRecord bytes, an extended
// linear address record wherever the upper 16 address bits change, the end-of-file record, each
// line ended by CR LF.
QByteArray encode(const HexImage& image, int bytesPerRecord = 16);

} // namespace vx::sim::ihex
