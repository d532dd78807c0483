#include "sim/command_table.h"

namespace vx::sim {
namespace {

// Arguments are upper-case hexadecimal (decimal digits being a subset), so they can never run
// into a lower-case mnemonic.
bool isArgumentChar(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

bool isGearChar(char c, bool setting)
{
    return (c >= '0' && c <= '9') || c == (setting ? 'R' : 'r');
}

} // namespace

void CommandTable::add(const QByteArray& mnemonic, CommandHandler handler)
{
    m_plain.insert(mnemonic, std::move(handler));
}

void CommandTable::addWithGear(const QByteArray& mnemonic, CommandHandler handler)
{
    m_withGear.insert(mnemonic, std::move(handler));
}

std::optional<CommandTable::Match> CommandTable::match(const QByteArray& line) const
{
    int argumentLength = 0;
    while (argumentLength < line.size() && isArgumentChar(line.at(argumentLength)))
        ++argumentLength;

    Command command;
    command.line = line;
    command.argument = line.left(argumentLength);
    const QByteArray rest = line.mid(argumentLength);

    if (const auto plain = m_plain.constFind(rest); plain != m_plain.cend()) {
        command.mnemonic = rest;
        return Match{command, &plain.value()};
    }
    if (rest.size() < 2 || !isGearChar(rest.back(), command.isSetting()))
        return std::nullopt;
    command.mnemonic = rest.chopped(1);
    const auto geared = m_withGear.constFind(command.mnemonic);
    if (geared == m_withGear.cend())
        return std::nullopt;
    command.gear = rest.back();
    return Match{command, &geared.value()};
}

} // namespace vx::sim
