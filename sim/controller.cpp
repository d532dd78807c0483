#include "sim/controller.h"

#include "sim/bootloader.h"
#include "sim/framing.h"
#include "sim/sim_limits.h"

#include <algorithm>

namespace vx::sim {

Controller::Controller(QByteArray version, QObject* parent)
    : QObject(parent), m_link(new PtyLink(this)),
      m_replies(new ReplyQueue([this](const QByteArray& bytes) { m_link->send(bytes); }, this)),
      m_version(std::move(version)), m_prompt(framing::kDefaultPrompt)
{
    connect(m_link, &PtyLink::received, this, &Controller::onReceived);
    connect(m_link, &PtyLink::plugged, this, &Controller::restart);
    connect(m_link, &PtyLink::unplugged, this, &Controller::onUnplugged);
    connect(m_link, &PtyLink::programClosedPort, m_replies, &ReplyQueue::clear);
    connect(m_replies, &ReplyQueue::drained, this, &Controller::closeWhenDelivered);
    m_closeTimer.setInterval(limits::kCloseDrainPollInterval);
    connect(&m_closeTimer, &QTimer::timeout, this, &Controller::closeWhenDelivered);

    m_commands.add("ve", [this](const Command& command) {
        return command.isSetting() ? Reply::illegal() : Reply::answer(m_version);
    });
    m_commands.add("do", [this](const Command& command) {
        return command.isSetting() ? Reply::illegal() : Reply::answer(description());
    });
    m_bootloader = new Bootloader(*this);
}

QByteArray Controller::versionText(int major, int minor, int build)
{
    return QStringLiteral("V%1.%2-%3").arg(major).arg(minor).arg(build).toLatin1();
}

void Controller::restart()
{
    m_assembler.reset();
    m_replies->clear();
    m_locked = !m_password.isEmpty();
    m_prompt = framing::kDefaultPrompt;
    m_linesSinceFaults = 0;
    m_closing = false;
    m_closeTimer.stop();
    m_bootloader->leave();
}

void Controller::setPassword(const QByteArray& password, bool lockNow)
{
    m_password = password;
    if (lockNow)
        m_locked = !password.isEmpty();
}

void Controller::setFaults(const FaultSettings& faults)
{
    m_faults = faults;
    m_linesSinceFaults = 0;
}

void Controller::addRawLineHandler(const QByteArray& prefix, RawLineHandler handler)
{
    removeRawLineHandler(prefix);
    m_rawHandlers.emplace_back(prefix, std::move(handler));
    std::sort(m_rawHandlers.begin(), m_rawHandlers.end(),
              [](const auto& a, const auto& b) { return a.first.size() > b.first.size(); });
}

void Controller::removeRawLineHandler(const QByteArray& prefix)
{
    m_rawHandlers.erase(std::remove_if(m_rawHandlers.begin(), m_rawHandlers.end(),
                                       [&](const auto& entry) { return entry.first == prefix; }),
                        m_rawHandlers.end());
}

void Controller::onReceived(const QByteArray& bytes)
{
    m_receivedBytes += bytes.size();
    if (m_faults.answerOnlyAtBaud && m_link->baudRate() != *m_faults.answerOnlyAtBaud) {
        m_ignoredBytes += bytes.size();
        return;
    }
    // A line may hand the link over to a byte handler, so the framing takes the bytes one line
    // at a time and the handler gets whatever follows.
    qsizetype start = 0;
    while (start < bytes.size()) {
        if (m_byteHandler) {
            m_byteHandler(bytes.mid(start));
            return;
        }
        qsizetype end = start;
        while (end < bytes.size() && bytes[end] != framing::kCarriageReturn &&
               bytes[end] != framing::kEscape)
            ++end;
        end = std::min(end + 1, bytes.size());
        feedFraming(bytes.mid(start, end - start));
        start = end;
    }
}

void Controller::feedFraming(const QByteArray& bytes)
{
    for (const LineAssembler::Event& event : m_assembler.feed(bytes)) {
        if (!m_link->isPlugged())
            return;
        if (event.kind == LineAssembler::Event::Kind::WakeUp)
            handleWakeUp();
        else
            handleLine(event.line);
    }
}

void Controller::sendRaw(const QByteArray& bytes)
{
    post(bytes);
}

void Controller::onUnplugged()
{
    m_assembler.reset();
    m_replies->clear();
    m_closing = false;
    m_closeTimer.stop();
}

void Controller::handleLine(const QByteArray& line)
{
    m_lines.append(line);
    ++m_linesSinceFaults;
    emit lineReceived(line);
    if (!isSilentNow())
        post(replyTo(line));
    if (m_faults.closeAfterLines && m_linesSinceFaults == *m_faults.closeAfterLines) {
        m_closing = true;
        m_closeDeadline = QDeadlineTimer(QDeadlineTimer::Forever);
        m_closeTimer.start();
    }
}

void Controller::handleWakeUp()
{
    ++m_wakeUps;
    emit wokenUp();
    if (!isSilentNow())
        post(framing::wakeUp(m_prompt));
}

bool Controller::isSilentNow() const
{
    return m_faults.silent ||
           (m_faults.silentAfterLines && m_linesSinceFaults > *m_faults.silentAfterLines);
}

QByteArray Controller::replyTo(const QByteArray& line)
{
    if (m_locked) {
        if (line != m_password)
            return framing::kPasswordRequest;
        m_locked = false;
        return framing::answer({}, {}, m_prompt);
    }
    if (const RawLineHandler* handler = rawHandlerFor(line))
        return frame(line, (*handler)(line));
    if (line.isEmpty())
        return framing::answer(line, {}, m_prompt);
    if (const std::optional<Reply> reply = otherLine(line))
        return frame(line, *reply);
    const std::optional<CommandTable::Match> match = m_commands.match(line);
    if (!match || m_faults.illegalCommands.contains(match->command.mnemonic))
        return frame(line, Reply::illegal());
    return frame(line, (*match->handler)(match->command));
}

QByteArray Controller::frame(const QByteArray& line, const Reply& reply) const
{
    switch (reply.kind()) {
    case Reply::Kind::Answer:
        return framing::answer(line, reply.bytes(), m_prompt);
    case Reply::Kind::Illegal:
        return framing::answer(line, framing::kIllegalText, m_prompt);
    case Reply::Kind::Raw:
        return reply.bytes();
    case Reply::Kind::Nothing:
        break;
    }
    return {};
}

const RawLineHandler* Controller::rawHandlerFor(const QByteArray& line) const
{
    const auto found =
        std::find_if(m_rawHandlers.cbegin(), m_rawHandlers.cend(),
                     [&](const auto& entry) { return line.startsWith(entry.first); });
    return found == m_rawHandlers.cend() ? nullptr : &found->second;
}

void Controller::post(const QByteArray& reply)
{
    m_replies->post(reply, m_faults.replyDelay, m_faults.splitReplyGap);
}

// The last reply before the cable is pulled must reach the program, or the program could not
// tell this fault from a silent controller.
void Controller::closeWhenDelivered()
{
    if (!m_closing || !m_replies->isEmpty())
        return;
    if (m_closeDeadline.isForever())
        m_closeDeadline.setRemainingTime(limits::kCloseDrainTimeout);
    const bool delivered =
        !m_link->isOpenByProgram() ||
        (m_link->pendingOutput() == 0 && m_link->unreadByProgram().value_or(0) == 0);
    if (delivered || m_closeDeadline.hasExpired()) {
        m_closing = false;
        m_closeTimer.stop();
        m_link->unplug();
    }
}

} // namespace vx::sim
