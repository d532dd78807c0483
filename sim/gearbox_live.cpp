#include "sim/gearbox_live.h"

#include "sim/gearbox_settings.h"

#include <QRegularExpression>

#include <cmath>

namespace vx::sim {
namespace {

constexpr int kFirmwareWithShiftTime = 20306;
constexpr int kFirmwareWithManualMode = 20308;
constexpr int kReverseGear = 255;
constexpr int kRamRest = 128;
constexpr qint64 kShiftIndicatorMs = 400;

struct LiveRead
{
    const char* mnemonic;
    int digits;
    int firmware; // the first firmware that knows it
};

constexpr LiveRead kReads[] = {
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

} // namespace

int firmwareNumber(const QByteArray& version)
{
    static const QRegularExpression pattern(QStringLiteral("(\\d+)\\.(\\d+)-(\\d+)"));
    const QRegularExpressionMatch match = pattern.match(QString::fromLatin1(version));
    if (!match.hasMatch())
        return 0;
    return match.captured(1).toInt() * 10000 + match.captured(2).toInt() * 100 +
           match.captured(3).toInt();
}

GearboxLive::GearboxLive(FirmwareNumber firmware, GearPosition barrelPosition)
    : m_firmware(std::move(firmware)), m_barrelPosition(std::move(barrelPosition))
{
    setEngineSpeed(2500);
    m_values.insert("sy", 0);
    m_values.insert("th", 12);
    m_values.insert("bs", m_barrelPosition(0));
    m_values.insert("rs", kRamRest);
    m_values.insert("gn", 0);
    m_values.insert("up", 0);
    m_values.insert("dp", 0);
    m_values.insert("nb", 1);
    m_values.insert("bp", 0);
    m_values.insert("st", 0);
    m_values.insert("ap", 120);
    m_values.insert("mm", 0);
    m_clock.start();
}

void GearboxLive::install(CommandTable& commands)
{
    for (const LiveRead& read : kReads) {
        const QByteArray mnemonic = read.mnemonic;
        const int digits = read.digits;
        const int firmware = read.firmware;
        commands.add(mnemonic, [this, mnemonic, digits, firmware](const Command& command) {
            if (m_firmware() < firmware)
                return Reply::illegal();
            if (command.isSetting()) {
                // Only the sync error count can be set, to start counting again.
                if (mnemonic != "sy")
                    return Reply::illegal();
                m_values.insert("sy", static_cast<int>(parseHex(command.argument).value_or(0)));
                return Reply::answer();
            }
            move();
            return Reply::answer(hexDigits(m_values.value(mnemonic), digits));
        });
    }
}

void GearboxLive::setEngineSpeed(int rpm)
{
    rpm = std::max(rpm, 1);
    m_values.insert("rp", std::min(0xFFFF, 937500 / rpm));
    m_values.insert("rh",
                    static_cast<int>(std::min<qint64>(0xFFFFFF, 30000000000LL / (320LL * rpm))));
}

void GearboxLive::setMotion(bool on)
{
    m_motion = on;
}

void GearboxLive::shiftUp(int maxGears)
{
    int gear = m_values.value("gn");
    if (gear == kReverseGear)
        gear = 0;
    gear = std::min(gear + 1, maxGears);
    m_values.insert("gn", gear);
    m_values.insert("bs", m_barrelPosition(gear));
    m_values.insert("up", 1);
    m_values.insert("nb", 0);
    m_values.insert("st", 5);
    m_shiftAtMs = m_clock.elapsed();
}

void GearboxLive::shiftDown()
{
    int gear = m_values.value("gn");
    gear = gear == kReverseGear || gear <= 1 ? 1 : gear - 1;
    m_values.insert("gn", gear);
    m_values.insert("bs", m_barrelPosition(gear));
    m_values.insert("dp", 1);
    m_values.insert("nb", 0);
    m_values.insert("st", 7);
    m_shiftAtMs = m_clock.elapsed();
}

void GearboxLive::shiftToNeutral()
{
    m_values.insert("gn", 0);
    m_values.insert("bs", m_barrelPosition(0));
    m_values.insert("nb", 1);
    m_values.insert("st", 9);
    m_shiftAtMs = m_clock.elapsed();
}

// Time-driven, so that the values move exactly as fast as the program reads them.
void GearboxLive::move()
{
    const qint64 now = m_clock.elapsed();
    if (m_shiftAtMs >= 0 && now - m_shiftAtMs > kShiftIndicatorMs) {
        m_values.insert("up", 0);
        m_values.insert("dp", 0);
        m_shiftAtMs = -1;
    }
    if (!m_motion)
        return;
    const double t = now / 1000.0;
    const double load = 0.5 + 0.5 * std::sin(t / 2.0);
    setEngineSpeed(static_cast<int>(1500 + 6500 * load));
    m_values.insert("th", static_cast<int>(100 * load));
    const int gear = m_values.value("gn");
    const int rest = m_barrelPosition(gear == kReverseGear ? 10 : gear);
    m_values.insert("bs", std::clamp(rest + static_cast<int>(2 * std::sin(t * 7)), 0, 255));
    m_values.insert("rs", std::clamp(kRamRest + static_cast<int>(3 * std::sin(t * 5)), 0, 255));
    // The compressor runs from 110 psi up to 130 psi, then the air is used up again.
    m_values.insert("ap", 110 + static_cast<int>(now / 250) % 21);
    m_values.insert("bp", (static_cast<int>(t) % 8) < 2 ? 1 : 0);
    m_values.insert("mm", (static_cast<int>(t) % 20) < 5 ? 1 : 0);
    if (static_cast<int>(now / 100) % 97 == 0)
        m_values.insert("sy", std::min(0xFFFF, m_values.value("sy") + 1));
}

} // namespace vx::sim
