#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace vx {

// The program's text files hold one value per line, each line ended by CR LF: texts in double
// quotes, numbers in plain decimal, booleans as #TRUE# or #FALSE#. Reading treats a file as a
// stream of values separated by line ends or commas, a quoted text being one value.
class ValueReader
{
public:
    // Reads the whole file; false (with errorText) when it cannot be read.
    bool open(const QString& path);
    void setText(const QString& text);
    QString errorText() const { return error_; }

    // Moves to the value after the first one equal to name, searching from the start.
    bool findSection(const QString& name);
    bool atEnd() const { return next_ >= values_.size(); }
    // The next value; nothing at the end of the file.
    std::optional<QString> next();

    // The next value read as a number: nothing at the end of the file, for an empty value or
    // when it is not a number.
    std::optional<double> nextNumber();

private:
    QStringList values_;
    qsizetype next_ = 0;
    QString error_;
};

// Writes a value file as a whole: the old file stays in place until the new one is complete.
class ValueWriter
{
public:
    void text(const QString& value);
    void number(double value);
    void boolean(bool value);
    // Replaces the file; false (with errorText) when it could not be written.
    bool save(const QString& path);
    QString errorText() const { return error_; }

private:
    QString content_;
    QString error_;
};

// Plain decimal, no exponent, no decimal point for whole values, a leading zero below 1.
QString formatNumber(double value);

// Texts the file readers report when a value is missing, not a number or too large.
inline const QString kPastEndOfFile = QStringLiteral("Input past end of file");
inline const QString kTypeMismatch = QStringLiteral("Type mismatch");
inline const QString kOverflow = QStringLiteral("Overflow");

} // namespace vx
