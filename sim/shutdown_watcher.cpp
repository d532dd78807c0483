#include "sim/shutdown_watcher.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vx::sim {
namespace {

// Written by the signal handler, so a plain int: the handler may only call write().
volatile int g_signalWrite = -1;

void onSignal(int)
{
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(g_signalWrite, &byte, 1);
    errno = savedErrno;
}

bool installHandler(int signal)
{
    struct sigaction action
    {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(signal, &action, nullptr) == 0;
}

void restoreDefault(int signal)
{
    struct sigaction action
    {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
}

} // namespace

ShutdownWatcher::ShutdownWatcher(bool watchStandardInput, QObject* parent) : QObject(parent)
{
    int pair[2];
    if (g_signalWrite < 0 &&
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, pair) == 0) {
        g_signalWrite = pair[0];
        m_signalRead.reset(pair[1]);
        if (installHandler(SIGTERM) && installHandler(SIGINT)) {
            m_signalNotifier =
                std::make_unique<QSocketNotifier>(m_signalRead.get(), QSocketNotifier::Read);
            connect(m_signalNotifier.get(), &QSocketNotifier::activated, this,
                    &ShutdownWatcher::drainSignals);
        }
    }
    if (watchStandardInput) {
        ::fcntl(STDIN_FILENO, F_SETFL, ::fcntl(STDIN_FILENO, F_GETFL) | O_NONBLOCK);
        m_inputNotifier = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
        connect(m_inputNotifier.get(), &QSocketNotifier::activated, this,
                &ShutdownWatcher::readStandardInput);
    }
}

ShutdownWatcher::~ShutdownWatcher()
{
    if (!m_signalRead.isValid())
        return;
    restoreDefault(SIGTERM);
    restoreDefault(SIGINT);
    ::close(g_signalWrite);
    g_signalWrite = -1;
}

void ShutdownWatcher::drainSignals()
{
    char buffer[64];
    while (::read(m_signalRead.get(), buffer, sizeof buffer) > 0) {
    }
    emit shutdownRequested();
}

// Anything typed on standard input is of no interest; only its end matters.
void ShutdownWatcher::readStandardInput()
{
    char buffer[256];
    for (;;) {
        const ssize_t count = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (count > 0)
            continue;
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        m_inputNotifier->setEnabled(false);
        emit shutdownRequested();
        return;
    }
}

} // namespace vx::sim
