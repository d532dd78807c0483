#pragma once

#include <QString>

class QWidget;

namespace vx {

// Where a window keeps its position in the store: application name and window name; the keys
// are the name followed by "Left" and "Top", in twips (1/1440 inch).
struct WindowPlace
{
    QString app;
    QString name;
};

int twipsToPixels(int twips, double logicalDpi);
int pixelsToTwips(int pixels, double logicalDpi);

// Moves the window to its stored position; without one it stays where it is. A position that
// lies on no screen any more (a monitor was removed) is ignored too.
void RestoreWindowPosition(QWidget& window, const WindowPlace& place);
void SaveWindowPosition(const QWidget& window, const WindowPlace& place);

// Writes the default positions; windows move there the next time they open.
void ResetWindows();

namespace places {
WindowPlace mainmenu();
WindowPlace changadv();
WindowPlace setup();
WindowPlace throttleSetup();
WindowPlace ecuSecurity();
WindowPlace tempCal();
WindowPlace saveDlog();
} // namespace places

} // namespace vx
