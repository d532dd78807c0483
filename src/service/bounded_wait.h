#pragma once

#include <QDeadlineTimer>

#include <functional>

namespace vx {

// Handles events until done() holds or the deadline has passed, sleeping in the event loop
// between events instead of spinning. True when done() holds.
bool waitUntil(const std::function<bool()>& done, const QDeadlineTimer& deadline);
// The same with a bound in milliseconds, after the time scale.
bool waitUntil(const std::function<bool()>& done, int boundMs);

// A deadline boundMs from now, after the time scale.
QDeadlineTimer scaledDeadline(int boundMs);

} // namespace vx
