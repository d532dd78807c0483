#include "serial/hex.h"

#include <cmath>

namespace vx {

int HexDigitValue(QChar c)
{
    int v = c.unicode() - 48;
    if (v > 9)
        v = c.unicode() - 55;
    return v;
}

qint64 HexStringToInt(const QString& hexString)
{
    qint64 result = 0;
    for (const QChar c : hexString)
        result = result * 16 + HexDigitValue(c);
    return result;
}

QString hexPadded(qint64 value, int width)
{
    return QString::number(value, 16).toUpper().rightJustified(width, QLatin1Char('0'));
}

qint64 roundHalfEven(double value)
{
    // nearbyint follows the current rounding mode, which is round-to-nearest-even by default.
    return static_cast<qint64>(std::nearbyint(value));
}

double leadingNumber(const QString& text)
{
    int i = 0;
    const int n = text.size();
    while (i < n && (text.at(i) == QLatin1Char(' ') || text.at(i) == QLatin1Char('\t')))
        ++i;
    const int start = i;
    if (i < n && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+')))
        ++i;
    bool digits = false;
    while (i < n && text.at(i).isDigit()) {
        ++i;
        digits = true;
    }
    if (i < n && text.at(i) == QLatin1Char('.')) {
        ++i;
        while (i < n && text.at(i).isDigit()) {
            ++i;
            digits = true;
        }
    }
    if (!digits)
        return 0.0;
    return text.mid(start, i - start).toDouble();
}

} // namespace vx
