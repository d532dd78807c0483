#include "gearbox/number_entry.h"

#include "serial/hex.h"

namespace vx::gearbox {

KeyDecision filterNumberKey(QChar key, const QString& text, int replacedLength, const KeyRule& rule)
{
    KeyDecision decision;
    const char16_t code = key.unicode();
    const bool stepKey = code == u'=' || code == u'+' || code == u'-' || code == u'_';
    if (text.size() - replacedLength >= rule.length && code != kBackspaceKey && code != kEnterKey &&
        !stepKey) {
        decision.discard = true;
        return decision;
    }
    const auto value = static_cast<qint64>(leadingNumber(text));
    if (code == u'=' || code == u'+') {
        decision.discard = true;
        if (value < rule.max) {
            decision.text = QString::number(value + rule.step);
            decision.commit = true;
        }
        return decision;
    }
    if (code == u'-' || code == u'_') {
        decision.discard = true;
        if (value > rule.min) {
            decision.text = QString::number(value - rule.step);
            decision.commit = true;
        }
        return decision;
    }
    if (code == kEnterKey) {
        decision.discard = true;
        decision.commit = true;
        return decision;
    }
    if (!(code >= u'0' && code <= u'9') && code != kBackspaceKey)
        decision.discard = true;
    return decision;
}

Entry checkEntry(const QString& text, int length, int min, int max)
{
    Entry entry;
    if (text.isEmpty() || text.size() > length) {
        entry.error = EntryError::Invalid;
        return entry;
    }
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
            entry.error = EntryError::Invalid;
            return entry;
        }
    }
    // At most five digits, so the value always fits before the range test.
    const qint64 value = text.toLongLong();
    if (value < min || value > max) {
        entry.error = EntryError::OutOfRange;
        return entry;
    }
    entry.value = static_cast<int>(value);
    return entry;
}

QString commitDigits(int value, int scale, int width)
{
    QString digits = QString::number(roundHalfEven(double(value) / scale), 16).toUpper();
    if (digits.size() < width)
        digits.prepend(QLatin1Char('0'));
    return digits;
}

} // namespace vx::gearbox
