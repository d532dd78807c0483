#pragma once

#include <QString>

class QTimer;

namespace vx {

// Waits, yielding to the event loop in 1 ms steps, until RxBuffer ends with the terminator.
// A time-out of 0 means the default 2000 ms. Returns false when the reply time-out timer fired
// first; RxBuffer then keeps what arrived. With clearBuffer set, RxBuffer is emptied after a
// successful wait. Waits started inside a wait share the one flag and timer.
bool WaitForReply(bool clearBuffer, const QString& terminator, int timeoutMs);

// The single reply time-out timer shared by every window.
QTimer& COMTimeout();
void stopReplyTimer();

} // namespace vx
