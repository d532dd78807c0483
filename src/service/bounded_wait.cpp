#include "service/bounded_wait.h"

#include "common/timing.h"

#include <QCoreApplication>
#include <QTimer>

namespace vx {

bool waitUntil(const std::function<bool()>& done, const QDeadlineTimer& deadline)
{
    // Nothing else may be due when the deadline comes: this timer wakes the loop for it.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        wake.start(static_cast<int>(deadline.remainingTime()));
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

bool waitUntil(const std::function<bool()>& done, int boundMs)
{
    return waitUntil(done, scaledDeadline(boundMs));
}

QDeadlineTimer scaledDeadline(int boundMs)
{
    return QDeadlineTimer(timing::scaled(boundMs), Qt::PreciseTimer);
}

} // namespace vx
