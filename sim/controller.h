#pragma once

#include "sim/command.h"
#include "sim/command_table.h"
#include "sim/fault_settings.h"
#include "sim/line_assembler.h"
#include "sim/pty_link.h"
#include "sim/reply_queue.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QDeadlineTimer>
#include <QObject>
#include <QTimer>

#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace vx::sim {

class Bootloader;

// What every simulated controller shares: the line framing on its serial link (line assembly,
// escape, echo, prompt), the password lock, fault injection and the record of what the program
// sent. A concrete controller adds its commands to commands().
class Controller : public QObject
{
    Q_OBJECT

public:
    ~Controller() override = default;

    PtyLink& link() { return *m_link; }
    const PtyLink& link() const { return *m_link; }

    // Plugs the controller in behind symlinkPath; it starts up as after power-on.
    bool plug(const QString& symlinkPath) { return m_link->plug(symlinkPath); }
    bool replug() { return m_link->replug(); }
    void unplug() { m_link->unplug(); }

    // Power cycle: abandons input and queued replies, locks again, restores the prompt and
    // starts the fault line counts over.
    void restart();

    // The text "ve" answers, e.g. "V1.2-3".
    QByteArray version() const { return m_version; }
    void setVersion(const QByteArray& version) { m_version = version; }
    static QByteArray versionText(int major, int minor, int build);

    // Empty means no password. Setting one locks the controller at once, unless lockNow is
    // false (a password changed over the link applies from the next start).
    QByteArray password() const { return m_password; }
    void setPassword(const QByteArray& password, bool lockNow = true);
    bool isLocked() const { return m_locked; }

    QByteArray prompt() const { return m_prompt; }
    void setPrompt(const QByteArray& prompt) { m_prompt = prompt; }

    const FaultSettings& faults() const { return m_faults; }
    void setFaults(const FaultSettings& faults);

    // Every line received (without its CR), in order, across restarts and replugs.
    const QByteArrayList& receivedLines() const { return m_lines; }
    void clearReceivedLines() { m_lines.clear(); }
    int wakeUpCount() const { return m_wakeUps; }
    // All bytes taken off the link, including those ignored at the wrong baud rate.
    qint64 receivedByteCount() const { return m_receivedBytes; }
    qint64 ignoredByteCount() const { return m_ignoredBytes; }

    // Lines starting with prefix go to handler instead of the command table (records such as
    // "S3..." or ":..."). The longest matching prefix wins; an empty prefix takes every line.
    void addRawLineHandler(const QByteArray& prefix, RawLineHandler handler);
    void removeRawLineHandler(const QByteArray& prefix);

    // While a byte handler is set, every byte from the program goes to it instead of the line
    // framing: a resident program with a protocol of its own, such as the bootloader. Bytes that
    // follow a line which sets the handler go to the handler too.
    using ByteHandler = std::function<void(const QByteArray& bytes)>;
    void setByteHandler(ByteHandler handler) { m_byteHandler = std::move(handler); }
    void clearByteHandler() { m_byteHandler = nullptr; }
    bool hasByteHandler() const { return static_cast<bool>(m_byteHandler); }
    // Sends bytes exactly as given, behind the replies already queued.
    void sendRaw(const QByteArray& bytes);

    // The resident loader that "zb" starts and that replaces the controller's program.
    Bootloader& bootloader() { return *m_bootloader; }
    const Bootloader& bootloader() const { return *m_bootloader; }

signals:
    void lineReceived(const QByteArray& line);
    void wokenUp();

protected:
    Controller(QByteArray version, QObject* parent);

    CommandTable& commands() { return m_commands; }
    // A line that is neither a record nor written as [argument]mnemonic, such as a text followed
    // by its mnemonic; nothing lets the command table have it.
    virtual std::optional<Reply> otherLine(const QByteArray&) { return std::nullopt; }
    // The text "do" answers.
    virtual QByteArray description() const = 0;

private:
    void onReceived(const QByteArray& bytes);
    void feedFraming(const QByteArray& bytes);
    void onUnplugged();
    void handleLine(const QByteArray& line);
    void handleWakeUp();
    bool isSilentNow() const;
    QByteArray replyTo(const QByteArray& line);
    QByteArray frame(const QByteArray& line, const Reply& reply) const;
    const RawLineHandler* rawHandlerFor(const QByteArray& line) const;
    void post(const QByteArray& reply);
    void closeWhenDelivered();

    PtyLink* m_link;
    ReplyQueue* m_replies;
    LineAssembler m_assembler;
    CommandTable m_commands;
    std::vector<std::pair<QByteArray, RawLineHandler>> m_rawHandlers;
    ByteHandler m_byteHandler;
    Bootloader* m_bootloader = nullptr; // a child of this object
    FaultSettings m_faults;
    QByteArrayList m_lines;
    QByteArray m_version;
    QByteArray m_password;
    QByteArray m_prompt;
    QTimer m_closeTimer;
    QDeadlineTimer m_closeDeadline;
    qint64 m_receivedBytes = 0;
    qint64 m_ignoredBytes = 0;
    int m_linesSinceFaults = 0;
    int m_wakeUps = 0;
    bool m_locked = false;
    bool m_closing = false;
};

} // namespace vx::sim
