#include "gearbox/firmware_version.h"

#include "serial/hex.h"

#include <cmath>

namespace vx::gearbox {

FirmwareVersion parseFirmwareVersion(const QString& reply)
{
    FirmwareVersion version;
    const QChar letter = reply.contains(QLatin1Char('V')) ? QLatin1Char('V') : QLatin1Char('X');
    const qsizetype start = std::max<qsizetype>(0, reply.indexOf(letter));
    version.text = reply.mid(start, std::max<qsizetype>(0, reply.size() - 1 - start));
    while (version.text.endsWith(QLatin1Char('\n')) || version.text.endsWith(QLatin1Char('\r')))
        version.text.chop(1);

    const QString& t = version.text;
    const qsizetype dot = t.indexOf(QLatin1Char('.'));
    const qsizetype dash = t.indexOf(QLatin1Char('-'));
    const double major = leadingNumber(t.mid(1, dot < 0 ? -1 : dot - 1));
    double minor = 0;
    if (dot >= 0)
        minor = leadingNumber(t.mid(dot + 1, dash > dot ? dash - dot - 1 : -1));
    const double build = dash >= 0 ? leadingNumber(t.mid(dash + 1)) : 0;
    version.number =
        static_cast<int>(std::lround((major + minor / 100.0 + build / 10000.0) * 10000.0));
    return version;
}

QString firmwareTooOldText(const QString& versionText)
{
    return QStringLiteral("ECU firmware ") + versionText +
           QStringLiteral(" is too old, requires a minimum of ") + kMinimumFirmwareText;
}

} // namespace vx::gearbox
