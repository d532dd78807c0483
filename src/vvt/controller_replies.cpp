#include "vvt/controller_replies.h"

#include "serial/hex.h"

namespace vx {

QString answerOf(const QString& reply, const QString& mnemonic, int length)
{
    return reply.mid(mnemonic.size() + 2, length);
}

std::optional<int> cylinderCountOf(const QString& reply)
{
    // The echo stands at the start of a line; searching every position keeps a stray "cy" in
    // a longer answer from counting, and the search ends with the reply.
    for (qsizetype i = 0; i + 1 < reply.size(); i += 2) {
        if (reply.mid(i, 2) != QLatin1String("cy"))
            continue;
        const qsizetype digit = i + 4;
        if (digit >= reply.size())
            return std::nullopt;
        const QChar c = reply.at(digit);
        if (!c.isDigit() && !(c >= QLatin1Char('A') && c <= QLatin1Char('F')))
            return std::nullopt;
        // Twelve cylinders come as the single digit C.
        return HexDigitValue(c);
    }
    return std::nullopt;
}

QString mapNameOf(const QString& reply)
{
    const QString body = reply.left(qMax<qsizetype>(0, reply.size() - 3));
    const qsizetype lf = body.indexOf(QLatin1Char('\n'));
    if (lf < 0)
        return {};
    QString name = body.mid(lf + 1);
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    if (dot >= 0)
        name.truncate(dot);
    return name;
}

std::optional<ColumnMajorMap> mapOfListing(const QString& reply)
{
    ColumnMajorMap map{};
    qsizetype q = 0;
    const auto nextLine = [&]() -> bool {
        const qsizetype cr = reply.indexOf(QLatin1Char('\r'), q);
        if (cr < 0)
            return false;
        q = cr + 2;
        return q + 2 <= reply.size();
    };
    for (int column = 0; column < kMapUsedColumns; ++column) {
        for (int row = 0; row < kMapRows; ++row) {
            if (!nextLine())
                return std::nullopt;
            const int b = static_cast<int>(HexStringToInt(reply.mid(q, 2)));
            map[column][row] = b > 127 ? b - 256 : b;
        }
        // The controller lists the two spare bytes of the first column on a line of their own.
        if (column == 0 && !nextLine())
            return std::nullopt;
    }
    return map;
}

qint64 signedChecksumOf(const QString& digits)
{
    return static_cast<qint32>(static_cast<quint32>(HexStringToInt(digits)));
}

} // namespace vx
