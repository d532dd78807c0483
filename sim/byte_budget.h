#pragma once

#include <QElapsedTimer>

namespace vx::sim {

// Grants bytes at a steady rate, as a serial line of a given speed would carry them.
class ByteBudget
{
public:
    // Starts over at bytesPerSecond; leaves a running budget alone if the rate is unchanged.
    void setRate(qint64 bytesPerSecond);
    qint64 available();
    void consume(qint64 bytes) { m_consumed += bytes; }

private:
    QElapsedTimer m_clock;
    qint64 m_rate = 0;
    qint64 m_consumed = 0;
};

} // namespace vx::sim
