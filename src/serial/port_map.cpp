#include "serial/port_map.h"

#include "common/globals.h"
#include "settings/settings_store.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <algorithm>

namespace vx::portmap {

namespace {

QString key(int comNumber) { return QStringLiteral("COM%1").arg(comNumber); }

DeviceLister& lister()
{
    static DeviceLister instance = systemSerialDevices;
    return instance;
}

// Adapters under their by-id names where the system has one, then the other serial ports.
QStringList linuxSerialDevices()
{
    QStringList stable;
    QStringList others;
    const QDir byId(QStringLiteral("/dev/serial/by-id"));
    const QFileInfoList links = byId.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& port : ports) {
        const QString location = QFileInfo(port.systemLocation()).canonicalFilePath();
        const auto link = std::find_if(links.begin(), links.end(), [&](const QFileInfo& l) {
            return l.canonicalFilePath() == location;
        });
        if (link != links.end())
            stable << link->absoluteFilePath();
        else
            others << port.systemLocation();
    }
    stable.sort();
    others.sort();
    return stable + others;
}

} // namespace

QStringList systemSerialDevices()
{
#ifdef Q_OS_WIN
    return {};
#else
    return linuxSerialDevices();
#endif
}

void setDeviceLister(DeviceLister newLister) { lister() = newLister ? std::move(newLister) : systemSerialDevices; }

QString devicePath(int comNumber)
{
    if (comNumber < 1 || comNumber > kPortCount)
        return {};
    const QString stored =
        settings::GetSetting(settings::kAppVvt, kSection, key(comNumber)).trimmed();
    if (!stored.isEmpty())
        return stored;
#ifdef Q_OS_WIN
    return key(comNumber);
#else
    return {};
#endif
}

void setDevicePath(int comNumber, const QString& device)
{
    settings::SaveSetting(settings::kAppVvt, kSection, key(comNumber), device);
}

void assignNewDevices()
{
    QStringList known;
    for (int n = 1; n <= kPortCount; ++n)
        known << settings::GetSetting(settings::kAppVvt, kSection, key(n)).trimmed();
    for (const QString& device : lister()()) {
        if (known.contains(device))
            continue;
        const auto freeSlot = std::find(known.begin(), known.end(), QString());
        if (freeSlot == known.end())
            return;
        *freeSlot = device;
        setDevicePath(static_cast<int>(freeSlot - known.begin()) + 1, device);
    }
}

} // namespace vx::portmap
