#pragma once

namespace vx {

// Marks a handler of the VVT workspace (or of a dialog it owns) as running. The workspace waits
// by yielding to the event loop, so it can be told to close from inside one of its own waits;
// it is deleted only once none of its handlers is left on the stack.
class BusyScope
{
public:
    BusyScope() { ++depth_; }
    ~BusyScope() { --depth_; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

    static bool idle() { return depth_ == 0; }

private:
    static inline int depth_ = 0;
};

} // namespace vx
