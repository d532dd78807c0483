#include "service/data_log_receiver.h"

#include "common/globals.h"
#include "serial/hex.h"

namespace vx {

namespace {

constexpr double kGaugeLimit = 32767;
constexpr double kUnknownSizeGauge = 10;
const QString kEndOfData = QStringLiteral("End of data");

} // namespace

GaugeScale gaugeScaleForLineCount(qint64 count)
{
    if (count <= 0)
        return GaugeScale{kUnknownSizeGauge, 1};
    GaugeScale scale{static_cast<double>(count), 1};
    while (scale.maximum > kGaugeLimit) {
        scale.maximum /= 2;
        scale.step /= 2;
    }
    return scale;
}

void DataLogReceiver::reset()
{
    scale_ = GaugeScale{};
    waitingForHeader_ = true;
    progress_ = 0;
    gauge_ = 0;
    lines_ = 0;
}

DataLogReceiver::Result DataLogReceiver::take(QString& buffer)
{
    const QString lineEnd = G.CR + G.LF;
    for (qsizetype end = buffer.indexOf(lineEnd); end >= 0; end = buffer.indexOf(lineEnd)) {
        const QString line = buffer.left(end);
        if (line.contains(kEndOfData))
            return Result::EndOfData;
        buffer.remove(0, end + lineEnd.size());
        if (waitingForHeader_) {
            takeHeader(line);
            continue;
        }
        progress_ += scale_.step;
        gauge_ = progress_ <= scale_.maximum ? progress_ : scale_.maximum;
        ++lines_;
        if (!writer_(line))
            return Result::WriteFailed;
    }
    return Result::NeedMore;
}

void DataLogReceiver::takeHeader(const QString& line)
{
    // The echo of the command and stray short lines come before the count.
    if (line.size() <= 2 || line.contains(QLatin1String("da")))
        return;
    scale_ = gaugeScaleForLineCount(HexStringToInt(line));
    waitingForHeader_ = false;
}

} // namespace vx
