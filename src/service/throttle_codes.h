#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace vx::throttle {

// One wiring choice of the throttle sensor and the two-digit code the controller takes for it.
struct CodedChoice
{
    QString text;
    QString code;
};
using CodedChoices = std::array<CodedChoice, 2>;

inline const QString kUnknown = QStringLiteral("Unknown");

// In the order the lists show them.
const CodedChoices& potLawChoices(); // "Linear" 01, "Logarithmic" 00
const CodedChoices& senseChoices();  // "Normal" 00, "Inverted" 01

QStringList textsOf(const CodedChoices& choices);
// The choice a code stands for, or nothing for a code the controller does not use.
std::optional<QString> textForCode(const CodedChoices& choices, const QString& code);
// The code of a choice; texts are compared exactly, so anything typed that is not a choice
// has none.
std::optional<QString> codeForText(const CodedChoices& choices, const QString& text);

} // namespace vx::throttle
