#include "common/event_loop.h"

#include <QCoreApplication>
#include <QThread>

namespace vx {

void yieldToEventLoop() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void sleepMs(int ms)
{
    if (ms > 0)
        QThread::msleep(static_cast<unsigned long>(ms));
}

} // namespace vx
