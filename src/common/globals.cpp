#include "common/globals.h"

#include "serial/reply_wait.h"

namespace vx {

Globals G;

void resetGlobals()
{
    G = Globals{};
    stopReplyTimer();
}

void ResetMapCellColours(int slot)
{
    G.CellColourB.at(slot).fill(QColor());
}

void ResetAllCellColours()
{
    for (int slot = 0; slot < kMapSlots; ++slot)
        ResetMapCellColours(slot);
}

} // namespace vx
