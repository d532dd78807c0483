#include "sim/air_pressure_table.h"

#include "sim/command_table.h"
#include "sim/controller.h"

#include <algorithm>

namespace vx::sim {
namespace {

constexpr char kError[] = "Error";
constexpr int kAddressBytes = 4;
constexpr int kMaxCentivolts = 500;

QByteArray hexWord(int value)
{
    return QByteArray::number(value, 16).toUpper().rightJustified(4, '0');
}

bool isUpperHex(const QByteArray& text)
{
    for (const char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')))
            return false;
    }
    return true;
}

quint32 addressOf(const QByteArray& bytes)
{
    quint32 address = 0;
    for (int i = 1; i <= kAddressBytes; ++i)
        address = (address << 8) | static_cast<quint8>(bytes.at(i));
    return address;
}

} // namespace

AirPressureTable::AirPressureTable(Controller& controller) : QObject(&controller)
{
    setObjectName(QStringLiteral("AirPressureTable"));
    // A fresh controller converts 0.50 V .. 4.50 V linearly to 0 .. 140 psi.
    for (int i = 0; i < kEntries; ++i) {
        const int psi = (i * 500 / 255 - m_zero) * 140 / (m_full - m_zero);
        m_table[static_cast<size_t>(i)] = static_cast<quint8>(std::clamp(psi, 0, 255));
    }
    connect(&controller, &Controller::wokenUp, this, &AirPressureTable::abandonLoad);
    connect(&controller.link(), &PtyLink::plugged, this, &AirPressureTable::abandonLoad);
}

AirPressureTable* AirPressureTable::install(Controller& controller, CommandTable& commands)
{
    auto* state = new AirPressureTable(controller);
    const auto pointCommand = [state](int AirPressureTable::*field) {
        return [state, field](const Command& command) {
            if (!command.isSetting())
                return Reply::answer(hexWord(state->*field));
            const int value = command.argument.toInt(nullptr, 16);
            if (command.argument.size() != 4 || value > kMaxCentivolts)
                return Reply::illegal();
            state->*field = value;
            return Reply::answer();
        };
    };
    commands.add("az", pointCommand(&AirPressureTable::m_zero));
    commands.add("ah", pointCommand(&AirPressureTable::m_full));
    commands.add("lp", [state](const Command& command) {
        if (command.isSetting())
            return Reply::illegal();
        state->m_loading = true;
        state->m_loadFailed = false;
        state->m_recordNumber = 0;
        state->m_staged = state->m_table;
        return Reply::answer();
    });
    const RawLineHandler records = [state](const QByteArray& line) {
        return Reply::answer(state->takeRecord(line));
    };
    controller.addRawLineHandler("S3", records);
    controller.addRawLineHandler("S7", records);
    return state;
}

AirPressureTable* AirPressureTable::of(const Controller& controller)
{
    return controller.findChild<AirPressureTable*>(QStringLiteral("AirPressureTable"),
                                                   Qt::FindDirectChildrenOnly);
}

bool AirPressureTable::checkRecord(const QByteArray& line, QByteArray* bytes)
{
    if (!(line.startsWith("S3") || line.startsWith("S7")))
        return false;
    const QByteArray digits = line.mid(2);
    if (digits.size() < 2 * (2 + kAddressBytes) || digits.size() % 2 != 0 || !isUpperHex(digits))
        return false;
    const QByteArray decoded = QByteArray::fromHex(digits);
    const int count = static_cast<quint8>(decoded.at(0));
    if (count != decoded.size() - 1)
        return false;
    int sum = 0;
    for (int i = 0; i < decoded.size() - 1; ++i)
        sum += static_cast<quint8>(decoded.at(i));
    if (static_cast<quint8>(decoded.back()) != static_cast<quint8>(~sum & 0xFF))
        return false;
    if (line.startsWith("S7") && count != kAddressBytes + 1)
        return false;
    if (bytes)
        *bytes = decoded;
    return true;
}

QByteArray AirPressureTable::takeRecord(const QByteArray& line)
{
    QByteArray bytes;
    if (!m_loading || !checkRecord(line, &bytes)) {
        m_loadFailed = m_loading;
        return kError;
    }
    const quint32 address = addressOf(bytes);
    if (line.startsWith("S7")) {
        m_loading = false;
        if (m_loadFailed)
            return kError;
        m_table = m_staged;
        ++m_loads;
        return {};
    }
    const int number = m_recordNumber++;
    const QByteArray data = bytes.mid(1 + kAddressBytes, bytes.size() - 2 - kAddressBytes);
    if (number == m_failRecord || address + static_cast<quint32>(data.size()) > kEntries) {
        m_loadFailed = true;
        return kError;
    }
    for (int i = 0; i < data.size(); ++i)
        m_staged[address + static_cast<size_t>(i)] = static_cast<quint8>(data.at(i));
    return {};
}

void AirPressureTable::abandonLoad()
{
    m_loading = false;
    m_loadFailed = false;
}

} // namespace vx::sim
