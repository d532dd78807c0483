#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace vx {

// The ten queries of one live data batch, in the order they are sent.
const QStringList& liveQueries();
// The batch as one text: every query followed by CR.
QString liveBatch();
// A complete reply to the batch is at least this long.
inline constexpr int kLiveReplyMinLength = 145;

// The answer to one query in the accumulated reply: it starts four characters after the first
// "query CR". Nothing when the query is missing or its answer does not fit.
std::optional<QString> liveAnswer(const QString& reply, const QString& query, int length);

// All ten queries are in the reply and it is long enough.
bool liveReplyComplete(const QString& reply);

// Engine speed from the rev-counter input's crank period; 0 for cylinder counts it cannot serve.
int revCounterRpm(int period, int cylinders);
// The rev-counter speed counts as running above 110 rpm (4 cylinders) or 70 rpm (6 cylinders).
bool revCounterRunning(int rpm, int cylinders);
// Engine speed from the crank period of the toothed-wheel patterns; 0 outside 1..32766.
int crankPeriodRpm(qint64 period);

// The map row the controller uses at an engine speed: rows are 500 rpm apart and a speed
// counts for the row below until it is 250 rpm past it; rows 1..29.
int operatingRow(int rpm);

// Four two-digit numbers at offsets 0, 3, 6 and 9 of an answer.
std::array<int, 4> fourNumbers(const QString& answer);

// The caption of an engine speed: "####" leaves 0 empty.
QString rpmCaption(int rpm);

} // namespace vx
