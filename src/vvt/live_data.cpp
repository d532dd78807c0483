#include "vvt/live_data.h"

#include "common/globals.h"
#include "serial/command_table.h"
#include "serial/hex.h"

#include <algorithm>

namespace vx {

const QStringList& liveQueries()
{
    static const QStringList queries = [] {
        QStringList list;
        for (const int index : {cmd::rp, cmd::sy, cmd::th, cmd::to, cmd::rh, cmd::cw, cmd::cx,
                                cmd::cz, cmd::dw, cmd::dv})
            list << Command(index);
        return list;
    }();
    return queries;
}

QString liveBatch()
{
    QString batch;
    for (const QString& query : liveQueries())
        batch += query + G.CR;
    return batch;
}

std::optional<QString> liveAnswer(const QString& reply, const QString& query, int length)
{
    const qsizetype at = reply.indexOf(query + G.CR);
    if (at < 0 || at + 4 + length > reply.size())
        return std::nullopt;
    return reply.mid(at + 4, length);
}

bool liveReplyComplete(const QString& reply)
{
    if (reply.size() < kLiveReplyMinLength)
        return false;
    return std::all_of(liveQueries().cbegin(), liveQueries().cend(),
                       [&](const QString& query) { return reply.contains(query); });
}

int revCounterRpm(int period, int cylinders)
{
    if (period <= 58)
        return 10000;
    if (cylinders == 4)
        return 3000000 / (period * 32) * 10;
    if (cylinders == 6)
        return 2000000 / (period * 32) * 10;
    return 0;
}

bool revCounterRunning(int rpm, int cylinders)
{
    return (cylinders == 4 && rpm > 110) || (cylinders == 6 && rpm > 70);
}

int crankPeriodRpm(qint64 period)
{
    if (period <= 0)
        return 0;
    const qint64 x = 30000000000LL / (period * 320);
    return x > 0 && x < 32767 ? static_cast<int>(x) : 0;
}

int operatingRow(int rpm)
{
    int row = rpm / 500;
    if (rpm % 500 < 250)
        --row;
    return std::clamp(row, 1, 29);
}

std::array<int, 4> fourNumbers(const QString& answer)
{
    std::array<int, 4> numbers{};
    for (int k = 0; k < 4; ++k)
        numbers[k] = static_cast<int>(HexStringToInt(answer.mid(k * 3, 2)));
    return numbers;
}

QString rpmCaption(int rpm)
{
    return rpm == 0 ? QString() : QString::number(rpm);
}

} // namespace vx
