#include "sim/throttle_commands.h"

#include "sim/command_table.h"
#include "sim/controller.h"

namespace vx::sim {
namespace {

QByteArray hexWord(int value)
{
    return QByteArray::number(value, 16).toUpper().rightJustified(4, '0');
}

// A two-digit code that is either "00" or "01".
bool isFlagCode(const QByteArray& argument)
{
    return argument == "00" || argument == "01";
}

} // namespace

ThrottleCommands::ThrottleCommands(Controller& controller) : QObject(&controller)
{
    setObjectName(QStringLiteral("ThrottleCommands"));
}

ThrottleCommands* ThrottleCommands::install(Controller& controller, CommandTable& commands)
{
    auto* state = new ThrottleCommands(controller);
    const auto flagCommand = [state](QByteArray ThrottleCommands::*field) {
        return [state, field](const Command& command) {
            if (!command.isSetting())
                return Reply::answer(state->*field);
            if (!isFlagCode(command.argument))
                return Reply::illegal();
            if (state->m_failing.contains(command.mnemonic))
                return Reply::answer("Error");
            state->*field = command.argument;
            return Reply::answer();
        };
    };
    commands.add("tt", flagCommand(&ThrottleCommands::m_potLaw));
    commands.add("ts", flagCommand(&ThrottleCommands::m_sense));

    const auto learnCommand = [state](int ThrottleCommands::*field) {
        return [state, field](const Command& command) {
            if (command.isSetting())
                return Reply::illegal();
            if (state->m_failing.contains(command.mnemonic))
                return Reply::answer("Error");
            state->*field = state->m_reading;
            return Reply::answer(hexWord(state->m_reading));
        };
    };
    commands.add("mi", learnCommand(&ThrottleCommands::m_minimum));
    commands.add("grantlid", learnCommand(&ThrottleCommands::m_maximum));
    return state;
}

ThrottleCommands* ThrottleCommands::of(const Controller& controller)
{
    return controller.findChild<ThrottleCommands*>(QStringLiteral("ThrottleCommands"),
                                                   Qt::FindDirectChildrenOnly);
}

} // namespace vx::sim
