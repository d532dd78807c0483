#pragma once

#include "sim/command_table.h"

#include <QByteArray>
#include <QHash>

#include <optional>

namespace vx::sim {

// The stored settings of the gearbox controller: every parameter the program reads and sets by
// mnemonic, each answered with its own number of hexadecimal digits.
class GearboxSettings
{
public:
    GearboxSettings();

    // Adds a read/set command for every setting to the table.
    void install(CommandTable& commands);

    std::optional<int> value(const QByteArray& mnemonic) const;
    // False for an unknown mnemonic or a value that does not fit its digits.
    bool setValue(const QByteArray& mnemonic, int value);
    int digits(const QByteArray& mnemonic) const;
    QList<QByteArray> mnemonics() const { return m_values.keys(); }

private:
    struct Setting
    {
        int digits;
        int value;
    };
    QHash<QByteArray, Setting> m_values;
};

// Upper-case hexadecimal, zero-padded to digits.
QByteArray hexDigits(qint64 value, int digits);
// An argument of upper-case hexadecimal digits; nothing when it is not one.
std::optional<qint64> parseHex(const QByteArray& argument);

} // namespace vx::sim
