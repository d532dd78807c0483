#pragma once

#include <QByteArray>
#include <QObject>
#include <QSet>

namespace vx::sim {

class CommandTable;
class Controller;

// The throttle sensor set-up that both controllers share: the pot law ("tt"), the sense ("ts")
// and the two end points learnt from the present reading ("mi" closed, "grantlid" fully open).
class ThrottleCommands : public QObject
{
    Q_OBJECT

public:
    // Adds the commands to a controller's table; the state lives as a child of the controller.
    static ThrottleCommands* install(Controller& controller, CommandTable& commands);
    // The state installed on a controller, or nullptr.
    static ThrottleCommands* of(const Controller& controller);

    QByteArray potLaw() const { return m_potLaw; } // "01" linear, "00" logarithmic
    QByteArray sense() const { return m_sense; }   // "00" normal, "01" inverted

    // What the sensor reads now, as the controller would learn it.
    int reading() const { return m_reading; }
    void setReading(int reading) { m_reading = reading; }
    int minimum() const { return m_minimum; }
    int maximum() const { return m_maximum; }

    // A mnemonic listed here answers "Error" and stores nothing, as when the flash write fails.
    void setFailingStores(const QSet<QByteArray>& mnemonics) { m_failing = mnemonics; }

private:
    explicit ThrottleCommands(Controller& controller);

    QByteArray m_potLaw = "01";
    QByteArray m_sense = "00";
    int m_reading = 0x18;
    int m_minimum = 0x10;
    int m_maximum = 0xE8;
    QSet<QByteArray> m_failing;
};

} // namespace vx::sim
