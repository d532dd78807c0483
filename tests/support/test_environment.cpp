#include "test_environment.h"

#include "common/globals.h"
#include "common/timing.h"
#include "debugwin/debug_log.h"
#include "serial/command_table.h"
#include "serial/com_port.h"
#include "serial/port_map.h"
#include "settings/settings_store.h"
#include "window_driver.h"

#include <QDir>
#include <QFile>

namespace vx::test {

TestEnvironment::TestEnvironment()
{
    const QString home = home_.path();
    qputenv("HOME", QFile::encodeName(home));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home + QStringLiteral("/.config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home + QStringLiteral("/.local/share")));
    QDir(home).mkpath(QStringLiteral("settings"));
    settings::useStoreFolder(home + QStringLiteral("/settings"));
    portmap::setDeviceLister([] { return QStringList(); });
    ComPort::setAccessCheck(nullptr);
    timing::setScale(1.0);
    resetGlobals();
    InitCommandTable();
    debugLog().clear();
}

TestEnvironment::~TestEnvironment()
{
    cancelModalWatches();
    resetGlobals();
    portmap::setDeviceLister(nullptr);
    ComPort::setAccessCheck(nullptr);
    timing::setScale(1.0);
}

QString writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(content);
    return path;
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace vx::test
