#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <deque>
#include <functional>
#include <optional>

namespace vx::sim {

// Holds replies back for a delay, or sends them in two pieces, without ever reordering them:
// a slow reply delays the ones queued behind it, as on a controller that answers one line at
// a time.
class ReplyQueue : public QObject
{
    Q_OBJECT

public:
    using Sink = std::function<void(const QByteArray&)>;

    explicit ReplyQueue(Sink sink, QObject* parent = nullptr);

    void post(const QByteArray& reply, std::chrono::milliseconds delay,
              std::optional<std::chrono::milliseconds> splitGap);
    void clear();
    bool isEmpty() const { return m_pieces.empty(); }

signals:
    void drained();

private:
    struct Piece
    {
        QDeadlineTimer due;
        QByteArray bytes;
    };

    // Returns when the piece will go, which is never before the piece ahead of it.
    QDeadlineTimer enqueue(QDeadlineTimer due, const QByteArray& bytes);
    void sendDue();

    Sink m_sink;
    std::deque<Piece> m_pieces;
    QTimer m_timer;
};

} // namespace vx::sim
