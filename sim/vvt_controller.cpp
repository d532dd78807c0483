#include "sim/vvt_controller.h"

#include "sim/s3_record.h"
#include "sim/throttle_commands.h"

namespace vx::sim {

namespace {

constexpr char kError[] = "Error";

QByteArray hex(qint64 value, int width)
{
    return QByteArray::number(value, 16).toUpper().rightJustified(width, '0').right(width);
}

bool parseHex(const QByteArray& digits, qint64& value)
{
    bool ok = false;
    value = digits.toLongLong(&ok, 16);
    return ok;
}

} // namespace

VvtController::VvtController(QObject* parent) : Controller(kDefaultVersion, parent)
{
    // The program's port search asks every controller it finds for gear 0; the engine
    // controller has no gears but answers the question all the same.
    commands().addWithGear("g", [](const Command& command) {
        if (command.isSetting() || command.gear != '0')
            return Reply::illegal();
        return Reply::answer("00");
    });
    ThrottleCommands::install(*this, commands());
    m_permanent = m_running;
    addSettingCommands();
    addMapCommands();
    addLiveCommands();
    addRawLineHandler("S3", [this](const QByteArray& line) { return record(line); });
    addRawLineHandler("S7", [this](const QByteArray& line) {
        return line == kS7Termination && m_uploadOpen ? Reply::answer() : Reply::answer(kError);
    });
    // Escape abandons an upload in progress.
    connect(this, &Controller::wokenUp, this, [this] { m_uploadOpen = false; });
    connect(&link(), &PtyLink::plugged, this, &VvtController::powerUp);
}

QByteArray VvtController::description() const
{
    return "VVT ECU Type 3 cam phasing controller";
}

void VvtController::add(const QByteArray& mnemonic, CommandHandler handler)
{
    commands().add(mnemonic, [this, mnemonic, handler](const Command& command) {
        if (m_unanswered.contains(mnemonic))
            return Reply::nothing();
        return handler(command);
    });
}

void VvtController::powerUp()
{
    m_running = m_permanent;
    m_uploadOpen = false;
}

int VvtController::cell(int row, int column) const
{
    return static_cast<qint8>(m_running.map[column * 32 + row]);
}

void VvtController::setCell(int row, int column, int value)
{
    m_running.map[column * 32 + row] = static_cast<quint8>(value & 0xFF);
}

void VvtController::fillMap(int value)
{
    for (int column = 0; column < 8; ++column) {
        for (int row = 0; row < 30; ++row)
            setCell(row, column, value);
    }
    m_running.checksum = checksumOf(m_running.map);
}

void VvtController::loadDemoMap()
{
    for (int band = 0; band < 4; ++band) {
        for (int row = 0; row < 30; ++row) {
            // Inlet advance peaks in the mid range; exhaust retards a little less.
            const int rise = row < 14 ? row * 3 : 42 - (row - 14);
            setCell(row, band, qBound(0, rise / 2 + band * 4, 60));
            setCell(row, band + 4, qBound(0, rise / 3 + band * 2, 60));
        }
    }
    m_running.name = "DEMO.cam";
    m_running.mapValid = true;
    m_running.checksum = checksumOf(m_running.map);
    storePermanently();
}

quint32 VvtController::checksumOf(const std::array<quint8, 256>& map)
{
    quint32 sum = 0;
    for (int column = 0; column < 8; ++column) {
        for (int row = 0; row < 30; ++row)
            sum += map[column * 32 + row];
    }
    return ~sum;
}

void VvtController::addSettingCommands()
{
    add("cy", [this](const Command& command) {
        if (!command.isSetting())
            return Reply::answer(hex(m_running.cylinders, 1));
        const int count = command.argument.toInt();
        if (count != 4 && count != 6 && count != 8 && count != 12)
            return Reply::illegal();
        m_running.cylinders = m_permanent.cylinders = count;
        return Reply::answer();
    });
    add("ty", [this](const Command& command) {
        if (!command.isSetting())
            return Reply::answer(hex(m_running.triggerType, 2));
        qint64 value = 0;
        if (!parseHex(command.argument, value) || value > 9)
            return Reply::illegal();
        m_running.triggerType = m_permanent.triggerType = static_cast<int>(value);
        return Reply::answer();
    });
    static const char* const camMnemonics[] = {"ih", "iu", "id", "eh", "eu", "ed",
                                               "ii", "iv", "ie", "ei", "ev", "ee"};
    for (int i = 0; i < 12; ++i) {
        add(camMnemonics[i], [this, i](const Command& command) {
            if (!command.isSetting())
                return Reply::answer(hex(m_running.camParams[i], 4));
            qint64 value = 0;
            if (!parseHex(command.argument, value) || value > 1000)
                return Reply::illegal();
            if (m_flashFails)
                return Reply::answer(kError);
            m_running.camParams[i] = m_permanent.camParams[i] = static_cast<int>(value);
            return Reply::answer();
        });
    }
    for (const bool inlet : {true, false}) {
        add(inlet ? "it" : "et", [this, inlet](const Command& command) {
            bool& running = inlet ? m_running.inletAllThrottle : m_running.exhaustAllThrottle;
            bool& stored = inlet ? m_permanent.inletAllThrottle : m_permanent.exhaustAllThrottle;
            if (!command.isSetting())
                return Reply::answer(running ? "01" : "00");
            if (command.argument != "00" && command.argument != "01")
                return Reply::illegal();
            running = stored = command.argument == "01";
            return Reply::answer();
        });
    }
    add("unv", [this](const Command& command) {
        if (command.isSetting())
            return Reply::illegal();
        if (m_flashFails)
            return Reply::answer(kError);
        m_permanent = m_running;
        return Reply::answer();
    });
}

void VvtController::addMapCommands()
{
    add("en", [this](const Command& command) {
        if (!command.isSetting())
            return Reply::answer(m_uploadOpen ? "1" : "0");
        if (command.argument != "0" && command.argument != "1")
            return Reply::illegal();
        m_uploadOpen = command.argument == "1";
        return Reply::answer();
    });
    add("po", [](const Command& command) {
        return command.isSetting() ? Reply::illegal() : Reply::answer();
    });
    add("ad", [this](const Command& command) {
        if (command.isSetting())
            return Reply::illegal();
        return Reply::answer(m_running.mapValid ? "01" : "00");
    });
    add("na", [this](const Command& command) {
        return command.isSetting() ? Reply::illegal() : Reply::answer(m_running.name);
    });
    add("li", [this](const Command& command) {
        if (command.isSetting())
            return Reply::illegal();
        QByteArrayList lines;
        for (int column = 0; column < 8; ++column) {
            for (int row = 0; row < 30; ++row)
                lines << hex(m_running.map[column * 32 + row], 2);
            // The first column's two spare bytes come on a line of their own.
            if (column == 0)
                lines << hex(m_running.map[30], 2) + hex(m_running.map[31], 2);
        }
        return Reply::answer(lines.join("\r\n"));
    });
    add("ch", [this](const Command& command) {
        if (!command.isSetting())
            return Reply::answer(hex(m_running.checksum, 8));
        qint64 value = 0;
        if (!parseHex(command.argument, value) || command.argument.size() != 8)
            return Reply::illegal();
        if (value == 0) {
            // Eight zeros: restart with the settings in non-volatile memory.
            ++m_restarts;
            restart();
            powerUp();
            return Reply::answer();
        }
        m_running.checksum = static_cast<quint32>(value);
        return Reply::answer();
    });
}

void VvtController::addLive(const QByteArray& mnemonic, std::function<QByteArray()> answer)
{
    add(mnemonic, [this, mnemonic, answer](const Command& command) {
        if (command.isSetting())
            return Reply::illegal();
        const auto fixed = m_liveAnswers.constFind(mnemonic);
        return Reply::answer(fixed != m_liveAnswers.cend() ? *fixed : answer());
    });
}

void VvtController::addLiveCommands()
{
    addLive("rp", [this] { return m_engine.revCounterPeriod(m_running.cylinders); });
    addLive("rh", [this] { return m_engine.crankPeriod(); });
    addLive("th", [this] { return m_engine.throttleAnswer(); });
    addLive("to", [this] { return m_engine.bandOffset(); });
    add("sy", [this](const Command& command) {
        if (command.isSetting()) {
            if (command.argument != "0")
                return Reply::illegal();
            m_engine.resetSyncErrors();
            return Reply::answer();
        }
        return Reply::answer(m_liveAnswers.value("sy", m_engine.syncErrorAnswer()));
    });
    const QByteArray trigger[] = {"cw", "cx", "cz", "dw"};
    for (int cam = 0; cam < 4; ++cam)
        addLive(trigger[cam], [this, cam] { return m_engine.triggerPoints(cam); });
    addLive("dv", [this] { return m_engine.camPositions(m_running.map); });
}

Reply VvtController::record(const QByteArray& line)
{
    const std::optional<S3Record> parsed = parseS3Record(line);
    if (!m_uploadOpen || !parsed || parsed->address % 32 != 0 || parsed->address >= 256 ||
        (m_failingAddress && *m_failingAddress == parsed->address))
        return Reply::answer(kError);
    for (int i = 0; i < 32; ++i)
        m_running.map[parsed->address + i] = static_cast<quint8>(parsed->data.at(i));
    m_running.mapValid = true;
    return Reply::answer();
}

std::optional<Reply> VvtController::otherLine(const QByteArray& line)
{
    if (line.endsWith(".camna")) {
        m_running.name = line.chopped(2);
        return Reply::answer();
    }
    if (line.endsWith("sp")) {
        const QByteArray password = line.chopped(2);
        if (!password.isEmpty() && (password.size() < 4 || password.size() > 8))
            return Reply::answer(kError);
        if (m_flashFails)
            return Reply::answer(kError);
        setPassword(password, false);
        return Reply::answer();
    }
    return std::nullopt;
}

} // namespace vx::sim
