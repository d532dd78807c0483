#pragma once

#include "sim/unique_fd.h"

#include <QObject>
#include <QString>

#include <memory>

class QSocketNotifier;

namespace vx::sim {

// Notices the program opening and closing the slave side of a pty, which the master end cannot
// see while the simulator holds the slave open itself. Only opens made after watch() count, so
// the simulator's own descriptor is not mistaken for the program.
class PortOpenWatch : public QObject
{
    Q_OBJECT

public:
    explicit PortOpenWatch(QObject* parent = nullptr);
    ~PortOpenWatch() override;

    // False if the device cannot be watched; isOpen() then always answers true.
    bool watch(const QString& devicePath);
    void stop();

    bool isOpen() const { return !m_watch.isValid() || m_opens > 0; }

    // Takes in events already queued. Whatever the program did before its latest write is then
    // known, so callers sync before acting on what the program sent.
    void sync();

signals:
    void opened();
    void closed();

private:
    UniqueFd m_watch;
    std::unique_ptr<QSocketNotifier> m_notifier;
    int m_opens = 0;
};

} // namespace vx::sim
