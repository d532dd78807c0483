#include "sim/port_open_watch.h"

#include <QFile>
#include <QSocketNotifier>

#include <cerrno>
#include <sys/inotify.h>
#include <unistd.h>

namespace vx::sim {

PortOpenWatch::PortOpenWatch(QObject* parent) : QObject(parent) {}

PortOpenWatch::~PortOpenWatch() = default;

bool PortOpenWatch::watch(const QString& devicePath)
{
    stop();
    UniqueFd watch(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (!watch.isValid() ||
        ::inotify_add_watch(watch.get(), QFile::encodeName(devicePath).constData(),
                            IN_OPEN | IN_CLOSE) < 0)
        return false;
    m_watch = std::move(watch);
    m_notifier = std::make_unique<QSocketNotifier>(m_watch.get(), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &PortOpenWatch::sync);
    return true;
}

void PortOpenWatch::stop()
{
    if (m_notifier) {
        m_notifier->setEnabled(false);
        m_notifier.release()->deleteLater();
    }
    m_watch.reset();
    m_opens = 0;
}

void PortOpenWatch::sync()
{
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t length = ::read(m_watch.get(), buffer, sizeof buffer);
        if (length < 0 && errno == EINTR)
            continue;
        if (length <= 0)
            return;
        for (ssize_t offset = 0; offset < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
            offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (event->mask & IN_OPEN) {
                if (m_opens++ == 0)
                    emit opened();
            } else if ((event->mask & IN_CLOSE) && m_opens > 0) {
                if (--m_opens == 0)
                    emit closed();
            }
        }
    }
}

} // namespace vx::sim
