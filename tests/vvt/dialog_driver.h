#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace vx::test {

// Acts on the next modal window of the given object name as soon as it is up (the program
// waits inside its exec() meanwhile). The watch ends with its owner (one per test).
inline QTimer* whenModalShown(QObject& owner, const QString& objectName,
                              std::function<void(QWidget*)> act)
{
    auto* timer = new QTimer(&owner);
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, objectName, act] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal->objectName() != objectName || !modal->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        act(modal);
    });
    timer->start();
    return timer;
}

} // namespace vx::test
