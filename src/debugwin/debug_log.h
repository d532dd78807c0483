#pragma once

#include <QObject>
#include <QString>

#include <vector>

namespace vx {

// The serial traffic since the debug window was last cleared, kept whole. Appending costs the
// length of the new text; any slice of lines is found through the index of line feeds, so the
// window's view costs the lines it shows however long the log grows.
class DebugLog : public QObject
{
    Q_OBJECT
public:
    const QString& text() const { return text_; }
    qsizetype lineCount() const { return static_cast<qsizetype>(lineFeeds_.size()); }

    void append(const QString& text);
    void clear();

    // Lines firstLine + 1 .. firstLine + count (counted by line feeds, 0 = from the start),
    // without the line end of the last one; from firstLine to the end of the text when fewer
    // line feeds follow.
    QString lines(qsizetype firstLine, qsizetype count) const;

signals:
    void appended(const QString& text);
    void cleared();

private:
    QString text_;
    std::vector<qsizetype> lineFeeds_; // positions of every line feed in text_
};

DebugLog& debugLog();

// Adds traffic to the debug log (the debug window shows it).
void PrintDebugString(const QString& text);

} // namespace vx
