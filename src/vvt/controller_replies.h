#pragma once

#include "common/globals.h"

#include <QString>

#include <array>
#include <optional>

namespace vx {

// Readers of the replies the engine controller gives while the workspace synchronises with it.
// A reply is the echo of the command, CR LF, the answer, CR LF and the prompt.

// The characters of the answer to a mnemonic: they start after the echo and its CR LF.
QString answerOf(const QString& reply, const QString& mnemonic, int length);

// The cylinder count in the reply to "cy": the digit after the echo and its line end. Nothing
// when the echo is not in the reply or the digit is missing.
std::optional<int> cylinderCountOf(const QString& reply);

// The map name in the reply to "na", without its extension; empty when the controller has none.
QString mapNameOf(const QString& reply);

// The map in the reply to "li": one byte per line, column by column, as signed bytes. Nothing
// when the reply holds fewer lines than the map needs.
using ColumnMajorMap = std::array<std::array<int, kMapRows>, kMapUsedColumns>;
std::optional<ColumnMajorMap> mapOfListing(const QString& reply);

// A signed 32-bit checksum from eight hexadecimal digits.
qint64 signedChecksumOf(const QString& digits);

} // namespace vx
