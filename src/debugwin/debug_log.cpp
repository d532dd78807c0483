#include "debugwin/debug_log.h"

#include <algorithm>

namespace vx {

void DebugLog::append(const QString& text)
{
    const qsizetype base = text_.size();
    for (qsizetype i = text.indexOf(QLatin1Char('\n')); i >= 0; i = text.indexOf(QLatin1Char('\n'), i + 1))
        lineFeeds_.push_back(base + i);
    text_ += text;
    emit appended(text);
}

void DebugLog::clear()
{
    text_.clear();
    lineFeeds_.clear();
    emit cleared();
}

QString DebugLog::lines(qsizetype firstLine, qsizetype count) const
{
    const qsizetype total = lineCount();
    firstLine = std::max<qsizetype>(0, std::min(firstLine, total));
    const qsizetype start = firstLine == 0 ? 0 : lineFeeds_[static_cast<size_t>(firstLine - 1)] + 1;
    const qsizetype last = firstLine + count; // the line feed that ends the slice
    if (count <= 0)
        return {};
    if (last > total)
        return text_.mid(start);
    qsizetype end = lineFeeds_[static_cast<size_t>(last - 1)];
    if (end > start && text_.at(end - 1) == QLatin1Char('\r'))
        --end;
    return text_.mid(start, end - start);
}

DebugLog& debugLog()
{
    static DebugLog instance;
    return instance;
}

void PrintDebugString(const QString& text) { debugLog().append(text); }

} // namespace vx
