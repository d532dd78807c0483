#include "sim/line_assembler.h"

#include "sim/framing.h"
#include "sim/sim_limits.h"

namespace vx::sim {

std::vector<LineAssembler::Event> LineAssembler::feed(const QByteArray& bytes)
{
    std::vector<Event> events;
    for (const char c : bytes) {
        switch (c) {
        case framing::kXon:
        case framing::kXoff:
            break;
        case framing::kEscape:
            m_partial.clear();
            events.push_back({Event::Kind::WakeUp, {}});
            break;
        case framing::kCarriageReturn:
            events.push_back({Event::Kind::Line, m_partial});
            m_partial.clear();
            break;
        default:
            if (m_partial.size() < limits::kMaxLineLength)
                m_partial.append(c);
            break;
        }
    }
    return events;
}

} // namespace vx::sim
