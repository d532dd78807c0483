#pragma once

#include <QString>

#include <optional>

namespace vx {

// Reads every option of the "Config" section into the globals, with the messages for values
// that are not accepted. Also forgets the controller password entered last.
void LoadConfigSettings();

// Writes the options the setup dialog changes.
void SaveConfigSettings();

// The folder used when the store names no installation folder: a per-user folder of this
// platform.
QString defaultProgramFolder();

namespace config {
// A stored option text read as the store writes it; nothing when it is not one.
std::optional<int> parseInteger(const QString& text);
std::optional<bool> parseBoolean(const QString& text);
QString booleanText(bool value);
} // namespace config

} // namespace vx
