#include "common/timing.h"

#include <algorithm>
#include <cmath>

namespace vx::timing {

namespace {
double g_scale = 1.0;
}

double scale() { return g_scale; }

void setScale(double factor) { g_scale = factor > 0 ? factor : 1.0; }

int scaled(int ms)
{
    if (ms <= 0)
        return ms;
    return std::max(1, static_cast<int>(std::lround(ms * g_scale)));
}

} // namespace vx::timing
