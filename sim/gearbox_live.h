#pragma once

#include "sim/command_table.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>

#include <functional>

namespace vx::sim {

// The live status of a simulated gearbox: engine speed (as the rev-counter period "rp" and the
// crank tooth period "rh"), throttle, sync errors, the barrel and ram sensors, the engaged gear,
// the shift indicators, brake pedal, manual mode, last shift time and air pressure. Values stay
// as set unless the motion is on, which makes them move as on a car being driven.
class GearboxLive
{
public:
    // The firmware number (major * 10000 + minor * 100 + build) decides which reads it knows.
    using FirmwareNumber = std::function<int()>;
    using GearPosition = std::function<int(int gear)>;

    GearboxLive(FirmwareNumber firmware, GearPosition barrelPosition);

    void install(CommandTable& commands);

    // Raw answer values by mnemonic ("rp", "sy", "th", "rh", "bs", "rs", "gn", "up", "dp", "nb",
    // "bp", "st", "ap", "mm").
    int value(const QByteArray& mnemonic) const { return m_values.value(mnemonic); }
    void setValue(const QByteArray& mnemonic, int value) { m_values.insert(mnemonic, value); }
    // Sets "rp" and "rh" from an engine speed (the rev counter for four cylinders).
    void setEngineSpeed(int rpm);

    void setMotion(bool on);
    bool motion() const { return m_motion; }

    // The driver's shifts, as the shift commands and the paddles make them.
    void shiftUp(int maxGears);
    void shiftDown();
    void shiftToNeutral();

private:
    void move();

    FirmwareNumber m_firmware;
    GearPosition m_barrelPosition;
    QHash<QByteArray, int> m_values;
    QElapsedTimer m_clock;
    qint64 m_shiftAtMs = -1;
    bool m_motion = false;
};

// The firmware number of a version text such as "V2.3-8".
int firmwareNumber(const QByteArray& version);

} // namespace vx::sim
