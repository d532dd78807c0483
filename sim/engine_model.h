#pragma once

#include <QByteArray>
#include <QElapsedTimer>

#include <array>

namespace vx::sim {

// The engine behind the simulated VVT controller: speed and throttle either held where a test
// puts them or moving on their own (for a demo), and the live values the controller reports.
class EngineModel
{
public:
    EngineModel();

    // Holds the engine at this speed and throttle (0 rpm = stopped).
    void hold(int rpm, int throttlePercent);
    // Lets speed and throttle sweep through their ranges by themselves.
    void setMoving(bool moving);
    bool isMoving() const { return m_moving; }

    int rpm() const;
    int throttle() const;
    // The throttle band the controller's map uses: 0..3 for 5-25, 25-50, 50-75, 75-100 %.
    int band() const;
    // The map row the controller uses at the current speed (rows are 500 rpm apart).
    int row() const;

    int syncErrors() const;
    void resetSyncErrors();
    void addSyncErrors(int count) { m_syncErrors += count; }

    // Answers to the live queries; the map is the controller's column-major image (32 bytes a
    // column) and drives the actual cam positions.
    QByteArray revCounterPeriod(int cylinders) const;
    QByteArray crankPeriod() const;
    QByteArray throttleAnswer() const;
    QByteArray bandOffset() const;
    QByteArray syncErrorAnswer() const;
    QByteArray triggerPoints(int cam) const;
    QByteArray camPositions(const std::array<quint8, 256>& map) const;

private:
    double seconds() const;

    QElapsedTimer m_clock;
    bool m_moving = false;
    int m_rpm = 0;
    int m_throttle = 0;
    int m_syncErrors = 0;
    qint64 m_syncResetAt = 0;
};

} // namespace vx::sim
