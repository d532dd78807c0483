#pragma once

#include "sim/controller.h"

#include <array>

namespace vx::sim {

// The paddle-shift gearbox controller (the GCU).
class GearboxController : public Controller
{
    Q_OBJECT

public:
    static constexpr char kDefaultVersion[] = "V2.3-8";

    explicit GearboxController(QObject* parent = nullptr);

    bool hasDataLogger() const { return m_dataLogger; }
    void setDataLogger(bool present) { m_dataLogger = present; }

    // A combined unit runs the VVT engine controller in the same box and says so in "do".
    bool isCombined() const { return m_combined; }
    void setCombined(bool combined) { m_combined = combined; }

    // Barrel position of a gear: '0'..'9', or 'r'/'R' for reverse. False for any other character.
    bool setGearPosition(char gear, quint8 position);
    std::optional<quint8> gearPosition(char gear) const;

protected:
    QByteArray description() const override;

private:
    static constexpr int kGearCount = 11;

    std::array<quint8, kGearCount> m_positions;
    bool m_dataLogger = true;
    bool m_combined = false;
};

} // namespace vx::sim
