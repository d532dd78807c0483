#include "gearbox/gearbox_link.h"

#include "gearbox/gearbox_control.h"

namespace vx {

GearboxLink::GearboxLink(ComPort& port, GearboxControl& workspace)
    : WorkspaceLink(port), workspace_(workspace)
{}

QString GearboxLink::Prompt() const
{
    return workspace_.Prompt;
}

void GearboxLink::SyncWithRPMTimer(bool timerState)
{
    workspace_.toolExchange_ = !timerState;
    workspace_.SyncWithRPMTimer(timerState);
}

void GearboxLink::ReInitConnection()
{
    workspace_.toolExchange_ = false;
    workspace_.ReInitConnection();
}

} // namespace vx
