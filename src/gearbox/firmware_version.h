#pragma once

#include <QString>

namespace vx::gearbox {

struct FirmwareVersion
{
    QString text;   // as the controller wrote it, e.g. "V2.3-6"
    int number = 0; // major * 10000 + minor * 100 + build
};

// The version in the reply to "ve" (echo, answer, CR LF and the one-character prompt): from the
// first "V" (or "X" when there is none) up to the prompt, without line ends.
FirmwareVersion parseFirmwareVersion(const QString& reply);

// The oldest gearbox firmware the workspace works with, and how the refusal names it.
inline constexpr int kMinimumFirmware = 20000;
inline const QString kMinimumFirmwareText = QStringLiteral("V2.0.0");

QString firmwareTooOldText(const QString& versionText);

} // namespace vx::gearbox
