#pragma once

// The program is single-threaded and waits by yielding to the event loop: timers, received
// characters and other windows' events are handled only inside these calls.
namespace vx {

void yieldToEventLoop();
// Blocks the user-interface thread without handling events.
void sleepMs(int ms);

} // namespace vx
