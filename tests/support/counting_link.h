#pragma once

#include "serial/workspace_link.h"

namespace vx::test {

// A workspace link on a port of the test's own, without a workspace behind it: live polling has
// nothing to pause, and the reconnects it is asked for are counted.
class CountingLink final : public WorkspaceLink
{
public:
    using WorkspaceLink::WorkspaceLink;
    void SyncWithRPMTimer(bool) override {}
    void ReInitConnection() override { ++reconnects; }
    int reconnects = 0;
};

} // namespace vx::test
