#include "vvt/firmware_version.h"

#include "serial/hex.h"

#include <cmath>

namespace vx {

FirmwareVersion parseFirmwareVersion(const QString& reply)
{
    FirmwareVersion version;
    const QChar letter = reply.contains(QLatin1Char('V')) ? QLatin1Char('V') : QLatin1Char('X');
    const qsizetype start = reply.indexOf(letter);
    if (start >= 0 && !reply.isEmpty())
        version.text = reply.mid(start, reply.size() - 1 - start);
    while (version.text.endsWith(QLatin1Char('\n')) || version.text.endsWith(QLatin1Char('\r')))
        version.text.chop(1);

    const QString& t = version.text;
    const qsizetype dot = t.indexOf(QLatin1Char('.'));
    const qsizetype dash = t.indexOf(QLatin1Char('-'));
    const double major = leadingNumber(dot >= 0 ? t.mid(1, dot - 1) : t.mid(1));
    const double minor =
        dot >= 0 ? leadingNumber(dash > dot ? t.mid(dot + 1, dash - dot - 1) : t.mid(dot + 1))
                 : 0.0;
    const double build = dash >= 0 ? leadingNumber(t.mid(dash + 1)) : 0.0;
    // Kept in an int: a controller may report any major version without the number wrapping.
    const double number = std::round((major + minor / 100 + build / 10000) * 10000);
    version.number = number > 2147483647.0 ? 2147483647 : static_cast<int>(number);
    return version;
}

} // namespace vx
