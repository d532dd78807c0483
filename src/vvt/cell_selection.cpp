#include "vvt/cell_selection.h"

#include "common/globals.h"

#include <algorithm>
#include <cmath>

namespace vx {

QList<int> selectionRectangle(int anchor, double x, double y)
{
    const int r0 = anchor % kMapRows;
    int dr = static_cast<int>(std::floor(x / kSelectStepX));
    const int dc = static_cast<int>(std::floor(y / kSelectStepY));
    if (dr == 0 && dc == 0)
        return {};
    if (r0 + dr > kMapRows - 1)
        dr = kMapRows - 1 - r0;
    if (r0 + dr < 0)
        dr = -r0;

    QList<int> cells;
    const int lineStep = dc < 0 ? -1 : 1;
    const int cellStep = dr < 0 ? -1 : 1;
    for (int l = 0;; l += lineStep) {
        const int lineStart = anchor + kMapRows * l;
        for (int k = 0;; k += cellStep) {
            const int index = lineStart + k;
            if (index >= 0 && index < kMapCells)
                cells << index;
            if (k == dr)
                break;
        }
        if (l == dc)
            break;
    }
    std::sort(cells.begin(), cells.end());
    return cells;
}

bool stepKeySelection(int anchor, SelectKey key, double& keySelectX, double& keySelectY)
{
    const double x = (anchor % kMapRows) * kSelectStepX + keySelectX;
    const double y = (anchor / kMapRows) * kSelectStepY + keySelectY;
    switch (key) {
    case SelectKey::Right:
        if (x >= (kMapRows - 1) * kSelectStepX)
            return false;
        keySelectX += kSelectStepX;
        return true;
    case SelectKey::Left:
        if (x <= 0)
            return false;
        keySelectX -= kSelectStepX;
        return true;
    case SelectKey::Down:
        if (y >= (kMapUsedColumns - 1) * kSelectStepY)
            return false;
        keySelectY += kSelectStepY;
        return true;
    case SelectKey::Up:
        if (y <= 0)
            return false;
        keySelectY -= kSelectStepY;
        return true;
    }
    return false;
}

} // namespace vx
