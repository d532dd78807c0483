#include "settings/settings_store.h"

#include "common/app_info.h"

#include <QSettings>

namespace vx::settings {

namespace {

QSettings::Format g_format = QSettings::NativeFormat;

QSettings store(const QString& app)
{
    return QSettings(g_format, QSettings::UserScope, kOrganisation, app);
}

QString fullKey(const QString& section, const QString& key) { return section + QLatin1Char('/') + key; }

} // namespace

QString GetSetting(const QString& app, const QString& section, const QString& key,
                   const QString& defaultValue)
{
    return store(app).value(fullKey(section, key), defaultValue).toString();
}

void SaveSetting(const QString& app, const QString& section, const QString& key,
                 const QString& value)
{
    QSettings s = store(app);
    s.setValue(fullKey(section, key), value);
    s.sync();
}

bool HasSetting(const QString& app, const QString& section, const QString& key)
{
    return store(app).contains(fullKey(section, key));
}

void useStoreFolder(const QString& folder)
{
    g_format = QSettings::IniFormat;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder);
}

} // namespace vx::settings
