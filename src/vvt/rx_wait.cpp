#include "vvt/rx_wait.h"

#include "common/event_loop.h"
#include "common/timing.h"

#include <QElapsedTimer>

namespace vx {

bool waitForReceived(const std::function<bool()>& condition, int timeoutMs)
{
    QElapsedTimer elapsed;
    elapsed.start();
    const int bound = timing::scaled(timeoutMs);
    while (!condition()) {
        if (elapsed.elapsed() >= bound)
            return false;
        yieldToEventLoop();
        sleepMs(1);
    }
    return true;
}

} // namespace vx
