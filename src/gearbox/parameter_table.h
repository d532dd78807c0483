#pragma once

#include <QString>

#include <array>
#include <optional>

namespace vx::gearbox {

// One numeric setting of the gearbox controller as its box edits it. The box shows the value
// read times show; a commit accepts whole numbers min..max of at most length characters and
// sends value / show as at least width hexadecimal digits before the mnemonic.
struct NumberParameter
{
    const char* control; // the box's name
    const char* caption; // the caption beside it
    const char* unit;    // a caption after it ("mS", "%", "psi"), or empty
    int command;         // index into CommandTable
    int readDigits;
    int show;
    int min;
    int max;
    int length; // characters a commit accepts
    int width;  // least digits sent
    int step;   // plus and minus keys
    int stepMin;
    int stepMax;
    int keyLength;         // characters the key filter admits
    const char* setButton; // the button that captures the live ram sensor reading, or empty
};

inline constexpr int kNumberParameterCount = 26;

const std::array<NumberParameter, kNumberParameterCount>& numberParameters();

// The row of a box by its name.
std::optional<int> numberParameterIndex(const QString& control);
const NumberParameter& numberParameter(const QString& control);

// The mnemonic of a row.
QString mnemonic(const NumberParameter& parameter);

// The order in which a full read fills the boxes after the gear rows and the gear pattern.
// "rm" (the RPM match switch) and "am" (the autoshift mode) sit between them; they are not boxes.
const std::array<const char*, 27>& readOrderAfterGears();

// The gear position rows: 0 neutral, 1..9 the gears, 10 reverse.
inline constexpr int kGearRows = 11;
inline constexpr int kReverseRow = 10;
inline constexpr int kGearRowMax = 255;
inline constexpr int kGearRowLength = 3;

// The row's gear character in a read ("r" for reverse) and in a setting ("R").
QString gearReadSuffix(int row);
QString gearSetSuffix(int row);

// The autoshift mode names by code; the fifth stays empty.
const std::array<QString, 5>& autoShiftNames();
// The first code whose name is text, 5 when none.
int autoShiftIndex(const QString& text);

} // namespace vx::gearbox
