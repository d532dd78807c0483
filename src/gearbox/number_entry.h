#pragma once

#include <QChar>
#include <QString>

#include <optional>

namespace vx::gearbox {

// What the plus and minus keys of a box may do and how many characters it takes.
struct KeyRule
{
    int max; // plus works only below this
    int min; // minus works only above this
    int step;
    int length; // characters the box takes
};

inline constexpr char16_t kBackspaceKey = 8;
inline constexpr char16_t kEnterKey = 13;

struct KeyDecision
{
    bool discard = false;        // the key does not reach the box
    std::optional<QString> text; // the box's new text
    bool commit = false;         // the key asks for the value to be sent
};

// A key typed into a numeric box. replacedLength counts the selected characters the key would
// replace, so that a full box can still be typed over once its text is selected.
KeyDecision filterNumberKey(QChar key, const QString& text, int replacedLength,
                            const KeyRule& rule);

// Why a typed value was refused.
enum class EntryError
{
    None,
    Invalid,
    OutOfRange
};

struct Entry
{
    EntryError error = EntryError::None;
    int value = 0;
};

inline const QString kInvalidInputText = QStringLiteral("Invalid input");
inline const QString kOutOfRangeText = QStringLiteral("Value out of range");

// A committed box text (already trimmed): a whole number of at most length digits within
// min..max. Text that is no whole number (pasted letters, a sign, a decimal point) is invalid
// rather than read as its leading digits.
Entry checkEntry(const QString& text, int length, int min, int max);

// The digits a commit sends for a value shown scaled: value / scale rounded (a half to the
// even neighbour), upper-case hexadecimal, with a single "0" prepended when shorter than width.
QString commitDigits(int value, int scale, int width);

} // namespace vx::gearbox
