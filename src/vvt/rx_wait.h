#pragma once

#include <functional>

namespace vx {

// Yields to the event loop in 1 ms steps until the condition holds or the time (after the test
// scale) has passed; true when the condition held.
bool waitForReceived(const std::function<bool()>& condition, int timeoutMs);

} // namespace vx
