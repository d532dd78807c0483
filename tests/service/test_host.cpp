#include "test_host.h"

#include "common/globals.h"

namespace vx::test {

TestHost::TestHost(const QString& windowName, int comNumber)
    : HostPort(windowName + QStringLiteral("ComPort")), WorkspaceLink(hostPort),
      windowName_(windowName)
{
    hostPort.setPortNumber(comNumber);
    hostPort.setSettings(QStringLiteral("115200,N,8,1"));
    hostPort.setHandshaking(3);
    hostPort.open();
    registerWorkspaceLink(windowName_, this);
}

TestHost::~TestHost()
{
    unregisterWorkspaceLink(windowName_, this);
}

void TestHost::SyncWithRPMTimer(bool timerState)
{
    syncCalls << timerState;
    G.RxBuffer.clear();
}

void TestHost::ReInitConnection()
{
    ++reconnects;
    hostPort.close();
}

} // namespace vx::test
