#pragma once

#include <QByteArray>
#include <QSet>
#include <QtGlobal>

#include <chrono>
#include <optional>

namespace vx::sim {

// Ways a controller can misbehave, so the program's handling of each can be exercised.
// Line counts run from the moment the settings are applied or the link is plugged in.
struct FaultSettings
{
    // Answers nothing at all, not even the escape character; lines are still recorded.
    bool silent = false;
    // Answers this many lines normally, then falls silent.
    std::optional<int> silentAfterLines;
    // Mnemonics answered as illegal, as on a controller whose firmware predates them.
    QSet<QByteArray> illegalCommands;
    // Every reply goes out this long after the line that caused it.
    std::chrono::milliseconds replyDelay{0};
    // Every reply goes out in two pieces this far apart.
    std::optional<std::chrono::milliseconds> splitReplyGap;
    // Input arriving while the port is set to any other rate is ignored, as a real controller
    // would see only garbage.
    std::optional<qint32> answerOnlyAtBaud;
    // Answers this many lines (at least one), then unplugs itself once the program has read the
    // last reply: the port vanishes.
    std::optional<int> closeAfterLines;
};

} // namespace vx::sim
