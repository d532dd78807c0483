#pragma once

#include "sim/controller.h"
#include "sim/gearbox_live.h"
#include "sim/gearbox_settings.h"

#include <QHash>
#include <QSet>

#include <array>

namespace vx::sim {

// The paddle-shift gearbox controller (the GCU): its stored settings and gear positions, its
// live status, the shift commands and the test mode that drives each output directly.
class GearboxController : public Controller
{
    Q_OBJECT

public:
    static constexpr char kDefaultVersion[] = "V2.3-8";
    static constexpr char kTestModePrompt[] = "TestMode>";

    explicit GearboxController(QObject* parent = nullptr);

    bool hasDataLogger() const { return m_dataLogger; }
    void setDataLogger(bool present) { m_dataLogger = present; }

    // A combined unit runs the VVT engine controller in the same box and says so in "do".
    bool isCombined() const { return m_combined; }
    void setCombined(bool combined) { m_combined = combined; }

    // Answers "do" with this text instead, as a controller of another kind would.
    void setDescriptionOverride(const QByteArray& text) { m_descriptionOverride = text; }

    // Barrel (or left/right) position of a gear: '0'..'9', or 'r'/'R' for reverse. False for
    // any other character.
    bool setGearPosition(char gear, quint8 position);
    std::optional<quint8> gearPosition(char gear) const;
    // Ram (or forward/backward) position of a gear, as above.
    bool setRamPosition(char gear, quint8 position);
    std::optional<quint8> ramPosition(char gear) const;

    GearboxSettings& settings() { return m_settings; }
    const GearboxSettings& settings() const { return m_settings; }
    GearboxLive& live() { return m_live; }

    int firmwareNumber() const;

    bool inTestMode() const { return prompt() == kTestModePrompt; }
    // How often an output command was obeyed in test mode ("us", "cl", ...).
    int outputPresses(const QByteArray& mnemonic) const { return m_outputPresses.value(mnemonic); }
    // Each obeyed output command toggles its output; leaving test mode switches all off.
    bool outputOn(const QByteArray& mnemonic) const { return m_outputsOn.contains(mnemonic); }
    // Restarts asked for with eight "0" digits and "ch".
    int restartRequests() const { return m_restartRequests; }

protected:
    QByteArray description() const override;

private:
    static constexpr int kGearCount = 11;

    void addGearCommands();
    void addModeCommands();
    void leaveTestMode();

    std::array<quint8, kGearCount> m_positions;
    std::array<quint8, kGearCount> m_ramPositions;
    GearboxSettings m_settings;
    GearboxLive m_live;
    QHash<QByteArray, int> m_outputPresses;
    QSet<QByteArray> m_outputsOn;
    QByteArray m_descriptionOverride;
    int m_restartRequests = 0;
    bool m_dataLogger = true;
    bool m_combined = false;
};

} // namespace vx::sim
