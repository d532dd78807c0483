#pragma once

// Every time-out and wait bound of the program in one place. Tests may shorten the time-outs
// through one scale factor; the step counts of the waits stay as they are.
namespace vx::timing {

inline constexpr int kReplyTimeoutMs = 2000;     // default reply wait
inline constexpr int kGetStringSteps = 1000;     // 1 ms steps of a value read
inline constexpr int kSearchTries = 3;           // per phase of the port search
inline constexpr int kSearchWaitSteps = 10;      // per try
inline constexpr int kSearchStepMs = 10;         // per step
inline constexpr int kConnectTickMs = 500;       // workspace connect sequence
inline constexpr int kLivePollMs = 150;          // live data batch
inline constexpr int kCommitDebounceMs = 160;    // map edit upload
inline constexpr int kLineSettleMs = 10;         // after each uploaded record line
inline constexpr int kTransmitDrainMs = 2000;    // bound of a wait for the transmit queue to empty
inline constexpr int kSimulatorStartMs = 5000;   // demo mode: the simulator reports its links
inline constexpr int kRestartWaitMs = 10000;     // a controller restarting with new settings
inline constexpr int kPromptWaitMs = 2000;       // wake-up, login and version answers on connect
inline constexpr int kDataLogWakeUpMs = 2000;    // the gearbox prompt after the data logger's escapes

// Firmware update. A bootloader answers its commands within milliseconds; the bounds leave room
// for a slow USB or Bluetooth link without keeping the technician waiting long on a dead one.
inline constexpr int kBootWakeMs = 1000;        // first character after "zb"
inline constexpr int kBootIdentifyMs = 1000;    // the 30 characters of the answer to "?"
inline constexpr int kBootFlushQuietMs = 50;    // before "ERASE" the line is quiet this long...
inline constexpr int kBootFlushLimitMs = 2000;  // ...or has chattered this long
inline constexpr int kBootStallMs = 10000;      // the port took no byte of the file this long
// "*" after the last line has left the program: time for what the system still buffers on its
// way to the controller (up to about 6 s at 115200 baud on a pseudo-terminal), and more.
inline constexpr int kBootLoadEndMs = 10000;
inline constexpr int kBootExitMs = 1000;        // first character after "ex"

double scale();
void setScale(double factor);
// A time-out in milliseconds after the scale factor, never below 1 ms.
int scaled(int ms);

} // namespace vx::timing
