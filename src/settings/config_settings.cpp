#include "settings/config_settings.h"

#include "common/globals.h"
#include "common/prompts.h"
#include "settings/settings_store.h"

#include <QDir>
#include <QStandardPaths>

#include <cmath>

namespace vx {

namespace config {

std::optional<int> parseInteger(const QString& text)
{
    const QString t = text.trimmed();
    bool ok = false;
    const int whole = t.toInt(&ok);
    if (ok)
        return whole;
    const double number = t.toDouble(&ok);
    if (ok && std::isfinite(number) && std::abs(number) < 2147483647.0)
        return static_cast<int>(std::lround(number));
    return std::nullopt;
}

std::optional<bool> parseBoolean(const QString& text)
{
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    return std::nullopt;
}

QString booleanText(bool value) { return value ? QStringLiteral("True") : QStringLiteral("False"); }

} // namespace config

namespace {

using namespace settings;

QString option(const QString& key, const QString& defaultValue)
{
    return GetSetting(kAppVvt, kConfig, key, defaultValue);
}

// An integer option; anything outside the accepted values (a text that is not a number
// included) gets the option's message and its fallback.
int integerOption(const QString& key, int defaultValue, bool (*accepted)(int),
                  const QString& rejectedMessage, int fallback)
{
    const std::optional<int> value =
        config::parseInteger(option(key, QString::number(defaultValue)));
    if (value && accepted(*value))
        return *value;
    if (!rejectedMessage.isEmpty())
        MsgBox(rejectedMessage);
    return fallback;
}

bool booleanOption(const QString& key, const QString& rejectedMessage)
{
    const std::optional<bool> value =
        config::parseBoolean(option(key, config::booleanText(false)));
    if (value)
        return *value;
    if (!rejectedMessage.isEmpty())
        MsgBox(rejectedMessage);
    return false;
}

QString withSeparator(const QString& folder)
{
    QString f = QDir::fromNativeSeparators(folder);
    if (!f.endsWith(QLatin1Char('/')))
        f += QLatin1Char('/');
    return f;
}

} // namespace

QString defaultProgramFolder()
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QDir(base.isEmpty() ? QDir::homePath() : base).filePath(QStringLiteral("Vantorex"));
}

void LoadConfigSettings()
{
    G.CylinderCount = 4;

    QString installDir = GetSetting(kAppVvtGcu, kConfig, QStringLiteral("InstallDir"));
    if (installDir.trimmed().isEmpty())
        installDir = defaultProgramFolder();
    G.ProgramFolder = withSeparator(installDir);
    // The folders the file dialogs start in; where the folder is read-only this changes nothing.
    for (const char* sub : {"cam", "debug", "firmware"})
        QDir(G.ProgramFolder).mkpath(QString::fromLatin1(sub));
    G.MapFolder = G.ProgramFolder + QStringLiteral("cam/");
    G.DataLogFolder = G.ProgramFolder;
    G.DebugFolder = G.ProgramFolder;
    G.FirmwareFolder = G.ProgramFolder;

    G.ComPortNumber = config::parseInteger(option(QStringLiteral("ComPortNo"), QStringLiteral("1"))).value_or(1);

    G.CylinderCount = integerOption(
        QStringLiteral("CylNo"), 4, [](int v) { return v == 4 || v == 6 || v == 8 || v == 12; },
        QStringLiteral("Invalid cylinder configuration, defaulting to 4 cylinders"), 4);
    G.DisplayDebug = booleanOption(QStringLiteral("DisplayDebug"), QString());
    G.TriggerType = integerOption(QStringLiteral("TriggerType"), 1,
                                  [](int v) { return v >= 0 && v <= 9; },
                                  QStringLiteral("Invalid trigger type, defaulting to Vantorex"), 1);
    G.CrankSensorType = integerOption(
        QStringLiteral("CrankSensorType"), 0, [](int v) { return v >= 0 && v <= 2; },
        QStringLiteral("Invalid crank sensor type, defaulting to VR type"), 0);
    G.PaddlesSwapped = booleanOption(
        QStringLiteral("PaddlesSwapped"),
        QStringLiteral("Invalid paddles swapped setting, defaulting to false"));
    G.ProgSettingsFromECU = integerOption(
        QStringLiteral("ProgSettingsFromECU"), 1, [](int v) { return v == 0 || v == 1; },
        QStringLiteral("Invalid ProgSettingsFromECU setting, defaulting to false"), 0);

    G.ControllerPassword.clear();
}

void SaveConfigSettings()
{
    const auto save = [](const QString& key, const QString& value) {
        SaveSetting(kAppVvt, kConfig, key, value);
    };
    save(QStringLiteral("ComPortNo"), QString::number(G.ComPortNumber));
    save(QStringLiteral("CylNo"), QString::number(G.CylinderCount));
    save(QStringLiteral("DisplayDebug"), config::booleanText(G.DisplayDebug));
    save(QStringLiteral("TriggerType"), QString::number(G.TriggerType));
    save(QStringLiteral("CrankSensorType"), QString::number(G.CrankSensorType));
    save(QStringLiteral("ProgSettingsFromECU"), QString::number(G.ProgSettingsFromECU));
    save(QStringLiteral("PaddlesSwapped"), config::booleanText(G.PaddlesSwapped));
}

} // namespace vx
