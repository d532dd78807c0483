#include "window_driver.h"

#include <QPointer>
#include <QTest>

namespace vx::test {

namespace {
QList<QPointer<QTimer>>& watches()
{
    static QList<QPointer<QTimer>> all;
    return all;
}
} // namespace

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

void whenModal(std::function<bool(QWidget*)> matches, std::function<void(QWidget*)> act, int boundMs)
{
    auto* poll = new QTimer;
    poll->setInterval(5);
    const QDeadlineTimer deadline(boundMs);
    QObject::connect(poll, &QTimer::timeout, [poll, deadline, matches, act] {
        QWidget* modal = QApplication::activeModalWidget();
        const bool found = modal && modal->isVisible() && matches(modal);
        if (!found && !deadline.hasExpired())
            return;
        poll->stop();
        poll->deleteLater();
        if (found)
            act(modal);
    });
    watches().removeAll(nullptr);
    watches() << poll;
    poll->start();
}

void cancelModalWatches()
{
    for (const QPointer<QTimer>& poll : std::as_const(watches())) {
        if (poll)
            poll->deleteLater();
    }
    watches().clear();
}

} // namespace vx::test
