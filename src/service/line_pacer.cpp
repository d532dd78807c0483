#include "service/line_pacer.h"

#include <algorithm>

namespace vx {

LinePacer::LinePacer(const QByteArrayList& lines, const QByteArray& lineEnd, qint64 backlogTarget)
    : m_lines(lines), m_lineEnd(lineEnd), m_target(std::max<qint64>(1, backlogTarget))
{
    m_ends.reserve(static_cast<size_t>(lines.size()));
    qint64 total = 0;
    for (const QByteArray& line : lines) {
        total += line.size() + lineEnd.size();
        m_ends.push_back(total);
    }
}

QByteArray LinePacer::nextChunk(qint64 backlog)
{
    QByteArray chunk;
    // A line longer than the target still goes out whole once the queue is empty.
    while (m_next < m_lines.size() && backlog + chunk.size() < m_target) {
        chunk += m_lines[m_next];
        chunk += m_lineEnd;
        ++m_next;
    }
    m_queued += chunk.size();
    return chunk;
}

int LinePacer::linesSent(qint64 backlog) const
{
    const qint64 left = m_queued - std::clamp<qint64>(backlog, 0, m_queued);
    const auto queuedEnd = m_ends.begin() + m_next;
    return static_cast<int>(std::upper_bound(m_ends.begin(), queuedEnd, left) - m_ends.begin());
}

} // namespace vx
