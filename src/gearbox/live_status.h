#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace vx::gearbox {

// The read commands of one live status request, sent in a single write.
struct StatusBatch
{
    QStringList mnemonics;
    QString text;           // every mnemonic followed by CR
    int expectedLength = 0; // echo, CR LF, answer, CR LF and prompt of every command
    QStringList required;   // names a complete answer holds
};

// Firmware from 2.3.6 on adds brake pedal, shift time and air pressure; from 2.3.8 on manual
// mode.
inline constexpr int kFirmwareWithShiftTime = 20306;
inline constexpr int kFirmwareWithManualMode = 20308;

StatusBatch statusBatch(int firmwareVersion);

// Everything of the batch has arrived.
bool isComplete(const QString& reply, const StatusBatch& batch);

// The answer characters of one command in the collected reply; nothing when the command's echo
// is not there or its answer has not fully arrived.
std::optional<QString> field(const QString& reply, const QString& mnemonic, int digits);

enum class Indicator
{
    Unchanged,
    Off,
    On
};
enum class ManualModeView
{
    Unchanged,
    Hidden,
    Off,
    On
};

// What one complete answer changes on the display. A display without a value keeps what it
// showed: decoding stops at the first field of the batch that is missing.
struct StatusView
{
    std::optional<QString> syncErrors;
    std::optional<QString> throttle;
    std::optional<QString> rpm;
    std::optional<QString> barrelSensor;
    std::optional<QString> ramSensor;
    std::optional<QString> gear;
    Indicator upShift = Indicator::Unchanged;
    Indicator downShift = Indicator::Unchanged;
    Indicator neutral = Indicator::Unchanged;
    Indicator brakePedal = Indicator::Unchanged;
    ManualModeView manualMode = ManualModeView::Unchanged;
    std::optional<QString> shiftTime;
    std::optional<QString> airPressure;
};

StatusView decodeStatus(const QString& reply, const StatusBatch& batch, int triggerType,
                        int cylinderCount);

// Engine speed from the rev-counter period ("rp") or the crank tooth period ("rh").
QString revCounterRpm(const QString& rpField, int cylinderCount);
QString crankRpm(const QString& rhField);

// A non-negative number as the status shows it: a leading space where a sign would be.
QString signedCaption(qint64 value);

} // namespace vx::gearbox
