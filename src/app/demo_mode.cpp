#include "app/demo_mode.h"

#include "common/timing.h"
#include "serial/port_map.h"
#include "settings/config_settings.h"
#include "settings/settings_store.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace vx {

namespace {

// The simulated controllers take a firmware update too: a firmware folder without any file gets
// the program's own sample, so the update can be tried at once.
void provideSampleFirmware()
{
    QString installDir =
        settings::GetSetting(settings::kAppVvtGcu, settings::kConfig, QStringLiteral("InstallDir"));
    if (installDir.trimmed().isEmpty())
        installDir = defaultProgramFolder();
    const QDir folder(QDir(installDir).filePath(QStringLiteral("firmware")));
    if (!folder.mkpath(QStringLiteral(".")) ||
        !folder.entryList({QStringLiteral("*.hex")}, QDir::Files).isEmpty())
        return;
    const QString copy = folder.filePath(QStringLiteral("vantorex-sample.hex"));
    if (QFile::copy(QStringLiteral(":/demo/vantorex-sample.hex"), copy))
        QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                        QFile::ReadOther);
}

} // namespace

DemoMode::DemoMode() = default;

DemoMode::~DemoMode()
{
    if (simulator_.state() != QProcess::NotRunning) {
        simulator_.terminate();
        if (!simulator_.waitForFinished(2000))
            simulator_.kill();
    }
    if (!linkFolder_.isEmpty())
        QDir(linkFolder_).removeRecursively();
}

bool DemoMode::start()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QString store = QDir(data).filePath(QStringLiteral("Vantorex/demo"));
    QDir().mkpath(store);
    settings::useStoreFolder(store);
    provideSampleFirmware();

    linkFolder_ = QDir::temp().filePath(
        QStringLiteral("vantorex-demo-%1").arg(QCoreApplication::applicationPid()));
    QDir().mkpath(linkFolder_);
    const QString engine = QDir(linkFolder_).filePath(QStringLiteral("ecu"));
    const QString gearbox = QDir(linkFolder_).filePath(QStringLiteral("gcu"));

    const QString program =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("vantorex-sim"));
    simulator_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    simulator_.start(program, {QStringLiteral("--ecu"), engine, QStringLiteral("--gcu"), gearbox});
    if (!simulator_.waitForStarted(timing::kSimulatorStartMs)) {
        error_ = QStringLiteral("The simulated controllers could not be started (%1): %2")
                     .arg(program, simulator_.errorString());
        return false;
    }
    // The simulator reports each link once it is ready.
    int ready = 0;
    const QDeadlineTimer deadline(timing::kSimulatorStartMs);
    while (ready < 2 && !deadline.hasExpired()) {
        if (!simulator_.canReadLine() && !simulator_.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
            break;
        while (simulator_.canReadLine()) {
            const QString line = QString::fromLocal8Bit(simulator_.readLine());
            if (line.startsWith(QLatin1String("ECU on ")) || line.startsWith(QLatin1String("GCU on ")))
                ++ready;
        }
    }
    if (ready < 2) {
        error_ = QStringLiteral("The simulated controllers did not start in time (%1)").arg(program);
        return false;
    }
    portmap::setDevicePath(kEnginePort, engine);
    portmap::setDevicePath(kGearboxPort, gearbox);
    return true;
}

} // namespace vx
