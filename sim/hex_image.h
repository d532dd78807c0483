#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <map>

namespace vx::sim {

// The contents of a controller's program memory as far as it has been written: runs of bytes
// by start address. Touching runs are kept as one, so two images holding the same bytes at the
// same addresses compare equal however they were written.
class HexImage
{
public:
    using Segments = std::map<quint32, QByteArray>;

    // Writes bytes from address on, over whatever was there.
    void write(quint32 address, const QByteArray& bytes);
    void clear() { m_segments.clear(); }

    bool isEmpty() const { return m_segments.empty(); }
    const Segments& segments() const { return m_segments; }
    qint64 byteCount() const;

    bool operator==(const HexImage& other) const { return m_segments == other.m_segments; }
    bool operator!=(const HexImage& other) const { return !(*this == other); }

private:
    Segments m_segments;
};

} // namespace vx::sim
