#pragma once

#include "common/globals.h"
#include "serial/com_port.h"

#include <array>

namespace vx {

// Which port numbers could be opened at the last probe, and why the others could not.
struct PortProbe
{
    std::array<bool, kPortCount + 1> available{};            // index 1..17
    std::array<PortOpenResult, kPortCount + 1> reason{};

    bool isAvailable(int n) const { return n >= 1 && n <= kPortCount && available[n]; }
    PortOpenResult reasonFor(int n) const
    {
        return n >= 1 && n <= kPortCount ? reason[n] : PortOpenResult{PortFailure::NoSuchPort, {}, {}};
    }
};

// Tries to open every port number 1..17 once on the given port object and closes it again.
// Never stops early and shows nothing.
PortProbe FindComPorts(ComPort& port);

} // namespace vx
