#include "service/focus_lost.h"

#include <QEvent>
#include <QFocusEvent>
#include <QWidget>

namespace vx {

namespace {

class FocusLostFilter final : public QObject
{
public:
    FocusLostFilter(QWidget* widget, std::function<void()> handler)
        : QObject(widget), handler_(std::move(handler))
    {
        widget->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::FocusOut) {
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason)
                handler_();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> handler_;
};

} // namespace

void onFocusLost(QWidget* widget, std::function<void()> handler)
{
    new FocusLostFilter(widget, std::move(handler));
}

} // namespace vx
