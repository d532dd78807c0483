#include "serial/port_probe.h"

#include "serial/port_map.h"

namespace vx {

PortProbe FindComPorts(ComPort& port)
{
    PortProbe probe;
    portmap::assignNewDevices();
    const int previousNumber = port.portNumber();
    for (int n = 1; n <= kPortCount; ++n) {
        port.setPortNumber(n);
        const PortOpenResult result = port.open();
        probe.available[n] = result.ok();
        probe.reason[n] = result;
        if (result.ok())
            port.close();
    }
    port.setPortNumber(previousNumber);
    return probe;
}

} // namespace vx
