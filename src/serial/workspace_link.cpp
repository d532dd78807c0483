#include "serial/workspace_link.h"

#include "common/event_loop.h"
#include "common/globals.h"
#include "common/prompts.h"
#include "common/timing.h"
#include "serial/com_port.h"
#include "serial/hex.h"
#include "serial/reply_wait.h"

#include <QHash>

namespace vx {

void WorkspaceLink::ComOutput(const QString& outputString) { port_.output(outputString); }

QString WorkspaceLink::GetECUString(const QString& command, const QString& waitString, int responseLen)
{
    if (!port_.isOpen())
        return {};
    const QString until = waitString.isEmpty() ? G.CR + G.LF + QStringLiteral("*") : waitString;
    G.RxBuffer.clear();
    ComOutput(command);
    int steps = 0;
    while (!G.RxBuffer.contains(until) && steps < timing::kGetStringSteps) {
        sleepMs(1);
        yieldToEventLoop();
        ++steps;
    }
    if (steps >= timing::kGetStringSteps && !G.RxBuffer.contains(until)) {
        MsgBox(QStringLiteral("ECU not responding"));
        return QStringLiteral("Error");
    }
    return G.RxBuffer.mid(command.size() + 1, responseLen);
}

qint64 WorkspaceLink::GetECUValue(const QString& command, const QString& waitString, int responseLen)
{
    const QString reply = GetECUString(command, waitString, responseLen);
    if (reply == QLatin1String("Error"))
        return -1;
    return HexStringToInt(reply);
}

bool WorkspaceLink::WriteLine(const QString& s3line)
{
    if (!port_.drainTransmit(timing::kTransmitDrainMs))
        return false;
    ComOutput(s3line + G.CR);
    sleepMs(timing::kLineSettleMs);
    do {
        yieldToEventLoop();
        if (G.RxBuffer.size() > 5) {
            for (qsizetype i = G.RxBuffer.indexOf(G.CR, 5); i >= 0; i = G.RxBuffer.indexOf(G.CR, i + 1)) {
                if (G.RxBuffer.mid(i - 5, 5) == QLatin1String("Error")) {
                    ComOutput(QString(QChar(27)));
                    return false;
                }
            }
        }
    } while (port_.isOpen() && port_.bytesToWrite() > 0);
    return port_.isOpen();
}

void WorkspaceLink::SendValue(double value, const QString& command, int width)
{
    const QString digits = hexPadded(roundHalfEven(value), width);
    // A prompt left over from an earlier exchange must not pass for this command's reply.
    G.RxBuffer.clear();
    ComOutput(digits + command + G.CR);
    if (!WaitForReply(true, Prompt(), 0))
        ReInitConnection();
}

namespace {
QHash<QString, WorkspaceLink*>& links()
{
    static QHash<QString, WorkspaceLink*> registry;
    return registry;
}
} // namespace

void registerWorkspaceLink(const QString& windowName, WorkspaceLink* link) { links().insert(windowName, link); }

void unregisterWorkspaceLink(const QString& windowName, const WorkspaceLink* link)
{
    if (links().value(windowName) == link)
        links().remove(windowName);
}

WorkspaceLink* workspaceLink(const QString& windowName) { return links().value(windowName); }

} // namespace vx
