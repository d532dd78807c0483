#include "service/host_link.h"

#include "serial/workspace_link.h"

namespace vx {

WorkspaceLink* HostLink::link() const
{
    return name_.isEmpty() ? nullptr : workspaceLink(name_);
}

ComPort* HostLink::port() const
{
    WorkspaceLink* host = link();
    return host ? &host->port() : nullptr;
}

void HostLink::ComOutput(const QString& text) const
{
    if (WorkspaceLink* host = link())
        host->ComOutput(text);
}

void HostLink::SyncWithRPMTimer(bool timerState) const
{
    if (WorkspaceLink* host = link())
        host->SyncWithRPMTimer(timerState);
}

void HostLink::ReInitConnection() const
{
    if (WorkspaceLink* host = link())
        host->ReInitConnection();
}

qint64 HostLink::GetECUValue(const QString& command, const QString& waitString,
                             int responseLen) const
{
    WorkspaceLink* host = link();
    return host ? host->GetECUValue(command, waitString, responseLen) : 0;
}

bool HostLink::WriteLine(const QString& line) const
{
    WorkspaceLink* host = link();
    return host && host->WriteLine(line);
}

} // namespace vx
