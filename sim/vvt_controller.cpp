#include "sim/vvt_controller.h"

#include "sim/throttle_commands.h"

namespace vx::sim {

VvtController::VvtController(QObject* parent) : Controller(kDefaultVersion, parent)
{
    // The program's port search asks every controller it finds for gear 0; the engine
    // controller has no gears but answers the question all the same.
    commands().addWithGear("g", [](const Command& command) {
        if (command.isSetting() || command.gear != '0')
            return Reply::illegal();
        return Reply::answer("00");
    });
    ThrottleCommands::install(*this, commands());
}

QByteArray VvtController::description() const
{
    return "VVT ECU Type 3 cam phasing controller";
}

} // namespace vx::sim
