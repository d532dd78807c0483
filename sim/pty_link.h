#pragma once

#include "sim/byte_budget.h"
#include "sim/port_open_watch.h"
#include "sim/unique_fd.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>
#include <optional>

class QSocketNotifier;

namespace vx::sim {

// One simulated serial adapter: a pseudo-terminal whose slave the program opens through a
// symbolic link, exactly as it opens a real adapter. The simulator works the master end from the
// event loop and never blocks.
class PtyLink : public QObject
{
    Q_OBJECT

public:
    explicit PtyLink(QObject* parent = nullptr);
    ~PtyLink() override;

    // Plugs in a fresh pty behind symlinkPath (unplugging first if needed). False on failure,
    // with the reason in errorString().
    bool plug(const QString& symlinkPath);
    // Plugs in again at the path of the last plug().
    bool replug();
    // Pulls the cable: master closed, symlink removed; the program's port reports an error.
    void unplug();

    bool isPlugged() const { return m_master.isValid(); }
    QString symlinkPath() const { return m_symlinkPath; }
    QString slavePath() const { return m_slavePath; }
    QString errorString() const { return m_error; }

    // The line rate the program set on its port, 0 while unplugged.
    qint32 baudRate() const;

    // A throttled link carries at most baudRate() / 10 bytes a second each way, reading from the
    // program only as fast as the line would so that the program's writes meet back-pressure.
    void setThrottled(bool throttled);
    bool isThrottled() const { return m_throttled; }

    // With the slave held open (the default) the program can close and reopen its port without
    // the master ever seeing a hang-up. Without it the link rides out the hang-up instead.
    // Takes effect at the next plug().
    void setHoldSlaveOpen(bool hold) { m_holdSlaveOpen = hold; }
    bool holdsSlaveOpen() const { return m_holdSlaveOpen; }

    // True while every slave descriptor is closed and the link waits for the port to reopen.
    bool isHungUp() const { return m_hungUp; }

    // Whether the program has the port open. When it closes it, whatever it has not read is
    // dropped, and whatever is sent until it opens again is lost, as on a real port.
    bool isOpenByProgram() const { return m_openWatch.isOpen(); }

    void send(const QByteArray& bytes);
    // Bytes sent that have not yet gone into the pty.
    qint64 pendingOutput() const { return m_output.size() - m_outputOffset; }
    // Bytes in the pty that the program has not read yet; nullopt if the slave is not held open.
    std::optional<int> unreadByProgram() const;

signals:
    void received(const QByteArray& bytes);
    void plugged();
    void unplugged();
    void programOpenedPort();
    void programClosedPort();

private:
    bool fail(const QString& error);
    void discardUnread();
    qint64 readFromMaster(qint64 budget);
    qint64 writeToMaster(qint64 budget);
    void updateNotifiers();
    void enterHangup();
    void pollHangup();
    void throttleTick();

    UniqueFd m_master;
    UniqueFd m_spareSlave;
    PortOpenWatch m_openWatch;
    std::unique_ptr<QSocketNotifier> m_readNotifier;
    std::unique_ptr<QSocketNotifier> m_writeNotifier;
    QTimer m_hangupTimer;
    QTimer m_throttleTimer;
    ByteBudget m_inBudget;
    ByteBudget m_outBudget;
    QByteArray m_output;
    qint64 m_outputOffset = 0;
    QString m_symlinkPath;
    QString m_slavePath;
    QString m_error;
    bool m_throttled = false;
    bool m_holdSlaveOpen = true;
    bool m_hungUp = false;
};

} // namespace vx::sim
