#include "gearbox/live_status.h"

#include "common/trigger_patterns.h"
#include "serial/hex.h"

namespace vx::gearbox {
namespace {

struct BatchCommand
{
    const char* mnemonic;
    int digits;
    int minimumFirmware;
};

constexpr BatchCommand kBatch[] = {
    {"rp", 4, 0},
    {"sy", 4, 0},
    {"th", 2, 0},
    {"rh", 6, 0},
    {"bs", 2, 0},
    {"rs", 2, 0},
    {"gn", 2, 0},
    {"up", 2, 0},
    {"dp", 2, 0},
    {"nb", 2, 0},
    {"bp", 2, kFirmwareWithShiftTime},
    {"st", 2, kFirmwareWithShiftTime},
    {"ap", 2, kFirmwareWithShiftTime},
    {"mm", 2, kFirmwareWithManualMode},
};

int digitsOf(const QString& mnemonic)
{
    for (const BatchCommand& command : kBatch) {
        if (mnemonic == QLatin1String(command.mnemonic))
            return command.digits;
    }
    return 2;
}

// The echo is the two-character mnemonic, CR and LF.
constexpr int kEchoLength = 4;
constexpr int kFramingLength = 5;

QString formatRpm(qint64 rpm)
{
    return rpm == 0 ? QString() : QString::number(rpm);
}

Indicator indicatorOf(const QString& answer)
{
    return answer == QLatin1String("01") ? Indicator::On : Indicator::Off;
}

} // namespace

StatusBatch statusBatch(int firmwareVersion)
{
    StatusBatch batch;
    for (const BatchCommand& command : kBatch) {
        if (firmwareVersion < command.minimumFirmware)
            continue;
        const QString mnemonic = QLatin1String(command.mnemonic);
        batch.mnemonics.append(mnemonic);
        batch.text += mnemonic + QLatin1Char('\r');
        batch.expectedLength += int(mnemonic.size()) + kFramingLength + command.digits;
    }
    batch.required = batch.mnemonics;
    if (batch.mnemonics.contains(QLatin1String("mm")))
        batch.required.removeAll(QStringLiteral("bp"));
    return batch;
}

bool isComplete(const QString& reply, const StatusBatch& batch)
{
    if (reply.size() < batch.expectedLength)
        return false;
    for (const QString& name : batch.required) {
        if (!reply.contains(name + QLatin1Char('\r')))
            return false;
    }
    return true;
}

std::optional<QString> field(const QString& reply, const QString& mnemonic, int digits)
{
    const qsizetype echo = reply.indexOf(mnemonic + QLatin1Char('\r'));
    if (echo < 0)
        return std::nullopt;
    const qsizetype start = echo + kEchoLength;
    // The answer counts once the character after it has arrived too.
    if (start + digits + 1 > reply.size())
        return std::nullopt;
    return reply.mid(start, digits);
}

QString signedCaption(qint64 value)
{
    return QLatin1Char(' ') + QString::number(value);
}

QString revCounterRpm(const QString& rpField, int cylinderCount)
{
    const qint64 period = HexStringToInt(rpField);
    qint64 rpm = 0;
    if (period > 58) {
        if (cylinderCount == 4)
            rpm = (3000000 / (period * 32)) * 10;
        else if (cylinderCount == 6)
            rpm = (2000000 / (period * 32)) * 10;
    } else {
        rpm = 10000;
    }
    if ((cylinderCount == 4 && rpm > 110) || (cylinderCount == 6 && rpm > 70))
        return formatRpm(rpm);
    return QStringLiteral("0");
}

QString crankRpm(const QString& rhField)
{
    if (rhField.isEmpty() || rhField == QLatin1String("000000"))
        return QStringLiteral("0");
    const qint64 period = HexStringToInt(rhField);
    // Garbled digits can add up to no period at all (or a negative one): no speed to show.
    if (period <= 0)
        return formatRpm(0);
    const qint64 r = 30000000000LL / (period * 320);
    return formatRpm(r > 0 && r < 32767 ? r : 0);
}

StatusView decodeStatus(const QString& reply, const StatusBatch& batch, int triggerType,
                        int cylinderCount)
{
    StatusView view;
    const auto inBatch = [&](const char* mnemonic) {
        return batch.mnemonics.contains(QLatin1String(mnemonic));
    };
    const auto get = [&](const char* mnemonic) {
        return field(reply, QLatin1String(mnemonic), digitsOf(QLatin1String(mnemonic)));
    };

    const QString rpField = get("rp").value_or(reply.mid(kEchoLength, 4));
    QString rhField;
    if (triggerType != trigger::kRevCounter) {
        const auto rh = get("rh");
        if (!rh)
            return view;
        rhField = *rh;
    }
    const auto sy = get("sy");
    if (!sy)
        return view;
    view.syncErrors = signedCaption(HexStringToInt(*sy));
    const auto th = get("th");
    if (!th)
        return view;
    view.throttle = signedCaption(HexStringToInt(*th)) + QLatin1Char('%');
    view.rpm = triggerType == trigger::kRevCounter ? revCounterRpm(rpField, cylinderCount)
                                                   : crankRpm(rhField);
    const auto bs = get("bs");
    if (!bs)
        return view;
    view.barrelSensor = signedCaption(HexStringToInt(*bs));
    const auto rs = get("rs");
    if (!rs)
        return view;
    view.ramSensor = signedCaption(HexStringToInt(*rs));
    const auto gn = get("gn");
    if (!gn)
        return view;
    const qint64 gear = HexStringToInt(*gn);
    view.gear = gear == 255 ? QStringLiteral("R") : signedCaption(gear);

    struct Light
    {
        const char* mnemonic;
        Indicator StatusView::*indicator;
    };
    for (const Light& light :
         {Light{"up", &StatusView::upShift}, Light{"dp", &StatusView::downShift},
          Light{"nb", &StatusView::neutral}, Light{"bp", &StatusView::brakePedal}}) {
        if (!inBatch(light.mnemonic))
            continue;
        const auto answer = get(light.mnemonic);
        if (!answer)
            return view;
        view.*light.indicator = indicatorOf(*answer);
    }

    const auto mm = inBatch("mm") ? get("mm") : std::nullopt;
    if (mm)
        view.manualMode = *mm == QLatin1String("01") ? ManualModeView::On : ManualModeView::Off;
    else
        view.manualMode = ManualModeView::Hidden;

    if (inBatch("st")) {
        const auto st = get("st");
        if (!st)
            return view;
        view.shiftTime = signedCaption(HexStringToInt(*st) * 10);
    }
    if (inBatch("ap")) {
        const auto ap = get("ap");
        if (!ap)
            return view;
        view.airPressure = signedCaption(HexStringToInt(*ap));
    }
    return view;
}

} // namespace vx::gearbox
