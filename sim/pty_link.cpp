#include "sim/pty_link.h"

#include "sim/baud_rate.h"
#include "sim/sim_limits.h"
#include "sim/symlink_path.h"

#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace vx::sim {
namespace {

bool setFlags(int fd)
{
    const int status = ::fcntl(fd, F_GETFL);
    return ::fcntl(fd, F_SETFD, FD_CLOEXEC) == 0 && status >= 0 &&
           ::fcntl(fd, F_SETFL, status | O_NONBLOCK) == 0;
}

// Until the program configures the port, the slave must not echo or edit what the controller
// sends, or the controller would read its own replies back.
bool makeRaw(int slave)
{
    termios settings{};
    if (::tcgetattr(slave, &settings) != 0)
        return false;
    ::cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    return ::tcsetattr(slave, TCSANOW, &settings) == 0;
}

// A notifier may be the sender whose signal is being handled right now, so it must not be
// destroyed on the spot.
void discard(std::unique_ptr<QSocketNotifier>& notifier)
{
    if (!notifier)
        return;
    notifier->setEnabled(false);
    notifier.release()->deleteLater();
}

bool masterHungUp(int master)
{
    pollfd request{master, POLLIN, 0};
    return ::poll(&request, 1, 0) > 0 && (request.revents & POLLHUP);
}

} // namespace

PtyLink::PtyLink(QObject* parent) : QObject(parent)
{
    m_hangupTimer.setInterval(limits::kHangupPollInterval);
    connect(&m_hangupTimer, &QTimer::timeout, this, &PtyLink::pollHangup);
    m_throttleTimer.setInterval(limits::kThrottleTick);
    m_throttleTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_throttleTimer, &QTimer::timeout, this, &PtyLink::throttleTick);
    connect(&m_openWatch, &PortOpenWatch::opened, this, &PtyLink::programOpenedPort);
    connect(&m_openWatch, &PortOpenWatch::closed, this, [this] {
        discardUnread();
        emit programClosedPort();
    });
}

PtyLink::~PtyLink()
{
    const QSignalBlocker quiet(this);
    unplug();
}

bool PtyLink::plug(const QString& symlinkPath)
{
    unplug();
    m_symlinkPath = symlinkPath;
    m_error.clear();

    int masterFd = -1;
    int slaveFd = -1;
    if (::openpty(&masterFd, &slaveFd, nullptr, nullptr, nullptr) != 0)
        return fail(QStringLiteral("openpty: %1").arg(qt_error_string(errno)));
    UniqueFd master(masterFd);
    UniqueFd slave(slaveFd);

    char name[PATH_MAX];
    if (::ptsname_r(master.get(), name, sizeof name) != 0)
        return fail(QStringLiteral("ptsname: %1").arg(qt_error_string(errno)));
    if (!setFlags(master.get()) || !setFlags(slave.get()) || !makeRaw(slave.get()))
        return fail(QStringLiteral("cannot set up %1: %2").arg(name, qt_error_string(errno)));

    const QString slavePath = QString::fromLocal8Bit(name);
    QString error;
    if (!pointSymlink(symlinkPath, slavePath, &error))
        return fail(error);

    m_master = std::move(master);
    if (m_holdSlaveOpen)
        m_spareSlave = std::move(slave);
    else
        slave.reset();
    m_slavePath = slavePath;
    m_openWatch.watch(slavePath);

    m_readNotifier = std::make_unique<QSocketNotifier>(m_master.get(), QSocketNotifier::Read);
    connect(m_readNotifier.get(), &QSocketNotifier::activated, this,
            [this] { readFromMaster(-1); });
    m_writeNotifier = std::make_unique<QSocketNotifier>(m_master.get(), QSocketNotifier::Write);
    connect(m_writeNotifier.get(), &QSocketNotifier::activated, this,
            [this] { writeToMaster(-1); });
    if (m_throttled)
        m_throttleTimer.start();
    if (!m_holdSlaveOpen && masterHungUp(m_master.get()))
        enterHangup();
    updateNotifiers();
    emit plugged();
    return true;
}

bool PtyLink::replug()
{
    return plug(m_symlinkPath);
}

void PtyLink::unplug()
{
    if (!isPlugged())
        return;
    discard(m_readNotifier);
    discard(m_writeNotifier);
    m_hangupTimer.stop();
    m_throttleTimer.stop();
    m_hungUp = false;
    m_openWatch.stop();
    m_master.reset();
    m_spareSlave.reset();
    m_output.clear();
    m_outputOffset = 0;
    removeSymlinkTo(m_symlinkPath, m_slavePath);
    m_slavePath.clear();
    emit unplugged();
}

qint32 PtyLink::baudRate() const
{
    return isPlugged() ? lineBaudRate(m_master.get()) : 0;
}

void PtyLink::setThrottled(bool throttled)
{
    m_throttled = throttled;
    if (!isPlugged())
        return;
    if (throttled)
        m_throttleTimer.start();
    else
        m_throttleTimer.stop();
    updateNotifiers();
    if (!throttled && !m_hungUp) {
        readFromMaster(-1);
        if (isPlugged())
            writeToMaster(-1);
    }
}

void PtyLink::send(const QByteArray& bytes)
{
    m_openWatch.sync();
    if (!isPlugged() || m_hungUp || !m_openWatch.isOpen() || bytes.isEmpty())
        return;
    m_output.append(bytes);
    if (!m_throttled)
        writeToMaster(-1);
}

// Bytes written to the master reach the slave's queue from a kernel work item, so a count taken
// right after a write can miss them. Polling the slave first makes the kernel finish that work.
std::optional<int> PtyLink::unreadByProgram() const
{
    if (!m_spareSlave.isValid())
        return std::nullopt;
    pollfd request{m_spareSlave.get(), POLLIN, 0};
    ::poll(&request, 1, 0);
    int count = 0;
    if (::ioctl(m_spareSlave.get(), TIOCINQ, &count) != 0)
        return std::nullopt;
    return count;
}

void PtyLink::discardUnread()
{
    m_output.clear();
    m_outputOffset = 0;
    if (m_spareSlave.isValid())
        ::tcflush(m_spareSlave.get(), TCIFLUSH);
    updateNotifiers();
}

bool PtyLink::fail(const QString& error)
{
    m_error = error;
    return false;
}

qint64 PtyLink::readFromMaster(qint64 budget)
{
    // A close and reopen that came before these bytes must be handled before them, or their
    // replies would be dropped along with the previous session's leftovers.
    m_openWatch.sync();
    QByteArray bytes;
    char buffer[limits::kReadChunk];
    while (budget != 0 && !m_hungUp) {
        const auto wanted = static_cast<size_t>(budget < 0 ? limits::kReadChunk
                                                           : std::min(budget, limits::kReadChunk));
        const ssize_t count = ::read(m_master.get(), buffer, wanted);
        if (count > 0) {
            bytes.append(buffer, static_cast<int>(count));
            if (budget > 0)
                budget -= count;
        } else if (count < 0 && errno == EINTR) {
            continue;
        } else if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            break;
        } else {
            enterHangup();
        }
    }
    if (!bytes.isEmpty())
        emit received(bytes);
    return bytes.size();
}

qint64 PtyLink::writeToMaster(qint64 budget)
{
    qint64 written = 0;
    while (isPlugged() && !m_hungUp && pendingOutput() > 0 && budget != 0) {
        const qint64 wanted = budget < 0 ? pendingOutput() : std::min(budget, pendingOutput());
        const ssize_t count = ::write(m_master.get(), m_output.constData() + m_outputOffset,
                                      static_cast<size_t>(wanted));
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            enterHangup();
        if (count <= 0)
            break;
        m_outputOffset += count;
        written += count;
        if (budget > 0)
            budget -= count;
    }
    if (m_outputOffset > 0 && m_outputOffset * 2 >= m_output.size()) {
        m_output.remove(0, static_cast<int>(m_outputOffset));
        m_outputOffset = 0;
    }
    updateNotifiers();
    return written;
}

void PtyLink::updateNotifiers()
{
    if (!isPlugged())
        return;
    m_readNotifier->setEnabled(!m_throttled && !m_hungUp);
    m_writeNotifier->setEnabled(!m_throttled && !m_hungUp && pendingOutput() > 0);
}

// With no slave descriptor open the master reads EIO and polls as readable forever; watching it
// then would spin, so the link looks again on a timer until the program reopens the port. What
// the controller sends meanwhile is lost, as it is on a real port that nobody has open.
void PtyLink::enterHangup()
{
    m_hungUp = true;
    m_output.clear();
    m_outputOffset = 0;
    updateNotifiers();
    m_hangupTimer.start();
}

void PtyLink::pollHangup()
{
    if (!isPlugged() || masterHungUp(m_master.get()))
        return;
    m_hungUp = false;
    m_hangupTimer.stop();
    updateNotifiers();
    if (!m_throttled)
        readFromMaster(-1);
}

void PtyLink::throttleTick()
{
    const qint64 bytesPerSecond = std::max<qint64>(1, baudRate() / 10);
    m_inBudget.setRate(bytesPerSecond);
    m_outBudget.setRate(bytesPerSecond);
    if (!m_hungUp) {
        const qint64 allowance = m_inBudget.available();
        if (allowance > 0)
            m_inBudget.consume(readFromMaster(allowance));
    }
    if (!isPlugged())
        return;
    const qint64 allowance = m_outBudget.available();
    if (allowance > 0)
        m_outBudget.consume(writeToMaster(allowance));
}

} // namespace vx::sim
