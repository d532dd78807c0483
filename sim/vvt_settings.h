#pragma once

#include <QByteArray>

#include <array>

namespace vx::sim {

// What the engine controller keeps: the map image (column c at c x 32, rows 0..29, two spare
// bytes), its name and checksum as last uploaded, the twelve cam PWM parameters in tenths, the
// two all-throttle switches and the engine settings.
struct VvtSettings
{
    std::array<quint8, 256> map{};
    bool mapValid = true;
    QByteArray name = "DEMO.cam";
    quint32 checksum = 0xFFFFFFFF; // of the all-zero map
    std::array<int, 12> camParams{700, 800, 700, 700, 800, 700, 20, 70, 100, 20, 50, 50};
    bool inletAllThrottle = false;
    bool exhaustAllThrottle = false;
    int cylinders = 4;
    int triggerType = 1;
};

} // namespace vx::sim
