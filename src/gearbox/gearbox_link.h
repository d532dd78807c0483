#pragma once

#include "serial/workspace_link.h"

namespace vx {

class GearboxControl;

// The gearbox workspace's link operations on its own port, as the service dialogs and the gear
// change pattern dialog use them.
class GearboxLink final : public WorkspaceLink
{
public:
    GearboxLink(ComPort& port, GearboxControl& workspace);

    QString Prompt() const override;
    void SyncWithRPMTimer(bool timerState) override;
    void ReInitConnection() override;

private:
    GearboxControl& workspace_;
};

} // namespace vx
