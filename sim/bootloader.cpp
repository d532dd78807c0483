#include "sim/bootloader.h"

#include "sim/controller.h"
#include "sim/framing.h"
#include "sim/sim_limits.h"

namespace vx::sim {

namespace {

constexpr char kEnterCommand[] = "zb";

QByteArray reply(const QByteArray& line, const QByteArray& text)
{
    return framing::answer(line, text, framing::kDefaultPrompt);
}

} // namespace

Bootloader::Bootloader(Controller& controller) : QObject(&controller), m_controller(controller)
{
    m_controller.addRawLineHandler(kEnterCommand, [this](const QByteArray& line) {
        if (line != kEnterCommand)
            return Reply::illegal();
        enter();
        return Reply::answer("Starting bootloader");
    });
}

void Bootloader::enter()
{
    if (isActive())
        return;
    m_state = State::Commands;
    m_partial.clear();
    m_controller.setByteHandler([this](const QByteArray& bytes) { onBytes(bytes); });
    emit entered();
}

void Bootloader::leave()
{
    if (!isActive())
        return;
    m_state = State::Off;
    m_partial.clear();
    m_controller.clearByteHandler();
    emit left();
}

void Bootloader::onBytes(const QByteArray& bytes)
{
    for (const char c : bytes) {
        if (m_state == State::Hung || !isActive())
            return;
        switch (c) {
        case framing::kLineFeed:
        case framing::kXon:
        case framing::kXoff:
            break;
        case framing::kCarriageReturn:
            handleLine(m_partial);
            m_partial.clear();
            break;
        case '?':
            if (m_partial.isEmpty()) {
                identify();
                break;
            }
            [[fallthrough]];
        default:
            if (m_partial.size() < limits::kMaxLineLength)
                m_partial.append(c);
            break;
        }
    }
}

void Bootloader::identify()
{
    // A "?" in the middle of a load gives the load up.
    if (m_state == State::Loading)
        endLoad();
    m_commands.append("?");
    emit commandReceived("?");
    if (!m_faults.ignoreIdentify)
        m_controller.sendRaw(m_identity);
}

void Bootloader::handleLine(const QByteArray& line)
{
    if (m_state == State::Loading) {
        if (line.isEmpty())
            return;
        if (line.startsWith(':')) {
            handleRecord(line);
            return;
        }
        // Anything but a record ends the load unfinished and is taken as a command.
        endLoad();
    }
    handleCommand(line);
}

void Bootloader::handleCommand(const QByteArray& line)
{
    if (line.isEmpty())
        return;
    m_commands.append(line);
    emit commandReceived(line);
    if (line == "ERASE") {
        if (m_faults.ignoreErase)
            return;
        m_image.clear();
        m_controller.sendRaw(reply(line, "Flash erased"));
    } else if (line == "LF") {
        m_state = State::Loading;
        m_records = 0;
        m_loadFailed = false;
        m_builder.reset();
    } else if (line == "ex") {
        m_controller.sendRaw(reply(line, "Starting program"));
        leave();
    } else if (line == kEnterCommand) {
        m_controller.sendRaw(reply(line, "Bootloader running"));
    } else {
        m_controller.sendRaw(reply(line, "Unknown command"));
    }
}

void Bootloader::handleRecord(const QByteArray& line)
{
    ++m_records;
    if (m_faults.silentAfterRecords && m_records > *m_faults.silentAfterRecords) {
        m_state = State::Hung;
        m_partial.clear();
        return;
    }
    emit recordReceived(m_records);
    const std::optional<ihex::Record> record = ihex::parseRecord(line);
    if (!record || m_faults.failRecord == m_records || !m_builder.take(*record)) {
        m_loadFailed = true;
        m_controller.sendRaw(kRecordError);
        return;
    }
    if (record->type != ihex::kEndOfFile)
        return;
    const bool good = !m_loadFailed;
    m_state = State::Commands;
    if (good)
        ++m_goodLoads;
    m_controller.sendRaw(good ? QByteArray("\r\nProgramming complete\r\n*")
                              : QByteArray("\r\nError: program incomplete\r\n*"));
    emit loadFinished(good);
}

void Bootloader::endLoad()
{
    m_state = State::Commands;
    emit loadFinished(false);
}

} // namespace vx::sim
