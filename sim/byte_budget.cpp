#include "sim/byte_budget.h"

#include "sim/sim_limits.h"

#include <algorithm>

namespace vx::sim {

void ByteBudget::setRate(qint64 bytesPerSecond)
{
    if (bytesPerSecond == m_rate && m_clock.isValid())
        return;
    m_rate = bytesPerSecond;
    m_consumed = 0;
    m_clock.start();
}

qint64 ByteBudget::available()
{
    if (!m_clock.isValid() || m_rate <= 0)
        return 0;
    const double seconds = static_cast<double>(m_clock.nsecsElapsed()) / 1e9;
    const auto accrued = static_cast<qint64>(seconds * static_cast<double>(m_rate));
    const qint64 burst = std::max<qint64>(1, m_rate * limits::kThrottleMaxBurst.count() / 1000);
    if (accrued - m_consumed > burst)
        m_consumed = accrued - burst;
    return accrued - m_consumed;
}

} // namespace vx::sim
