#pragma once

#include <QString>

namespace vx {

// The air-pressure sensor's two calibration points are voltages with two decimals, kept apart
// by at least half a volt.
inline constexpr double kMinSensorVolts = 0.01;
inline constexpr double kMaxSensorVolts = 4.99;
inline constexpr int kMinPointSpacingCentivolts = 50;

// psi of a sensor voltage, on the straight line through the points AirPressZeroVolts (0 psi) and
// AirPress140Volts (140 psi).
double PsiFromVolts(double volts);

// Whether a keystroke (its character code) may reach a voltage box holding text: backspace
// always; a digit or "." while the text is shorter than four characters, and "." only once.
bool AcceptVoltsKey(const QString& text, int keyAscii);

// A voltage as the boxes show it: "0.00".
QString voltsText(double volts);
// A voltage in whole hundredths of a volt, as the controller takes it.
int centivolts(double volts);
// The command that sets a calibration point: four hexadecimal digits of hundredths of a volt,
// then the mnemonic and CR ("007Daz" for 1.25 V).
QString calibrationPointCommand(double volts, const QString& mnemonic);

enum class PointCheck
{
    Ok,
    OutOfRange,
    TooClose
};
// Checks the 0 psi point against the 140 psi point, and the other way round. Both compare the
// values as the boxes show them, to the hundredth of a volt.
PointCheck checkZeroPoint(double zeroVolts, double fullVolts);
PointCheck checkFullPoint(double fullVolts, double zeroVolts);

} // namespace vx
