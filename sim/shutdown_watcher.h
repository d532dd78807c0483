#pragma once

#include "sim/unique_fd.h"

#include <QObject>

#include <memory>

class QSocketNotifier;

namespace vx::sim {

// Tells the simulator process when to go: SIGTERM, SIGINT, or standard input reaching end of
// file, which is how a parent that dies without signalling takes its simulator down.
class ShutdownWatcher : public QObject
{
    Q_OBJECT

public:
    explicit ShutdownWatcher(bool watchStandardInput, QObject* parent = nullptr);
    ~ShutdownWatcher() override;

    // Only one watcher can own the signal handlers; false if they could not be installed.
    bool isWatching() const { return m_signalNotifier != nullptr; }

signals:
    void shutdownRequested();

private:
    void drainSignals();
    void readStandardInput();

    UniqueFd m_signalRead;
    std::unique_ptr<QSocketNotifier> m_signalNotifier;
    std::unique_ptr<QSocketNotifier> m_inputNotifier;
};

} // namespace vx::sim
