#pragma once

#include <QString>

namespace vx::settings {

// The three application names of the per-user store.
inline const QString kAppVvt = QStringLiteral("Vantorex VVT ECU Software");
inline const QString kAppVvtGcu = QStringLiteral("Vantorex VVT ECU and GCU Software");
inline const QString kAppHs = QStringLiteral("Vantorex HS ECU Software");

inline const QString kConfig = QStringLiteral("Config");
inline const QString kWindows = QStringLiteral("Windows");

// Text values addressed by application, section and key; a missing key gives the default.
QString GetSetting(const QString& app, const QString& section, const QString& key,
                   const QString& defaultValue = QString());
void SaveSetting(const QString& app, const QString& section, const QString& key,
                 const QString& value);
bool HasSetting(const QString& app, const QString& section, const QString& key);

// Keeps the whole store in a folder of its own (the demo and the tests), as ini files.
void useStoreFolder(const QString& folder);

} // namespace vx::settings
