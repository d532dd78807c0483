#pragma once

#include <functional>

class QWidget;

namespace vx {

// Runs handler whenever the focus leaves the widget for another control of the program. A
// drop-down list opening, a message box coming up or the user switching to another program
// are not a move to another control and do not count.
void onFocusLost(QWidget* widget, std::function<void()> handler);

} // namespace vx
