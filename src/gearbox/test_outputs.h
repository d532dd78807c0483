#pragma once

#include <QStringList>

#include <array>

namespace vx::gearbox {

// One actuator output of test mode: its button, command and light, the buttons it locks out
// while on (they would fight it), and the lights of outputs that switching it on cancels.
struct TestOutput
{
    const char* control;
    const char* caption;
    int command;       // index into CommandTable
    const char* light; // empty for an output without one
    QStringList disables;
    QStringList resetsLights;
};

inline constexpr int kTestOutputCount = 12;

const std::array<TestOutput, kTestOutputCount>& testOutputs();

} // namespace vx::gearbox
