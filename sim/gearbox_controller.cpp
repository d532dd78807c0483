#include "sim/gearbox_controller.h"

#include "sim/air_pressure_table.h"
#include "sim/data_log.h"
#include "sim/throttle_commands.h"

namespace vx::sim {
namespace {

constexpr int kReverse = 10;

std::optional<int> gearIndex(char gear)
{
    if (gear >= '0' && gear <= '9')
        return gear - '0';
    if (gear == 'r' || gear == 'R')
        return kReverse;
    return std::nullopt;
}

// The actuator outputs that only test mode drives.
const QByteArrayList kOutputs{"bl", "us", "ds", "lr", "rr", "nu",
                              "nd", "sc", "td", "ra", "ac", "cl"};

} // namespace

GearboxController::GearboxController(QObject* parent)
    : Controller(kDefaultVersion, parent),
      // Evenly spread barrel positions with reverse below neutral, as on a freshly set-up box.
      m_positions{0x30, 0x48, 0x60, 0x78, 0x90, 0xA8, 0xC0, 0xD8, 0xF0, 0xF8, 0x18},
      m_ramPositions{0x80, 0x40, 0xC0, 0x40, 0xC0, 0x40, 0xC0, 0x40, 0xC0, 0x40, 0x20},
      m_live([this] { return firmwareNumber(); },
             [this](int gear) {
                 return m_positions[static_cast<size_t>(std::clamp(gear, 0, kReverse))];
             })
{
    m_settings.install(commands());
    m_live.install(commands());
    addGearCommands();
    addModeCommands();
    ThrottleCommands::install(*this, commands());
    DataLog::install(*this, commands());
    AirPressureTable::install(*this, commands());
}

void GearboxController::addGearCommands()
{
    const auto rowCommand = [this](std::array<quint8, kGearCount>& rows) {
        return [&rows](const Command& command) {
            const size_t index = static_cast<size_t>(*gearIndex(command.gear));
            if (!command.isSetting())
                return Reply::answer(hexDigits(rows[index], 2));
            const std::optional<qint64> value = parseHex(command.argument);
            if (!value || *value > 0xFF)
                return Reply::illegal();
            rows[index] = static_cast<quint8>(*value);
            return Reply::answer();
        };
    };
    commands().addWithGear("g", rowCommand(m_positions));
    commands().addWithGear("h", rowCommand(m_ramPositions));
}

void GearboxController::addModeCommands()
{
    commands().add("tm", [this](const Command& command) {
        if (command.isSetting())
            return Reply::illegal();
        setPrompt(kTestModePrompt);
        return Reply::answer();
    });
    commands().add("ex", [this](const Command& command) {
        if (command.isSetting())
            return Reply::illegal();
        leaveTestMode();
        return Reply::answer();
    });
    commands().add("ch", [this](const Command& command) {
        if (command.argument != "00000000")
            return Reply::illegal();
        // The controller comes back up at once, out of test mode and with its new settings.
        ++m_restartRequests;
        leaveTestMode();
        m_live.shiftToNeutral();
        return Reply::answer();
    });
    const auto shift = [this](std::function<void()> move) {
        return [this, move](const Command& command) {
            if (command.isSetting() || inTestMode())
                return Reply::illegal();
            move();
            return Reply::answer();
        };
    };
    commands().add("ps", shift([this] { m_live.shiftUp(m_settings.value("mg").value_or(6)); }));
    commands().add("ws", shift([this] { m_live.shiftDown(); }));
    commands().add("ns", shift([this] { m_live.shiftToNeutral(); }));
    commands().add("re", shift([this] { m_live.shiftToNeutral(); }));
    for (const QByteArray& output : kOutputs) {
        commands().add(output, [this, output](const Command& command) {
            if (command.isSetting() || !inTestMode())
                return Reply::illegal();
            ++m_outputPresses[output];
            if (!m_outputsOn.remove(output))
                m_outputsOn.insert(output);
            return Reply::answer();
        });
    }
}

void GearboxController::leaveTestMode()
{
    setPrompt("*");
    m_outputsOn.clear();
}

int GearboxController::firmwareNumber() const
{
    return sim::firmwareNumber(version());
}

bool GearboxController::setGearPosition(char gear, quint8 position)
{
    const std::optional<int> index = gearIndex(gear);
    if (!index)
        return false;
    m_positions[static_cast<size_t>(*index)] = position;
    return true;
}

std::optional<quint8> GearboxController::gearPosition(char gear) const
{
    const std::optional<int> index = gearIndex(gear);
    if (!index)
        return std::nullopt;
    return m_positions[static_cast<size_t>(*index)];
}

bool GearboxController::setRamPosition(char gear, quint8 position)
{
    const std::optional<int> index = gearIndex(gear);
    if (!index)
        return false;
    m_ramPositions[static_cast<size_t>(*index)] = position;
    return true;
}

std::optional<quint8> GearboxController::ramPosition(char gear) const
{
    const std::optional<int> index = gearIndex(gear);
    if (!index)
        return std::nullopt;
    return m_ramPositions[static_cast<size_t>(*index)];
}

QByteArray GearboxController::description() const
{
    if (!m_descriptionOverride.isEmpty())
        return m_descriptionOverride;
    QByteArray text = m_combined ? "VVT ECU Type 3 + Gearbox GCU Type 2" : "Gearbox GCU Type 2";
    if (m_dataLogger)
        text += ", Data logger available";
    return text;
}

} // namespace vx::sim
