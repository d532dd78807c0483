#include "sim/engine_model.h"

#include <algorithm>
#include <cmath>

namespace vx::sim {

namespace {

constexpr double kPi = 3.14159265358979323846;

QByteArray hex(qint64 value, int width)
{
    return QByteArray::number(value, 16).toUpper().rightJustified(width, '0').right(width);
}

QByteArray fourNumbers(const std::array<int, 4>& numbers)
{
    QByteArray text;
    for (int k = 0; k < 4; ++k) {
        if (k > 0)
            text += ' ';
        text += hex(std::clamp(numbers[k], 0, 255), 2);
    }
    return text;
}

} // namespace

EngineModel::EngineModel()
{
    m_clock.start();
}

void EngineModel::hold(int rpm, int throttlePercent)
{
    m_moving = false;
    m_rpm = std::max(0, rpm);
    m_throttle = std::clamp(throttlePercent, 0, 100);
}

void EngineModel::setMoving(bool moving)
{
    m_moving = moving;
}

double EngineModel::seconds() const
{
    return m_clock.elapsed() / 1000.0;
}

int EngineModel::rpm() const
{
    if (!m_moving)
        return m_rpm;
    // A slow sweep between 1000 and 8000 rpm.
    return static_cast<int>(4500 + 3500 * std::sin(2 * kPi * seconds() / 20.0));
}

int EngineModel::throttle() const
{
    if (!m_moving)
        return m_throttle;
    return static_cast<int>(std::lround(50 + 48 * std::sin(2 * kPi * seconds() / 7.0)));
}

int EngineModel::band() const
{
    const int t = throttle();
    return t < 25 ? 0 : t < 50 ? 1 : t < 75 ? 2 : 3;
}

int EngineModel::row() const
{
    const int r = rpm();
    int row = r / 500;
    if (r % 500 < 250)
        --row;
    return std::clamp(row, 1, 29);
}

int EngineModel::syncErrors() const
{
    if (!m_moving)
        return m_syncErrors;
    // A running engine loses sync now and then.
    return m_syncErrors + static_cast<int>((m_clock.elapsed() - m_syncResetAt) / 15000);
}

void EngineModel::resetSyncErrors()
{
    m_syncErrors = 0;
    m_syncResetAt = m_clock.elapsed();
}

QByteArray EngineModel::revCounterPeriod(int cylinders) const
{
    const int r = rpm();
    if (r <= 0)
        return "FFFF";
    const double pulsesConstant = cylinders == 6 ? 625000.0 : 937500.0;
    return hex(std::clamp<qint64>(std::lround(pulsesConstant / r), 59, 0xFFFF), 4);
}

QByteArray EngineModel::crankPeriod() const
{
    const int r = rpm();
    if (r <= 0)
        return "000000";
    return hex(std::lround(93750000.0 / r), 6);
}

QByteArray EngineModel::throttleAnswer() const
{
    return hex(throttle(), 2);
}

QByteArray EngineModel::bandOffset() const
{
    return hex(band() * 32, 4);
}

QByteArray EngineModel::syncErrorAnswer() const
{
    return hex(syncErrors(), 4);
}

QByteArray EngineModel::triggerPoints(int cam) const
{
    // Tooth positions at which each cam's sensor edges were seen; they drift a little with speed.
    const int drift = rpm() / 1000;
    const int base = 10 + cam * 20;
    return fourNumbers({base + drift, base + 5 + drift, base + 10 + drift, base + 15 + drift});
}

QByteArray EngineModel::camPositions(const std::array<quint8, 256>& map) const
{
    if (rpm() <= 0)
        return fourNumbers({0, 0, 0, 0});
    const int inlet = static_cast<qint8>(map[band() * 32 + row()]);
    const int exhaust = static_cast<qint8>(map[(band() + 4) * 32 + row()]);
    // The phasers settle within a degree of the target.
    const int wobble = m_moving ? static_cast<int>(m_clock.elapsed() / 300 % 2) : 0;
    return fourNumbers({inlet, inlet + wobble, exhaust, exhaust + wobble});
}

} // namespace vx::sim
