#pragma once

#include "serial/com_port.h"
#include "serial/workspace_link.h"

#include <QList>
#include <QString>

namespace vx::test {

namespace detail {
// Constructed before the link that refers to it.
struct HostPort
{
    explicit HostPort(const QString& name) : hostPort(name) {}
    ComPort hostPort;
};
} // namespace detail

// A workspace as far as a service dialog can tell: the link operations on a real port opened on a
// simulated controller, registered under the workspace's window name. It records how the dialog
// paused and resumed live polling and asked for a reconnect; the reconnect closes the port as a
// workspace does.
class TestHost final : private detail::HostPort, public WorkspaceLink
{
public:
    TestHost(const QString& windowName, int comNumber);
    ~TestHost() override;
    TestHost(const TestHost&) = delete;
    TestHost& operator=(const TestHost&) = delete;

    bool isOpen() const { return hostPort.isOpen(); }

    void SyncWithRPMTimer(bool timerState) override;
    void ReInitConnection() override;

    // SyncWithRPMTimer calls in order: false = paused, true = resumed.
    QList<bool> syncCalls;
    int reconnects = 0;

private:
    QString windowName_;
};

} // namespace vx::test
