#pragma once

#include <QByteArray>

#include <functional>

namespace vx::sim {

// One command line as the controller understood it: "3Fg2" is argument "3F", mnemonic "g",
// gear '2'.
struct Command
{
    QByteArray line;
    QByteArray argument;
    QByteArray mnemonic;
    char gear = '\0';

    // Without an argument a command reads a value; with one it sets it.
    bool isSetting() const { return !argument.isEmpty(); }
    bool hasGear() const { return gear != '\0'; }
};

// What a handler wants sent back for a line.
class Reply
{
public:
    enum class Kind
    {
        Answer,  // echo, LF, text, CR LF, prompt
        Illegal, // an answer saying the line was not understood
        Raw,     // the bytes exactly as given, for exchanges that are not framed like commands
        Nothing,
    };

    static Reply answer(QByteArray text = {}) { return Reply(Kind::Answer, std::move(text)); }
    static Reply illegal() { return Reply(Kind::Illegal, {}); }
    static Reply raw(QByteArray bytes) { return Reply(Kind::Raw, std::move(bytes)); }
    static Reply nothing() { return Reply(Kind::Nothing, {}); }

    Kind kind() const { return m_kind; }
    const QByteArray& bytes() const { return m_bytes; }

private:
    Reply(Kind kind, QByteArray bytes) : m_kind(kind), m_bytes(std::move(bytes)) {}

    Kind m_kind;
    QByteArray m_bytes;
};

using CommandHandler = std::function<Reply(const Command&)>;
using RawLineHandler = std::function<Reply(const QByteArray& line)>;

} // namespace vx::sim
