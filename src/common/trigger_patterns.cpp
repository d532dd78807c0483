#include "common/trigger_patterns.h"

namespace vx::trigger {

namespace {

const char* const kPcNames[kCount] = {
    "Multitooth 36-1",
    "Rev Counter (12V)",
    "Yamaha R1",
    "Multitooth 36-2 (Rover K Series)",
    "Multitooth 36-1-1-1",
    "Multitooth 36-2 (Toyota/Lexus)",
    "Multitooth 24-2 (Hiyabusa)",
    "Multitooth 24-1 (Hiyabusa)",
    "Multitooth 60-2 (BMW)",
    "Multitooth 20-1 (LynxAE)",
};

bool known(int value) { return value >= 0 && value < kCount; }

} // namespace

const QStringList& setupNames()
{
    static const QStringList names = {
        QStringLiteral("36-1"),
        QStringLiteral("Rev Counter (12V)"),
        QStringLiteral("Yamaha R1 5PW"),
        QStringLiteral("36-2 K-Series"),
        QStringLiteral("36-1-1-1-1 K-Series"),
        QStringLiteral("36-2 Toyota/Lexus"),
        QStringLiteral("24-2 Hayabusa"),
        QStringLiteral("24-1 Hayabusa"),
        QStringLiteral("60-2 BMW"),
        QStringLiteral("20-1 LynxAE"),
    };
    return names;
}

QString pcName(int value)
{
    return known(value) ? QString::fromLatin1(kPcNames[value]) : QStringLiteral("unknown");
}

QString controllerName(int value)
{
    if (value == 4)
        return QStringLiteral("Multitooth 36-1-1-1-1");
    return pcName(value);
}

QString code(int value) { return QString::number(value).rightJustified(2, QLatin1Char('0')); }

} // namespace vx::trigger
