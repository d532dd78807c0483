#pragma once

#include <QByteArray>

namespace vx::sim::framing {

inline constexpr char kCarriageReturn = '\r';
inline constexpr char kLineFeed = '\n';
inline constexpr char kEscape = 27;
inline constexpr char kXon = 17;
inline constexpr char kXoff = 19;

inline constexpr char kDefaultPrompt[] = "*";
inline constexpr char kIllegalText[] = "Illegal command";
inline constexpr char kPasswordRequest[] = "\r\nEnter password>";

// The reply to a command line (given without its CR): echo, LF, text, CR LF, prompt.
QByteArray answer(const QByteArray& line, const QByteArray& text, const QByteArray& prompt);

// The reply to the escape character: LF, CR, prompt.
QByteArray wakeUp(const QByteArray& prompt);

} // namespace vx::sim::framing
