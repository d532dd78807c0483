#pragma once

#include <QString>
#include <QStringList>

namespace vx::trigger {

inline constexpr int kCount = 10;
inline constexpr int kRevCounter = 1; // the rev-counter input, the only pattern with a cylinder choice

// The names of the setup dialog's list, index = TriggerType.
const QStringList& setupNames();

// The names the connect checks show when the PC's and the controller's patterns differ; any
// value outside 0..9 is "unknown". The controller's name of pattern 4 differs from the PC's.
QString pcName(int value);
QString controllerName(int value);
// The code sent to set a pattern: two decimal digits.
QString code(int value);

} // namespace vx::trigger
