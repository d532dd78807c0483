#include "sim/firmware_maker.h"

#include "sim/intel_hex.h"

namespace vx::sim {

namespace {

constexpr int kBytesPerRecord = 16;
// ":" count address type, 16 data bytes, checksum, CR LF.
constexpr qint64 kLineBytes = 1 + 2 + 4 + 2 + 2 * kBytesPerRecord + 2 + 2;

// xorshift32: fixed arithmetic, so a sample made on one machine is made the same on any other.
class Bytes
{
public:
    explicit Bytes(quint32 seed) : m_state(seed ? seed : 0x2545F491u) {}
    char next()
    {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return static_cast<char>(m_state >> 24);
    }

private:
    quint32 m_state;
};

} // namespace

TestFirmware makeTestFirmware(const std::vector<FirmwareBlock>& blocks, quint32 seed)
{
    TestFirmware firmware;
    Bytes random(seed);
    for (const FirmwareBlock& block : blocks) {
        QByteArray bytes(static_cast<qsizetype>(block.size), '\0');
        for (char& b : bytes)
            b = random.next();
        firmware.image.write(block.address, bytes);
    }
    firmware.hexText = ihex::encode(firmware.image, kBytesPerRecord);
    return firmware;
}

TestFirmware sampleFirmware()
{
    return makeTestFirmware({{0x0000, 0x0100}, {0x0400, 0x0A30}, {0xFF80, 0x00E5}}, 0x56414E54u);
}

TestFirmware firmwareOfFileSize(qint64 fileBytes, quint32 seed)
{
    const qint64 records = (fileBytes + kLineBytes - 1) / kLineBytes;
    return makeTestFirmware({{0, records * kBytesPerRecord}}, seed);
}

} // namespace vx::sim
