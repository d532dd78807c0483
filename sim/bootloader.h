#pragma once

#include "sim/hex_image.h"
#include "sim/intel_hex.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QObject>

#include <optional>

namespace vx::sim {

class Controller;

// Ways the loader can misbehave. Record counts run from the "LF" that starts a load.
struct BootloaderFaults
{
    bool ignoreIdentify = false; // "?" goes unanswered
    bool ignoreErase = false;    // "ERASE" is neither done nor answered
    // This record of a load is taken as corrupt, as if a byte had been lost on the line.
    std::optional<int> failRecord;
    // After this many records of a load the loader hangs: it takes and answers nothing more
    // until the controller is power cycled.
    std::optional<int> silentAfterRecords;
};

// The loader resident in a controller's flash. "zb", sent to the controller as a command line,
// starts it; from then on it has the link to itself:
//   "?" (no CR)  answers its identity text, which names it a "Bootloader";
//   "ERASE"      erases the program memory and answers with a reply ending in "*";
//   "LF"         starts a load: Intel HEX record lines follow, each checked and written; a bad
//                record is answered "Error"; the end-of-file record ends the load with "*";
//   "ex"         leaves it for the controller's own program.
// A power cycle leaves it too. The program memory keeps what was loaded.
class Bootloader : public QObject
{
    Q_OBJECT

public:
    static constexpr char kDefaultIdentity[] = "\r\nVantorex Bootloader V1.4 - flash 512K\r\n*";
    static constexpr char kRecordError[] = "Error\r\n";

    enum class State
    {
        Off,      // the controller runs its own program
        Commands, // waiting for a loader command
        Loading,  // taking record lines
        Hung,     // fell silent mid-load
    };

    explicit Bootloader(Controller& controller);

    State state() const { return m_state; }
    bool isActive() const { return m_state != State::Off; }
    void enter();
    void leave();

    const HexImage& image() const { return m_image; }

    const BootloaderFaults& faults() const { return m_faults; }
    void setFaults(const BootloaderFaults& faults) { m_faults = faults; }
    QByteArray identity() const { return m_identity; }
    void setIdentity(const QByteArray& identity) { m_identity = identity; }

    // The loader commands received, in order, "?" included, record lines not.
    const QByteArrayList& commands() const { return m_commands; }
    // Record lines of the current or last load, counted as they arrive.
    int recordCount() const { return m_records; }
    // Loads that ended with the end-of-file record and no bad record.
    int goodLoads() const { return m_goodLoads; }

signals:
    void entered();
    void left();
    void commandReceived(const QByteArray& command);
    void recordReceived(int count);
    void loadFinished(bool good);

private:
    void onBytes(const QByteArray& bytes);
    void handleLine(const QByteArray& line);
    void handleCommand(const QByteArray& line);
    void handleRecord(const QByteArray& line);
    void identify();
    void endLoad();

    Controller& m_controller;
    State m_state = State::Off;
    HexImage m_image;
    ihex::ImageBuilder m_builder{m_image};
    BootloaderFaults m_faults;
    QByteArray m_identity = kDefaultIdentity;
    QByteArray m_partial;
    QByteArrayList m_commands;
    int m_records = 0;
    int m_goodLoads = 0;
    bool m_loadFailed = false;
};

} // namespace vx::sim
