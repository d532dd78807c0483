#include "sim/reply_queue.h"

namespace vx::sim {

ReplyQueue::ReplyQueue(Sink sink, QObject* parent) : QObject(parent), m_sink(std::move(sink))
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &ReplyQueue::sendDue);
}

void ReplyQueue::post(const QByteArray& reply, std::chrono::milliseconds delay,
                      std::optional<std::chrono::milliseconds> splitGap)
{
    if (reply.isEmpty())
        return;
    const QDeadlineTimer due = enqueue(QDeadlineTimer(delay, Qt::PreciseTimer),
                                       splitGap ? reply.left(reply.size() / 2) : reply);
    if (splitGap)
        enqueue(due + splitGap->count(), reply.mid(reply.size() / 2));
    sendDue();
}

void ReplyQueue::clear()
{
    m_pieces.clear();
    m_timer.stop();
}

QDeadlineTimer ReplyQueue::enqueue(QDeadlineTimer due, const QByteArray& bytes)
{
    if (!m_pieces.empty() && due < m_pieces.back().due)
        due = m_pieces.back().due;
    if (!bytes.isEmpty())
        m_pieces.push_back({due, bytes});
    return due;
}

void ReplyQueue::sendDue()
{
    if (m_pieces.empty())
        return;
    while (!m_pieces.empty() && m_pieces.front().due.hasExpired()) {
        const QByteArray bytes = std::move(m_pieces.front().bytes);
        m_pieces.pop_front();
        m_sink(bytes);
    }
    if (m_pieces.empty()) {
        m_timer.stop();
        emit drained();
    } else {
        m_timer.start(std::chrono::ceil<std::chrono::milliseconds>(
            m_pieces.front().due.remainingTimeAsDuration()));
    }
}

} // namespace vx::sim
