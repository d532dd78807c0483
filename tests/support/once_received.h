#pragma once

#include "sim/controller.h"

#include <QByteArray>
#include <QTimer>

#include <functional>

namespace vx::test {

// Acts once, from the event loop, as soon as the simulated controller has received the line:
// how a test clicks or types in the middle of an exchange that is waiting for its reply.
class OnceReceived
{
public:
    OnceReceived(const sim::Controller& controller, QByteArray line, std::function<void()> act);
    OnceReceived(const OnceReceived&) = delete;
    OnceReceived& operator=(const OnceReceived&) = delete;

    bool acted() const { return acted_; }
    void stop() { watch_.stop(); }

private:
    QTimer watch_;
    bool acted_ = false;
};

} // namespace vx::test
