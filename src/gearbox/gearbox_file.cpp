#include "gearbox/gearbox_file.h"

#include "gearbox/parameter_table.h"
#include "mapfile/value_file.h"
#include "serial/command_table.h"
#include "serial/hex.h"

#include <cmath>
#include <limits>
#include <vector>

namespace vx::gearbox {
namespace {

enum class Kind
{
    Switch,
    Number,
    Ignored
};

// One line of the file from line 4 on.
struct Line
{
    Kind kind;
    QString source;  // the name in GearboxValues
    QString command; // mnemonic and gear character used when loading
    int width = 2;
    int divisor = 1;       // the timeouts are stored in milliseconds, sent in tens
    bool position = false; // version 2 stores positions as 16 times the controller's units
    int min = 0;
    int max = 255;
};

Line box(const char* control, bool position = false)
{
    const NumberParameter& p = numberParameter(QLatin1String(control));
    Line line{Kind::Number, QLatin1String(control), mnemonic(p)};
    // The speeds go out with four digits, everything else with two: as many as the controller
    // answers with.
    line.width = p.readDigits;
    line.divisor = p.show;
    line.position = position;
    line.min = p.min;
    line.max = p.max;
    return line;
}

const std::vector<Line>& lines()
{
    static const std::vector<Line> table = [] {
        std::vector<Line> t;
        t.push_back({Kind::Switch, QStringLiteral("SwapPaddles"), Command(cmd::wp)});
        t.push_back(box("MaxGears"));
        for (const char* row : {"BarrelGear_", "RamGear_"}) {
            const QString mnemonicText =
                Command(QLatin1String(row) == QLatin1String("RamGear_") ? cmd::h : cmd::g);
            for (int i = 0; i < kGearRows; ++i) {
                // The reverse row is set with its upper-case letter; the lower-case one only reads.
                Line line{Kind::Number, QLatin1String(row) + QString::number(i),
                          mnemonicText + gearSetSuffix(i)};
                line.position = true;
                t.push_back(line);
            }
        }
        t.push_back({Kind::Number, QStringLiteral("GearPatternCode"), Command(cmd::gp)});
        t.push_back(box("BarrelWindow", true));
        t.push_back(box("MaxDownRPM"));
        t.push_back(box("MaxAutoUpshift"));
        t.push_back(box("PlayUpshift", true));
        t.push_back(box("PlayDownshift", true));
        t.push_back(box("Dog2DogUpshift", true));
        t.push_back({Kind::Ignored, QString(), QString()});
        t.push_back(box("Dog2DogDownshift", true));
        t.push_back(box("FullyEngagedUpshift", true));
        t.push_back(box("FullyEngagedDownshift", true));
        t.push_back(box("RamWindow", true));
        t.push_back(box("PercentEngaged"));
        t.push_back(box("DownshiftTimeout"));
        t.push_back(box("UpshiftTimeout"));
        t.push_back(box("ThrotBlipTime"));
        t.push_back(box("Dog2DogPulse"));
        t.push_back(box("NeutralNudgeUpOnPulse"));
        t.push_back(box("NeutralNudgeUpOffPulse"));
        t.push_back(box("NeutralNudgeDownOnPulse"));
        t.push_back(box("NeutralNudgeDownOffPulse"));
        t.push_back(box("MinBlipRPM"));
        t.push_back(box("MaxThrotBlip"));
        t.push_back(box("RPMMatchPercent"));
        Line match{Kind::Number, QStringLiteral("RPMMatchMode"), Command(cmd::rm)};
        match.max = 1;
        t.push_back(match);
        t.push_back(box("OnPressure"));
        t.push_back(box("OffPressure"));
        Line autoShift{Kind::Number, QStringLiteral("AutoShiftOption"), Command(cmd::am)};
        autoShift.max = 4;
        t.push_back(autoShift);
        t.push_back(box("WaitDisengage"));
        t.push_back({Kind::Switch, QStringLiteral("BrakeFromNeutral"), Command(cmd::bn)});
        return t;
    }();
    return table;
}

constexpr int kIgnoredLineValue = 200;
constexpr int kVersion2PositionScale = 16;

} // namespace

bool writeGearboxFile(const QString& path, const GearboxValues& values, QString* errorText)
{
    ValueWriter writer;
    writer.text(kFileVersionName);
    writer.number(1);
    writer.text(kGearboxParametersName);
    for (const Line& line : lines()) {
        switch (line.kind) {
        case Kind::Switch:
            writer.boolean(values.value(line.source) != 0);
            break;
        case Kind::Number:
            writer.number(values.value(line.source));
            break;
        case Kind::Ignored:
            writer.number(kIgnoredLineValue);
            break;
        }
    }
    if (writer.save(path))
        return true;
    if (errorText)
        *errorText = writer.errorText();
    return false;
}

std::optional<QList<SendItem>> readGearboxValues(ValueReader& reader, int version)
{
    QList<SendItem> items;
    for (const Line& line : lines()) {
        if (line.kind == Kind::Ignored) {
            if (!reader.next())
                return std::nullopt;
            continue;
        }
        if (line.kind == Kind::Switch) {
            const std::optional<QString> text = reader.next();
            if (!text)
                return std::nullopt;
            items.append({*text == QLatin1String("#TRUE#") ? 1.0 : 0.0, line.command, 2});
            continue;
        }
        const std::optional<double> number = reader.nextNumber();
        if (!number)
            return std::nullopt;
        double value = *number;
        // Far beyond any setting's range, and too large to round to a whole number.
        if (std::abs(value) > std::numeric_limits<qint32>::max())
            return std::nullopt;
        if (version == 2 && line.position)
            value /= kVersion2PositionScale;
        // The range is that of the box (the timeouts in milliseconds), checked on what is sent.
        const qint64 shown = roundHalfEven(value / line.divisor) * line.divisor;
        if (shown < line.min || shown > line.max)
            return std::nullopt;
        items.append({value / line.divisor, line.command, line.width});
    }
    return items;
}

} // namespace vx::gearbox
