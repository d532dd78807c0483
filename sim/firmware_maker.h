#pragma once

#include "sim/hex_image.h"

#include <QByteArray>
#include <QtGlobal>

#include <vector>

namespace vx::sim {

// Firmware made up for trying the update: pseudo-random program bytes in the given blocks, and
// the Intel HEX file that carries them.
struct TestFirmware
{
    HexImage image;
    QByteArray hexText;
};

struct FirmwareBlock
{
    quint32 address = 0;
    qint64 size = 0;
};

// The same blocks and seed always give the same bytes.
TestFirmware makeTestFirmware(const std::vector<FirmwareBlock>& blocks, quint32 seed);

// A small program with a vector table, code, and a block that runs across a 64 KB boundary so
// that its file needs extended address records.
TestFirmware sampleFirmware();

// One block from address 0, just large enough that its file holds at least fileBytes bytes.
TestFirmware firmwareOfFileSize(qint64 fileBytes, quint32 seed);

} // namespace vx::sim
