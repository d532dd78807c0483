#include "port_client.h"

namespace vx::sim::test {

PortClient::PortClient(const QString& path, QObject* parent) : QObject(parent)
{
    m_port.setPortName(path);
    connect(&m_port, &QSerialPort::readyRead, this, &PortClient::collect);
    m_clock.start();
}

bool PortClient::open(qint32 baud)
{
    m_port.setBaudRate(baud);
    return m_port.open(QIODevice::ReadWrite);
}

void PortClient::send(const QByteArray& bytes)
{
    m_clock.restart();
    m_port.write(bytes);
}

void PortClient::forget()
{
    m_received.clear();
    m_chunks.clear();
}

void PortClient::collect()
{
    const QByteArray bytes = m_port.readAll();
    if (bytes.isEmpty())
        return;
    m_received += bytes;
    m_chunks.push_back({m_clock.elapsed(), bytes});
}

} // namespace vx::sim::test
