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

QByteArray hexByte(quint8 value)
{
    return QByteArray::number(value, 16).toUpper().rightJustified(2, '0');
}

} // namespace

GearboxController::GearboxController(QObject* parent)
    : Controller(kDefaultVersion, parent),
      // Evenly spread barrel positions with reverse below neutral, as on a freshly set-up box.
      m_positions{0x30, 0x48, 0x60, 0x78, 0x90, 0xA8, 0xC0, 0xD8, 0xF0, 0xF8, 0x18}
{
    commands().addWithGear("g", [this](const Command& command) {
        if (command.isSetting())
            return Reply::illegal();
        return Reply::answer(hexByte(*gearPosition(command.gear)));
    });
    ThrottleCommands::install(*this, commands());
    DataLog::install(*this, commands());
    AirPressureTable::install(*this, commands());
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

QByteArray GearboxController::description() const
{
    QByteArray text = m_combined ? "VVT ECU Type 3 + Gearbox GCU Type 2" : "Gearbox GCU Type 2";
    if (m_dataLogger)
        text += ", Data logger available";
    return text;
}

} // namespace vx::sim
