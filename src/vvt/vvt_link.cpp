#include "vvt/vvt_link.h"

#include "vvt/changadv.h"

namespace vx {

void VvtLink::SyncWithRPMTimer(bool timerState)
{
    workspace_.SyncWithRPMTimer(timerState);
}

void VvtLink::ReInitConnection()
{
    workspace_.ReInitConnection();
}

} // namespace vx
