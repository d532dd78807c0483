#pragma once

#include <QProcess>
#include <QString>

namespace vx {

// Demo mode: the simulated controllers run as a child process and COM1 (engine controller) and
// COM2 (gearbox controller) lead to them, so the program can be tried without hardware. The
// demo keeps its settings in a folder of its own and leaves the user's settings alone.
class DemoMode
{
public:
    DemoMode();
    ~DemoMode();
    DemoMode(const DemoMode&) = delete;
    DemoMode& operator=(const DemoMode&) = delete;

    // Starts the simulator and maps the ports; false with errorText when it could not.
    bool start();
    QString errorText() const { return error_; }

    static constexpr int kEnginePort = 1;
    static constexpr int kGearboxPort = 2;

private:
    QProcess simulator_;
    QString linkFolder_;
    QString error_;
};

} // namespace vx
