#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QSerialPort>

#include <vector>

namespace vx::sim::test {

// The program's side of a simulated link: a real QSerialPort on the symlink, collecting
// everything it receives with the time it arrived.
class PortClient : public QObject
{
    Q_OBJECT

public:
    struct Chunk
    {
        qint64 atMs;
        QByteArray bytes;
    };

    explicit PortClient(const QString& path, QObject* parent = nullptr);

    bool open(qint32 baud);
    void close() { m_port.close(); }
    QSerialPort& port() { return m_port; }

    // Writes bytes and restarts the clock that chunk times count from.
    void send(const QByteArray& bytes);

    const QByteArray& received() const { return m_received; }
    const std::vector<Chunk>& chunks() const { return m_chunks; }
    qint64 msecsSinceSend() const { return m_clock.elapsed(); }
    void forget();

private:
    void collect();

    QSerialPort m_port;
    QElapsedTimer m_clock;
    QByteArray m_received;
    std::vector<Chunk> m_chunks;
};

} // namespace vx::sim::test
