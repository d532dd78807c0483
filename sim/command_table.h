#pragma once

#include "sim/command.h"

#include <QHash>

#include <optional>

namespace vx::sim {

// The commands one controller understands, and the parsing of a line into one of them.
class CommandTable
{
public:
    struct Match
    {
        Command command;
        const CommandHandler* handler;
    };

    // A command written as [argument]mnemonic.
    void add(const QByteArray& mnemonic, CommandHandler handler);
    // A command written as [argument]mnemonic gear, the gear being '0'..'9', or 'r' when reading
    // and 'R' when setting.
    void addWithGear(const QByteArray& mnemonic, CommandHandler handler);

    std::optional<Match> match(const QByteArray& line) const;

private:
    QHash<QByteArray, CommandHandler> m_plain;
    QHash<QByteArray, CommandHandler> m_withGear;
};

} // namespace vx::sim
