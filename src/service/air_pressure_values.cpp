#include "service/air_pressure_values.h"

#include "common/globals.h"
#include "serial/hex.h"

#include <cmath>

namespace vx {

namespace {

constexpr int kBackspace = 8;
constexpr int kCarriageReturn = 13;
constexpr int kMaxVoltsCharacters = 4;

bool inRange(double volts)
{
    const int value = centivolts(volts);
    return value >= centivolts(kMinSensorVolts) && value <= centivolts(kMaxSensorVolts);
}

} // namespace

double PsiFromVolts(double volts)
{
    const double k = 140 / (G.AirPress140Volts - G.AirPressZeroVolts);
    return (volts - G.AirPressZeroVolts) * k;
}

bool AcceptVoltsKey(const QString& text, int keyAscii)
{
    bool accept = true;
    if (text.size() >= kMaxVoltsCharacters && keyAscii != kBackspace && keyAscii != kCarriageReturn)
        accept = false;
    if (text.contains(QLatin1Char('.')) && keyAscii == '.')
        accept = false;
    const bool digit = keyAscii >= '0' && keyAscii <= '9';
    if (!digit && keyAscii != kBackspace && keyAscii != '.')
        accept = false;
    return accept;
}

QString voltsText(double volts)
{
    return QString::number(volts, 'f', 2);
}

int centivolts(double volts)
{
    return static_cast<int>(std::lround(volts * 100));
}

QString calibrationPointCommand(double volts, const QString& mnemonic)
{
    return hexPadded(roundHalfEven(volts * 100), 4) + mnemonic + G.CR;
}

PointCheck checkZeroPoint(double zeroVolts, double fullVolts)
{
    if (!inRange(zeroVolts))
        return PointCheck::OutOfRange;
    if (centivolts(fullVolts) - centivolts(zeroVolts) < kMinPointSpacingCentivolts)
        return PointCheck::TooClose;
    return PointCheck::Ok;
}

PointCheck checkFullPoint(double fullVolts, double zeroVolts)
{
    if (!inRange(fullVolts))
        return PointCheck::OutOfRange;
    if (centivolts(fullVolts) - centivolts(zeroVolts) < kMinPointSpacingCentivolts)
        return PointCheck::TooClose;
    return PointCheck::Ok;
}

} // namespace vx
