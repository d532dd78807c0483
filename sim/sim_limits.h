#pragma once

#include <QtGlobal>

#include <chrono>

namespace vx::sim::limits {

// How often a link whose program side has gone away looks again for the port being reopened.
inline constexpr std::chrono::milliseconds kHangupPollInterval{50};

// Throttled links move bytes on this tick; short enough that 115200 baud flows smoothly.
inline constexpr std::chrono::milliseconds kThrottleTick{10};

// The most line time a throttled link may bank, so a pause never turns into a burst; a few
// ticks' worth, so that a tick the event loop delays costs no line time.
inline constexpr std::chrono::milliseconds kThrottleMaxBurst{50};

// Bytes taken from the pty master per read call.
inline constexpr qint64 kReadChunk = 4096;

// Controllers have small line buffers; anything past this is dropped as a real one would.
inline constexpr int kMaxLineLength = 1024;

// A controller that unplugs itself after a reply waits for the program to read it, this often...
inline constexpr std::chrono::milliseconds kCloseDrainPollInterval{10};
// ...and at most this long, so a program that never reads still sees the port vanish.
inline constexpr std::chrono::milliseconds kCloseDrainTimeout{500};

} // namespace vx::sim::limits
