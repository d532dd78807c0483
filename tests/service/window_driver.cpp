#include "window_driver.h"

#include <QTest>

namespace vx::test {

bool showActive(QWidget& window, QWidget* start)
{
    if (start)
        start->setFocus();
    window.show();
    window.activateWindow();
    return QTest::qWaitForWindowActive(&window);
}

void tabTo(QWidget* widget)
{
    widget->setFocus(Qt::TabFocusReason);
}

} // namespace vx::test
