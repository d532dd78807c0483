#include "gearbox/parameter_table.h"

#include "serial/command_table.h"

#include <QHash>

namespace vx::gearbox {

const std::array<NumberParameter, kNumberParameterCount>& numberParameters()
{
    // PlayDownshift steps like PlayUpshift: a step of 0 would make its plus and minus keys dead.
    static const std::array<NumberParameter, kNumberParameterCount> table{{
        {"MaxGears", "Maximum Gears", "", cmd::mg, 2, 1, 2, 9, 1, 2, 1, 2, 9, 1, ""},
        {"BarrelWindow", "Barrel Window", "", cmd::bw, 2, 1, 1, 25, 2, 2, 1, 1, 25, 2, ""},
        {"MaxDownRPM", "Max Downshift RPM", "", cmd::md, 4, 1, 1000, 15000, 5, 4, 100, 2000, 14000,
         5, ""},
        {"MaxAutoUpshift", "Auto Upshift RPM", "", cmd::mu, 4, 1, 1000, 15000, 5, 4, 100, 2000,
         15000, 5, ""},
        {"UpshiftTimeout", "Timeout", "mS", cmd::ut, 2, 10, 0, 2550, 4, 2, 10, 0, 2550, 4, ""},
        {"FullyEngagedUpshift", "Fully Engaged", "", cmd::fu, 2, 1, 0, 255, 3, 2, 1, 0, 255, 3,
         "SetFullyEngagedUpshift"},
        {"Dog2DogUpshift", "Dog to Dog", "", cmd::du, 2, 1, 0, 255, 3, 2, 1, 0, 255, 3,
         "SetDog2DogUpshift"},
        {"PlayUpshift", "Play", "", cmd::pu, 2, 1, 0, 255, 3, 2, 1, 0, 255, 3, "SetPlayUpshift"},
        {"DownshiftTimeout", "Timeout", "mS", cmd::dt, 2, 10, 0, 2550, 4, 2, 10, 0, 2550, 4, ""},
        {"FullyEngagedDownshift", "Fully Engaged", "", cmd::fd, 2, 1, 0, 255, 3, 2, 1, 0, 255, 3,
         "SetFullyEngagedDownshift"},
        {"Dog2DogDownshift", "Dog to Dog", "", cmd::dd, 2, 1, 0, 255, 3, 2, 1, 0, 255, 3,
         "SetDog2DogDownshift"},
        {"PlayDownshift", "Play", "", cmd::pd, 2, 1, 0, 255, 3, 2, 1, 0, 255, 3,
         "SetPlayDownshift"},
        {"RamWindow", "Ram Window", "", cmd::rw, 2, 1, 0, 50, 3, 2, 1, 0, 50, 3, ""},
        {"PercentEngaged", "Pecentage Engagement", "%", cmd::pe, 2, 1, 10, 100, 3, 2, 1, 10, 100, 3,
         ""},
        {"NeutralNudgeUpOnPulse", "Ram On Pulse Width", "mS", cmd::un, 2, 1, 0, 255, 3, 2, 1, 0,
         255, 3, ""},
        {"NeutralNudgeUpOffPulse", "Ram Off Pulse Width", "mS", cmd::uf, 2, 1, 0, 255, 3, 2, 1, 0,
         255, 3, ""},
        {"NeutralNudgeDownOnPulse", "Ram On Pulse Width", "mS", cmd::dn, 2, 1, 0, 255, 3, 2, 1, 0,
         255, 3, ""},
        {"NeutralNudgeDownOffPulse", "Ram Off Pulse Width", "mS", cmd::df, 2, 1, 0, 255, 3, 2, 1, 0,
         255, 3, ""},
        {"WaitDisengage", "Wait Disengage", "mS", cmd::wd, 2, 1, 0, 255, 3, 2, 1, 0, 255, 3, ""},
        {"MaxThrotBlip", "Max Throt % for Blip", "%", cmd::mt, 2, 1, 10, 100, 3, 2, 1, 10, 100, 3,
         ""},
        {"MinBlipRPM", "Min RPM for Blip", "", cmd::mr, 4, 1, 250, 6000, 4, 4, 100, 250, 6000, 5,
         ""},
        {"ThrotBlipTime", "Blip Duration", "mS", cmd::tb, 2, 10, 0, 2550, 4, 2, 10, 0, 2550, 4, ""},
        {"Dog2DogPulse", "Rev Limit On/Off Pulse Width", "mS", cmd::ip, 2, 1, 0, 255, 3, 2, 1, 0,
         255, 3, ""},
        {"RPMMatchPercent", "Percentage Match:", "%", cmd::mp, 2, 1, 10, 100, 3, 2, 1, 10, 100, 3,
         ""},
        {"OnPressure", "On at <", "psi", cmd::co, 2, 1, 0, 139, 3, 4, 1, 0, 139, 3, ""},
        {"OffPressure", "Off at >", "psi", cmd::cf, 2, 1, 120, 150, 3, 4, 1, 120, 150, 3, ""},
    }};
    return table;
}

std::optional<int> numberParameterIndex(const QString& control)
{
    static const QHash<QString, int> byName = [] {
        QHash<QString, int> names;
        for (int i = 0; i < kNumberParameterCount; ++i)
            names.insert(QLatin1String(numberParameters()[static_cast<size_t>(i)].control), i);
        return names;
    }();
    const auto found = byName.constFind(control);
    if (found == byName.cend())
        return std::nullopt;
    return *found;
}

const NumberParameter& numberParameter(const QString& control)
{
    return numberParameters()[static_cast<size_t>(numberParameterIndex(control).value_or(0))];
}

QString mnemonic(const NumberParameter& parameter)
{
    return Command(parameter.command);
}

const std::array<const char*, 27>& readOrderAfterGears()
{
    static const std::array<const char*, 27> order{
        "BarrelWindow",
        "MaxDownRPM",
        "MaxAutoUpshift",
        "PlayUpshift",
        "PlayDownshift",
        "Dog2DogUpshift",
        "Dog2DogDownshift",
        "FullyEngagedUpshift",
        "FullyEngagedDownshift",
        "RamWindow",
        "PercentEngaged",
        "DownshiftTimeout",
        "UpshiftTimeout",
        "ThrotBlipTime",
        "Dog2DogPulse",
        "NeutralNudgeUpOnPulse",
        "NeutralNudgeUpOffPulse",
        "NeutralNudgeDownOnPulse",
        "NeutralNudgeDownOffPulse",
        "MinBlipRPM",
        "MaxThrotBlip",
        "RPMMatchPercent",
        "rm",
        "OnPressure",
        "OffPressure",
        "am",
        "WaitDisengage",
    };
    return order;
}

QString gearReadSuffix(int row)
{
    return row == kReverseRow ? QStringLiteral("r") : QString::number(row);
}

QString gearSetSuffix(int row)
{
    return row == kReverseRow ? QStringLiteral("R") : QString::number(row);
}

const std::array<QString, 5>& autoShiftNames()
{
    static const std::array<QString, 5> names{QStringLiteral("Disabled"), QStringLiteral("Always"),
                                              QStringLiteral("Always, (not in 1st)"),
                                              QStringLiteral("Hold Up Paddle"), QString()};
    return names;
}

int autoShiftIndex(const QString& text)
{
    for (int i = 0; i < static_cast<int>(autoShiftNames().size()); ++i) {
        if (autoShiftNames()[static_cast<size_t>(i)] == text)
            return i;
    }
    return 5;
}

} // namespace vx::gearbox
