#pragma once

#include <QtGlobal>

namespace vx::sim::test {

// Bound on any reply that should come at once; generous so a loaded machine does not fail.
inline constexpr int kReplyTimeoutMs = 3000;
// Bound on the port noticing the device vanish.
inline constexpr int kVanishTimeoutMs = 3000;
// Bound on a throttled transfer, far above its ideal duration.
inline constexpr int kTransferTimeoutMs = 15000;
// Bound on the simulator process starting up or shutting down.
inline constexpr int kProcessTimeoutMs = 5000;

inline constexpr qint32 kDefaultBaud = 9600;

// Enough of the simulator's standard output to hold its announcement lines.
inline constexpr qint64 kAnnouncementBytes = 4096;

inline constexpr int kReplyDelayMs = 300;
inline constexpr int kSplitGapMs = 200;
// Timers may fire a little early by the clock the test reads.
inline constexpr int kTimingSlackMs = 30;

// A throttled transfer must take at least this share of its ideal time at the line rate.
inline constexpr double kThrottleLowerBoundShare = 0.8;

// How long a hung-up link is watched for spinning, and the share of one core it may use.
inline constexpr int kHangupWatchMs = 300;
inline constexpr double kHangupCpuShare = 0.25;

} // namespace vx::sim::test
