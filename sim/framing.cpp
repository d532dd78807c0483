#include "sim/framing.h"

namespace vx::sim::framing {

QByteArray answer(const QByteArray& line, const QByteArray& text, const QByteArray& prompt)
{
    QByteArray reply;
    reply.reserve(line.size() + text.size() + prompt.size() + 4);
    reply.append(line).append(kCarriageReturn).append(kLineFeed);
    reply.append(text).append(kCarriageReturn).append(kLineFeed);
    reply.append(prompt);
    return reply;
}

QByteArray wakeUp(const QByteArray& prompt)
{
    return QByteArray().append(kLineFeed).append(kCarriageReturn).append(prompt);
}

} // namespace vx::sim::framing
