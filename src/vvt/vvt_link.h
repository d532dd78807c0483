#pragma once

#include "serial/workspace_link.h"

namespace vx {

class Changadv;

// The VVT workspace's link on its own port, as the service dialogs see it.
class VvtLink : public WorkspaceLink
{
public:
    VvtLink(ComPort& port, Changadv& workspace) : WorkspaceLink(port), workspace_(workspace) {}

    void SyncWithRPMTimer(bool timerState) override;
    void ReInitConnection() override;

private:
    Changadv& workspace_;
};

} // namespace vx
