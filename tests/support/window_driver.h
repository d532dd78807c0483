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

// Runs act on the next modal window that matches, as soon as it is up (the program waits inside
// the window's exec() meanwhile); gives up after boundMs.
void whenModal(std::function<bool(QWidget*)> matches, std::function<void(QWidget*)> act,
               int boundMs = 5000);

// Ends the watches that found nothing (the test environment does it when a test ends).
void cancelModalWatches();

// The same for the modal window of the given object name.
inline void whenModalShown(const QString& objectName, std::function<void(QWidget*)> act,
                           int boundMs = 5000)
{
    whenModal([objectName](QWidget* w) { return w->objectName() == objectName; }, std::move(act),
              boundMs);
}

// The same for the modal dialog of type T.
template <typename T> void whenModalShown(std::function<void(T&)> action, int boundMs = 5000)
{
    whenModal([](QWidget* w) { return qobject_cast<T*>(w) != nullptr; },
              [action](QWidget* w) { action(*qobject_cast<T*>(w)); }, boundMs);
}

} // namespace vx::test
