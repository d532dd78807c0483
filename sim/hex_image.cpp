#include "sim/hex_image.h"

#include <algorithm>
#include <iterator>

namespace vx::sim {

qint64 HexImage::byteCount() const
{
    qint64 count = 0;
    for (const auto& [address, bytes] : m_segments)
        count += bytes.size();
    return count;
}

void HexImage::write(quint32 address, const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return;
    const quint64 start = address;
    const quint64 end = start + static_cast<quint64>(bytes.size());
    const auto endOf = [](const Segments::value_type& segment) {
        return segment.first + static_cast<quint64>(segment.second.size());
    };

    // The runs this write touches or adjoins.
    auto first = m_segments.upper_bound(address);
    if (first != m_segments.begin() && endOf(*std::prev(first)) >= start)
        --first;
    auto last = first;
    while (last != m_segments.end() && last->first <= end)
        ++last;

    // Records arrive in address order, so most writes extend one run at its end: do that in
    // place rather than copying the run.
    if (first != m_segments.end() && std::next(first) == last && first->first <= start) {
        QByteArray& run = first->second;
        const auto offset = static_cast<qsizetype>(start - first->first);
        if (end > endOf(*first))
            run.resize(static_cast<qsizetype>(end - first->first));
        run.replace(offset, bytes.size(), bytes);
        return;
    }

    quint64 mergedStart = start;
    quint64 mergedEnd = end;
    for (auto it = first; it != last; ++it) {
        mergedStart = std::min<quint64>(mergedStart, it->first);
        mergedEnd = std::max(mergedEnd, endOf(*it));
    }
    QByteArray merged(static_cast<qsizetype>(mergedEnd - mergedStart), '\0');
    for (auto it = first; it != last; ++it)
        merged.replace(static_cast<qsizetype>(it->first - mergedStart), it->second.size(),
                       it->second);
    merged.replace(static_cast<qsizetype>(start - mergedStart), bytes.size(), bytes);
    m_segments.erase(first, last);
    m_segments.emplace(static_cast<quint32>(mergedStart), std::move(merged));
}

} // namespace vx::sim
