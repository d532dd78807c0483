#include "sim/gearbox_settings.h"

namespace vx::sim {

QByteArray hexDigits(qint64 value, int digits)
{
    return QByteArray::number(value, 16).toUpper().rightJustified(digits, '0');
}

std::optional<qint64> parseHex(const QByteArray& argument)
{
    bool ok = false;
    const qint64 value = argument.toLongLong(&ok, 16);
    if (!ok || argument.isEmpty() || argument.size() > 8)
        return std::nullopt;
    return value;
}

GearboxSettings::GearboxSettings()
{
    // A plausible set-up of a six-speed sequential box.
    const struct
    {
        const char* mnemonic;
        int digits;
        int value;
    } defaults[] = {
        {"mg", 2, 6},    {"bw", 2, 5},   {"md", 4, 10000}, {"mu", 4, 12000}, {"ut", 2, 25},
        {"fu", 2, 200},  {"du", 2, 150}, {"pu", 2, 100},   {"dt", 2, 30},    {"fd", 2, 60},
        {"dd", 2, 110},  {"pd", 2, 140}, {"rw", 2, 10},    {"pe", 2, 80},    {"un", 2, 20},
        {"uf", 2, 30},   {"dn", 2, 20},  {"df", 2, 30},    {"wd", 2, 10},    {"mt", 2, 80},
        {"mr", 4, 3000}, {"tb", 2, 8},   {"ip", 2, 15},    {"mp", 2, 90},    {"co", 2, 110},
        {"cf", 2, 130},  {"wp", 2, 0},   {"bn", 2, 0},     {"rm", 2, 1},     {"am", 2, 0},
        {"gp", 2, 0},    {"gd", 2, 0},   {"ty", 2, 0},
    };
    for (const auto& d : defaults)
        m_values.insert(d.mnemonic, Setting{d.digits, d.value});
}

void GearboxSettings::install(CommandTable& commands)
{
    for (auto it = m_values.cbegin(); it != m_values.cend(); ++it) {
        const QByteArray mnemonic = it.key();
        commands.add(mnemonic, [this, mnemonic](const Command& command) {
            if (!command.isSetting())
                return Reply::answer(hexDigits(*value(mnemonic), digits(mnemonic)));
            const std::optional<qint64> parsed = parseHex(command.argument);
            if (!parsed || !setValue(mnemonic, static_cast<int>(*parsed)))
                return Reply::illegal();
            return Reply::answer();
        });
    }
}

std::optional<int> GearboxSettings::value(const QByteArray& mnemonic) const
{
    const auto found = m_values.constFind(mnemonic);
    if (found == m_values.cend())
        return std::nullopt;
    return found->value;
}

bool GearboxSettings::setValue(const QByteArray& mnemonic, int value)
{
    const auto found = m_values.find(mnemonic);
    if (found == m_values.end())
        return false;
    const qint64 largest = (qint64(1) << (4 * found->digits)) - 1;
    if (value < 0 || value > largest)
        return false;
    found->value = value;
    return true;
}

int GearboxSettings::digits(const QByteArray& mnemonic) const
{
    return m_values.value(mnemonic, Setting{2, 0}).digits;
}

} // namespace vx::sim
