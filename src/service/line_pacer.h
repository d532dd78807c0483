#pragma once

#include <QByteArray>
#include <QByteArrayList>

#include <vector>

namespace vx {

// Feeds lines to a serial port so that its transmit queue never runs dry and never holds more
// than about a target's worth: the line stays busy with no wait per line, and the count of lines
// sent follows what has really left the program.
class LinePacer
{
public:
    LinePacer(const QByteArrayList& lines, const QByteArray& lineEnd, qint64 backlogTarget);

    // The whole lines, each with its line end, to hand to the port while it still holds backlog
    // bytes; empty when it holds enough or every line has been handed over.
    QByteArray nextChunk(qint64 backlog);
    // Lines whose last byte has left the port's queue.
    int linesSent(qint64 backlog) const;

    bool allQueued() const { return m_next == m_lines.size(); }
    int lineCount() const { return static_cast<int>(m_lines.size()); }
    // Bytes handed to the port so far, and the bytes of all lines with their line ends.
    qint64 bytesQueued() const { return m_queued; }
    qint64 totalBytes() const { return m_ends.empty() ? 0 : m_ends.back(); }

private:
    QByteArrayList m_lines;
    QByteArray m_lineEnd;
    std::vector<qint64> m_ends; // running byte count after each line
    qint64 m_target;
    qint64 m_queued = 0;
    qsizetype m_next = 0;
};

} // namespace vx
