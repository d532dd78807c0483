#pragma once

namespace vx {

// What a workspace asks of the main window.
class Shell
{
public:
    virtual ~Shell() = default;
    // The workspace closed: the main window is shown again.
    virtual void showMainWindow() = 0;
    // The map label changed (its text is BufferCaption).
    virtual void mapCaptionChanged() = 0;
    // The controller turned out not to be a VVT controller: the map functions are switched off
    // until the program ends.
    virtual void disableMapFunctions() = 0;
    // The controller turned out not to be a gearbox controller.
    virtual void disableGearboxButton() = 0;
};

} // namespace vx
