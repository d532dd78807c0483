#pragma once

#include <QList>

namespace vx {

// One selection step: a cell to the side or a line down, in twips (the grid's own unit, which
// keyboard selection counts in).
inline constexpr int kSelectStepX = 505;
inline constexpr int kSelectStepY = 350;

// The cells of the rectangle with the anchor at one corner and the pointer offset (x, y) in
// twips from the anchor; empty while the pointer is still over the anchor. Rows never wrap into
// the next line and lines beyond the grid are left out.
QList<int> selectionRectangle(int anchor, double x, double y);

enum class SelectKey
{
    Left,
    Up,
    Right,
    Down
};

// The keyboard selection offset after one shift+arrow step from the anchor; false when the step
// would leave the grid.
bool stepKeySelection(int anchor, SelectKey key, double& keySelectX, double& keySelectY);

} // namespace vx
