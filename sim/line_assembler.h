#pragma once

#include <QByteArray>

#include <vector>

namespace vx::sim {

// Cuts the byte stream from the program into command lines at CR, and picks out the escape
// character, which wakes the controller and abandons whatever line was half typed.
class LineAssembler
{
public:
    struct Event
    {
        enum class Kind
        {
            Line,
            WakeUp,
        };
        Kind kind;
        QByteArray line;
    };

    std::vector<Event> feed(const QByteArray& bytes);
    void reset() { m_partial.clear(); }

private:
    QByteArray m_partial;
};

} // namespace vx::sim
