#pragma once

#include <QApplication>
#include <QDeadlineTimer>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace vx::test {

// Shows the window with the focus on start and waits until it is the active window, so that
// moving the focus delivers the events a user's click or Tab would.
bool showActive(QWidget& window, QWidget* start);

// Moves the focus to the widget as the Tab key does.
void tabTo(QWidget* widget);

// Runs action on the modal dialog of type T once it is up (the dialog's own event loop runs
// meanwhile); gives up after boundMs.
template <typename T> void whenModalShown(std::function<void(T&)> action, int boundMs = 5000)
{
    auto* poll = new QTimer;
    poll->setInterval(10);
    const QDeadlineTimer deadline(boundMs);
    QObject::connect(poll, &QTimer::timeout, [poll, deadline, action] {
        auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!dialog && !deadline.hasExpired())
            return;
        poll->stop();
        poll->deleteLater();
        if (dialog)
            action(*dialog);
    });
    poll->start();
}

} // namespace vx::test
