#pragma once

#include <QString>

#include <functional>

namespace vx {

// How the progress gauge of a log download counts: one step per data line towards a maximum
// the gauge can hold. A log of more than 32767 lines halves both until it fits, so the gauge
// still ends full; an empty or unreadable count gives a gauge of 10.
struct GaugeScale
{
    double maximum = 10;
    double step = 1;
};
GaugeScale gaugeScaleForLineCount(qint64 count);

// Takes the controller's log dump apart as it arrives: the echo and the header line holding the
// number of data lines, then the data lines, each handed to the writer as soon as its CR LF is
// there, up to the line that holds "End of data".
class DataLogReceiver
{
public:
    enum class Result
    {
        NeedMore,    // every complete line is taken; the rest waits for its CR LF
        EndOfData,   // the buffer now starts with the "End of data" line, which is left there
        WriteFailed, // the writer refused a line; that line is taken
    };

    // Writes one data line (without its CR LF); false when it could not be written.
    using Writer = std::function<bool(const QString& line)>;
    explicit DataLogReceiver(Writer writer) : writer_(std::move(writer)) {}

    void reset();
    // Takes the complete lines from the front of buffer.
    Result take(QString& buffer);

    bool waitingForHeader() const { return waitingForHeader_; }
    const GaugeScale& scale() const { return scale_; }
    // Where the gauge stands: the lines so far times the step, never past the maximum.
    double gaugeValue() const { return gauge_; }
    qint64 linesWritten() const { return lines_; }

private:
    void takeHeader(const QString& line);

    Writer writer_;
    GaugeScale scale_;
    bool waitingForHeader_ = true;
    double progress_ = 0;
    double gauge_ = 0;
    qint64 lines_ = 0;
};

} // namespace vx
