#pragma once

#include <QChar>
#include <QString>

namespace vx {

// Value of one hexadecimal digit of a reply ("0".."9", "A".."F"); other characters are not
// checked and give values outside 0..15, as the controllers never send them.
int HexDigitValue(QChar c);

// The digits of a reply, most significant first; an empty text gives 0.
qint64 HexStringToInt(const QString& hexString);

// Upper-case hexadecimal, left-padded with "0" to at least width digits.
QString hexPadded(qint64 value, int width);

// Rounds to the nearest whole number, a half to the even neighbour (12.5 gives 12).
qint64 roundHalfEven(double value);

// The numeric value of a text as the program reads typed input and file values: the leading
// decimal number (sign, digits, one decimal point) after leading blanks; 0 when there is none.
double leadingNumber(const QString& text);

} // namespace vx
