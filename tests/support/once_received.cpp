#include "once_received.h"

#include <utility>

namespace vx::test {

OnceReceived::OnceReceived(const sim::Controller& controller, QByteArray line,
                           std::function<void()> act)
{
    QObject::connect(&watch_, &QTimer::timeout,
                     [this, &controller, line = std::move(line), act = std::move(act)] {
                         if (acted_ || !controller.receivedLines().contains(line))
                             return;
                         acted_ = true;
                         act();
                     });
    watch_.start(1);
}

} // namespace vx::test
