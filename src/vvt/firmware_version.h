#pragma once

#include <QString>

namespace vx {

struct FirmwareVersion
{
    QString text;   // as the controller wrote it, e.g. "V1.2-3"
    int number = 0; // major * 10000 + minor * 100 + build
};

// The version in the reply to "ve": from the first "V" (or "X" when there is no "V") up to the
// prompt, without line ends.
FirmwareVersion parseFirmwareVersion(const QString& reply);

// The oldest firmware the workspace works with.
inline constexpr int kMinimumFirmware = 10000;

} // namespace vx
