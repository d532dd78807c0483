#include "gearbox/test_outputs.h"

#include "serial/command_table.h"

namespace vx::gearbox {

const std::array<TestOutput, kTestOutputCount>& testOutputs()
{
    const QStringList neutralPulsing{QStringLiteral("NeutralUp"), QStringLiteral("NeutralDown")};
    const QStringList shiftRams{QStringLiteral("UpShift"), QStringLiteral("DownShift")};
    static const std::array<TestOutput, kTestOutputCount> outputs{{
        {"ThrotBlip", "Throt Blip", cmd::bl, "", {}, {}},
        {"UpShift",
         "Up Ram",
         cmd::us,
         "UpRamLight",
         neutralPulsing,
         {QStringLiteral("DownRamLight")}},
        {"DownShift",
         "Down Ram",
         cmd::ds,
         "DownRamLight",
         neutralPulsing,
         {QStringLiteral("UpRamLight")}},
        {"LeftRam",
         "Left Ram",
         cmd::lr,
         "LeftRamLight",
         neutralPulsing,
         {QStringLiteral("RightRamLight")}},
        {"RightRam",
         "Right Ram",
         cmd::rr,
         "RightRamLight",
         neutralPulsing,
         {QStringLiteral("LeftRamLight")}},
        {"NeutralUp",
         "Neutral Pulsing Up",
         cmd::nu,
         "NeutralPulsingUpLight",
         QStringList{QStringLiteral("NeutralDown")} + shiftRams,
         {}},
        {"NeutralDown",
         "Neutral Pulsing Down",
         cmd::nd,
         "NeutralPulsingDownLight",
         QStringList{QStringLiteral("NeutralUp")} + shiftRams,
         {}},
        {"SparkCut", "Spark Cut", cmd::sc, "SparkCutLight", {QStringLiteral("DogToDog")}, {}},
        {"DogToDog", "Rev Limit", cmd::td, "RevLimiitingLight", {QStringLiteral("SparkCut")}, {}},
        {"ReverseAct",
         "Reverse",
         cmd::ra,
         "ReverseActLight",
         neutralPulsing + shiftRams,
         {QStringLiteral("DownRamLight"), QStringLiteral("UpRamLight")}},
        {"AirCompressor", "Air Comp", cmd::ac, "AirCompLight", {}, {}},
        {"Clutch", "Clutch", cmd::cl, "ClutchLight", {}, {}},
    }};
    return outputs;
}

} // namespace vx::gearbox
