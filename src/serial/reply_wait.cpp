#include "serial/reply_wait.h"

#include "common/event_loop.h"
#include "common/globals.h"
#include "common/timing.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

namespace vx {

QTimer& COMTimeout()
{
    static QPointer<QTimer> timer;
    if (!timer) {
        timer = new QTimer(QCoreApplication::instance());
        timer->setObjectName(QStringLiteral("COMTimeout"));
        // A coarse timer may fire up to 5% early, cutting a 2000 ms reply wait to 1900 ms.
        timer->setTimerType(Qt::PreciseTimer);
        QObject::connect(timer, &QTimer::timeout, [] {
            G.ReplyWaiting = 0;
            COMTimeout().stop();
        });
    }
    return *timer;
}

void stopReplyTimer()
{
    if (QCoreApplication::instance())
        COMTimeout().stop();
}

bool WaitForReply(bool clearBuffer, const QString& terminator, int timeoutMs)
{
    if (timeoutMs == 0)
        timeoutMs = timing::kReplyTimeoutMs;
    G.ReplyWaiting = 1;
    QTimer& timer = COMTimeout();
    timer.setInterval(timing::scaled(timeoutMs));
    timer.start();
    while (!G.RxBuffer.endsWith(terminator)) {
        yieldToEventLoop();
        sleepMs(1);
        // The time-out fired, or a wait started meanwhile finished and cleared the shared flag;
        // a reply that is complete by now still counts.
        if (G.ReplyWaiting == 0 && !G.RxBuffer.endsWith(terminator))
            return false;
    }
    if (clearBuffer)
        G.RxBuffer.clear();
    G.ReplyWaiting = 0;
    timer.stop();
    return true;
}

} // namespace vx
