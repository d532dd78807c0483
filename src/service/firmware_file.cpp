#include "service/firmware_file.h"

#include <QFile>
#include <QFileInfo>

namespace vx {

namespace {

const QByteArray kEndOfFileRecord = QByteArrayLiteral(":00000001FF");
constexpr qint64 kReadChunk = 64 * 1024;

} // namespace

QByteArrayList splitLines(const QByteArray& text)
{
    QByteArrayList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\r' && c != '\n')
            continue;
        lines << text.mid(start, i - start);
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines << text.mid(start);
    return lines;
}

bool isFirmwareText(const QByteArrayList& lines)
{
    if (lines.isEmpty())
        return false;
    for (const QByteArray& line : lines) {
        if (!line.startsWith(':'))
            return false;
    }
    return lines.constLast().contains(kEndOfFileRecord);
}

FirmwareFile readFirmwareFile(const QString& path)
{
    FirmwareFile result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = file.errorString();
        return result;
    }
    QByteArray text;
    for (;;) {
        const QByteArray chunk = file.read(kReadChunk);
        if (file.error() != QFileDevice::NoError) {
            result.error = file.errorString();
            return result;
        }
        if (chunk.isEmpty())
            break;
        text += chunk;
    }
    result.lines = splitLines(text);
    result.status =
        isFirmwareText(result.lines) ? FirmwareFile::Status::Valid : FirmwareFile::Status::Invalid;
    return result;
}

QString firmwareFilePattern(const QString& firmwareFolder)
{
    const QString inside = firmwareFolder + QStringLiteral("firmware/");
    return (QFileInfo(inside).isDir() ? inside : firmwareFolder) + QStringLiteral("*.hex");
}

} // namespace vx
