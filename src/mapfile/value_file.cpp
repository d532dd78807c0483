#include "mapfile/value_file.h"

#include <QFile>
#include <QSaveFile>

#include <cmath>

namespace vx {

namespace {

QStringList splitValues(const QString& text)
{
    QStringList values;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        while (i < n && text.at(i) == QLatin1Char(' '))
            ++i;
        QString value;
        if (i < n && text.at(i) == QLatin1Char('"')) {
            const qsizetype close = text.indexOf(QLatin1Char('"'), i + 1);
            const qsizetype end = close < 0 ? n : close;
            value = text.mid(i + 1, end - i - 1);
            i = close < 0 ? n : close + 1;
            while (i < n && text.at(i) != QLatin1Char(',') && text.at(i) != QLatin1Char('\r') &&
                   text.at(i) != QLatin1Char('\n'))
                ++i;
        } else {
            const qsizetype start = i;
            while (i < n && text.at(i) != QLatin1Char(',') && text.at(i) != QLatin1Char('\r') &&
                   text.at(i) != QLatin1Char('\n'))
                ++i;
            value = text.mid(start, i - start).trimmed();
        }
        values << value;
        if (i < n && text.at(i) == QLatin1Char(',')) {
            ++i;
            if (i >= n)
                values << QString();
            continue;
        }
        // A line end (CR LF, LF or CR) closes the value.
        if (i < n && text.at(i) == QLatin1Char('\r'))
            ++i;
        if (i < n && text.at(i) == QLatin1Char('\n'))
            ++i;
    }
    return values;
}

} // namespace

bool ValueReader::open(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error_ = file.errorString();
        return false;
    }
    setText(QString::fromLatin1(file.readAll()));
    return true;
}

void ValueReader::setText(const QString& text)
{
    values_ = splitValues(text);
    next_ = 0;
}

bool ValueReader::findSection(const QString& name)
{
    const qsizetype at = values_.indexOf(name);
    if (at < 0)
        return false;
    next_ = at + 1;
    return true;
}

std::optional<QString> ValueReader::next()
{
    if (atEnd())
        return std::nullopt;
    return values_.at(next_++);
}

std::optional<double> ValueReader::nextNumber()
{
    const std::optional<QString> value = next();
    if (!value)
        return std::nullopt;
    bool ok = false;
    const double number = value->toDouble(&ok);
    if (!ok || !std::isfinite(number))
        return std::nullopt;
    return number;
}

QString formatNumber(double value)
{
    if (value == std::floor(value) && std::abs(value) < 1e15)
        return QString::number(static_cast<qint64>(value));
    QString text = QString::number(value, 'f', 6);
    while (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text;
}

void ValueWriter::text(const QString& value)
{
    content_ += QLatin1Char('"') + value + QLatin1Char('"') + QLatin1String("\r\n");
}

void ValueWriter::number(double value) { content_ += formatNumber(value) + QLatin1String("\r\n"); }

void ValueWriter::boolean(bool value)
{
    content_ += (value ? QLatin1String("#TRUE#") : QLatin1String("#FALSE#")) + QLatin1String("\r\n");
}

bool ValueWriter::save(const QString& path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        error_ = file.errorString();
        return false;
    }
    const QByteArray bytes = content_.toLatin1();
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        error_ = file.errorString();
        file.cancelWriting();
        return false;
    }
    return true;
}

} // namespace vx
