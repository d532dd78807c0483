#pragma once

#include "service/firmware_file.h"

#include <QString>

#include <optional>

namespace vx {

class ComPort;

// What the update shows: the window's buttons and progress bar.
class FirmwareUpdateView
{
public:
    virtual void setStartEnabled(bool enabled) = 0;
    virtual void setCancelEnabled(bool enabled) = 0;
    virtual void setProgressMaximum(int lines) = 0;
    virtual void setProgress(int lines) = 0;
    // The update is done and the window closes.
    virtual void updateFinished() = 0;

protected:
    ~FirmwareUpdateView() = default;
};

// Replaces a controller's program through its resident bootloader: choose and check the file,
// switch the controller into the bootloader, erase, stream the file, restart. Runs on the user
// interface thread and handles events while it waits, so the window stays alive throughout.
class FirmwareUpdater
{
public:
    FirmwareUpdater(ComPort& port, FirmwareUpdateView& view);

    // The whole update, as started by the window's Start button.
    void Start();
    bool running() const { return running_; }

    // How many bytes of the file the port may hold at a time. At 115200 baud this is well over
    // a second of line time, so the line keeps going through any pause of the event loop.
    static constexpr qint64 kBacklogBytes = 16 * 1024;

private:
    enum class Attempt
    {
        Done,
        Again,  // the user asked for another attempt, or the steps call for one
        Stopped // back to idle
    };
    enum class Load
    {
        Confirmed,
        Rejected,     // the bootloader reported a bad line
        NotConfirmed, // no "*" in time, the line stalled, or the port went away
    };

    bool chooseFile();
    Attempt attempt();
    bool openPort();
    void wake();
    void identify();
    void flush();
    Load load();
    // Nothing once every line has left the program.
    std::optional<Load> stream();
    void leaveBootloader();
    void backToIdle();

    ComPort& port_;
    FirmwareUpdateView& view_;
    FirmwareFile file_;
    bool running_ = false;
};

} // namespace vx
