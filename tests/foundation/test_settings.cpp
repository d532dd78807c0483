#include "common/globals.h"
#include "settings/config_settings.h"
#include "settings/settings_store.h"
#include "settings/window_positions.h"
#include "test_environment.h"

#include <QDir>
#include <QWidget>
#include <QtTest>

#include <memory>

using namespace vx;
using namespace vx::settings;

class TestSettings : public QObject
{
    Q_OBJECT
private slots:
    void init() { env = std::make_unique<test::TestEnvironment>(); }
    void cleanup() { env.reset(); }

    void emptyStoreGivesDefaultsSilently();
    void rejectedOptions_data();
    void rejectedOptions();
    void missingInstallDirUsesPerUserFolder();
    void storedInstallDirNamesTheFolders();
    void saveWritesTheOptionsAsText();
    void loadForgetsTheControllerPassword();
    void twipsFollowTheLogicalDpi();
    void windowPositionRoundTrip();
    void resetWindowsWritesDefaults();

private:
    std::unique_ptr<test::TestEnvironment> env;
};

void TestSettings::emptyStoreGivesDefaultsSilently()
{
    LoadConfigSettings();
    QCOMPARE(G.ComPortNumber, 1);
    QCOMPARE(G.CylinderCount, 4);
    QCOMPARE(G.TriggerType, 1);
    QCOMPARE(G.CrankSensorType, 0);
    QCOMPARE(G.DisplayDebug, false);
    QCOMPARE(G.PaddlesSwapped, false);
    QCOMPARE(G.ProgSettingsFromECU, 1);
    QVERIFY2(env->prompts.messages.isEmpty(), qPrintable(env->prompts.texts().join('|')));
}

// Every rejected stored text, numbers out of range and words that are no number or boolean
// alike, gets the option's own message (or none) and its fallback.
void TestSettings::rejectedOptions_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("expected");

    const QString cyl = QStringLiteral("Invalid cylinder configuration, defaulting to 4 cylinders");
    const QString trig = QStringLiteral("Invalid trigger type, defaulting to Vantorex");
    const QString crank = QStringLiteral("Invalid crank sensor type, defaulting to VR type");
    const QString paddles = QStringLiteral("Invalid paddles swapped setting, defaulting to false");
    const QString prog = QStringLiteral("Invalid ProgSettingsFromECU setting, defaulting to false");

    QTest::newRow("cylinders 5") << "CylNo" << "5" << cyl << 4;
    QTest::newRow("cylinders 12 accepted") << "CylNo" << "12" << QString() << 12;
    QTest::newRow("cylinders word") << "CylNo" << "six" << cyl << 4;
    QTest::newRow("trigger 10") << "TriggerType" << "10" << trig << 1;
    QTest::newRow("trigger -1") << "TriggerType" << "-1" << trig << 1;
    QTest::newRow("trigger 9 accepted") << "TriggerType" << "9" << QString() << 9;
    QTest::newRow("trigger word") << "TriggerType" << "x" << trig << 1;
    QTest::newRow("crank 3") << "CrankSensorType" << "3" << crank << 0;
    QTest::newRow("crank 2 accepted") << "CrankSensorType" << "2" << QString() << 2;
    QTest::newRow("paddles word") << "PaddlesSwapped" << "maybe" << paddles << 0;
    QTest::newRow("paddles True accepted") << "PaddlesSwapped" << "True" << QString() << 1;
    QTest::newRow("prog 2") << "ProgSettingsFromECU" << "2" << prog << 0;
    QTest::newRow("prog word") << "ProgSettingsFromECU" << "yes" << prog << 0;
    QTest::newRow("prog 0 accepted") << "ProgSettingsFromECU" << "0" << QString() << 0;
    QTest::newRow("debug word silent") << "DisplayDebug" << "1" << QString() << 0;
    QTest::newRow("debug True accepted") << "DisplayDebug" << "True" << QString() << 1;
    QTest::newRow("port word ignored") << "ComPortNo" << "COM3" << QString() << 1;
    QTest::newRow("port 12") << "ComPortNo" << "12" << QString() << 12;
}

void TestSettings::rejectedOptions()
{
    QFETCH(QString, key);
    QFETCH(QString, stored);
    QFETCH(QString, message);
    QFETCH(int, expected);

    SaveSetting(kAppVvt, kConfig, key, stored);
    LoadConfigSettings();

    const QMap<QString, int> values{
        {"CylNo", G.CylinderCount},          {"TriggerType", G.TriggerType},
        {"CrankSensorType", G.CrankSensorType}, {"PaddlesSwapped", int(G.PaddlesSwapped)},
        {"ProgSettingsFromECU", G.ProgSettingsFromECU}, {"DisplayDebug", int(G.DisplayDebug)},
        {"ComPortNo", G.ComPortNumber},
    };
    QCOMPARE(values.value(key), expected);
    if (message.isEmpty()) {
        QVERIFY2(env->prompts.messages.isEmpty(), qPrintable(env->prompts.texts().join('|')));
    } else {
        QCOMPARE(env->prompts.messages.size(), 1);
        const Message& m = env->prompts.messages.first();
        QCOMPARE(m.text, message);
        QCOMPARE(m.title, QStringLiteral("Vantorex VVT ECU Software"));
        QCOMPARE(m.buttons, Buttons::Ok);
        QCOMPARE(m.icon, Icon::None);
    }
    // The rejected value stays in the store until the options are saved again.
    QCOMPARE(GetSetting(kAppVvt, kConfig, key), stored);
}

void TestSettings::missingInstallDirUsesPerUserFolder()
{
    LoadConfigSettings();
    QVERIFY(!G.ProgramFolder.contains(QLatin1String("%PROGRAMFILES%")));
    QVERIFY(G.ProgramFolder.startsWith(env->home()));
    QVERIFY(G.ProgramFolder.endsWith(QLatin1Char('/')));
    QCOMPARE(G.MapFolder, G.ProgramFolder + "cam/");
    QCOMPARE(G.DebugFolder, G.ProgramFolder);
    QCOMPARE(G.DataLogFolder, G.ProgramFolder);
    QCOMPARE(G.FirmwareFolder, G.ProgramFolder);
    for (const char* sub : {"cam", "debug", "firmware"})
        QVERIFY2(QDir(G.ProgramFolder + sub).exists(), sub);
}

void TestSettings::storedInstallDirNamesTheFolders()
{
    SaveSetting(kAppVvtGcu, kConfig, "InstallDir", env->path("install"));
    LoadConfigSettings();
    QCOMPARE(G.ProgramFolder, env->path("install") + "/");
    QCOMPARE(G.MapFolder, env->path("install") + "/cam/");
}

void TestSettings::saveWritesTheOptionsAsText()
{
    G.ComPortNumber = 7;
    G.CylinderCount = 6;
    G.DisplayDebug = true;
    G.TriggerType = 3;
    G.CrankSensorType = 2;
    G.ProgSettingsFromECU = 0;
    G.PaddlesSwapped = true;
    SaveConfigSettings();
    QCOMPARE(GetSetting(kAppVvt, kConfig, "ComPortNo"), QStringLiteral("7"));
    QCOMPARE(GetSetting(kAppVvt, kConfig, "CylNo"), QStringLiteral("6"));
    QCOMPARE(GetSetting(kAppVvt, kConfig, "DisplayDebug"), QStringLiteral("True"));
    QCOMPARE(GetSetting(kAppVvt, kConfig, "TriggerType"), QStringLiteral("3"));
    QCOMPARE(GetSetting(kAppVvt, kConfig, "CrankSensorType"), QStringLiteral("2"));
    QCOMPARE(GetSetting(kAppVvt, kConfig, "ProgSettingsFromECU"), QStringLiteral("0"));
    QCOMPARE(GetSetting(kAppVvt, kConfig, "PaddlesSwapped"), QStringLiteral("True"));
    QVERIFY(!HasSetting(kAppVvtGcu, kConfig, "InstallDir"));

    resetGlobals();
    LoadConfigSettings();
    QCOMPARE(G.ComPortNumber, 7);
    QCOMPARE(G.CylinderCount, 6);
    QCOMPARE(G.DisplayDebug, true);
    QCOMPARE(G.PaddlesSwapped, true);
}

void TestSettings::loadForgetsTheControllerPassword()
{
    G.ControllerPassword = "secret";
    LoadConfigSettings();
    QVERIFY(G.ControllerPassword.isEmpty());
}

void TestSettings::twipsFollowTheLogicalDpi()
{
    QCOMPARE(twipsToPixels(1440, 96), 96);
    QCOMPARE(twipsToPixels(675, 96), 45);
    QCOMPARE(twipsToPixels(1440, 144), 144);
    QCOMPARE(pixelsToTwips(45, 96), 675);
    QCOMPARE(pixelsToTwips(144, 144), 1440);
}

void TestSettings::windowPositionRoundTrip()
{
    const WindowPlace place{kAppVvt, "Changadv"};
    QWidget window;
    window.move(30, 40);
    SaveWindowPosition(window, place);
    const double dpi = window.screen()->logicalDotsPerInchX();
    QCOMPARE(GetSetting(kAppVvt, kWindows, "ChangadvLeft"), QString::number(pixelsToTwips(30, dpi)));

    QWidget other;
    other.move(5, 5);
    RestoreWindowPosition(other, place);
    QCOMPARE(other.pos(), QPoint(30, 40));

    // Without stored keys the window stays where it is.
    QWidget unknown;
    unknown.move(7, 9);
    RestoreWindowPosition(unknown, WindowPlace{kAppVvt, "Nowhere"});
    QCOMPARE(unknown.pos(), QPoint(7, 9));
}

void TestSettings::resetWindowsWritesDefaults()
{
    ResetWindows();
    const struct
    {
        QString app;
        const char* name;
        const char* left;
        const char* top;
    } expected[] = {
        {kAppVvt, "Mainmenu", "675", "645"},     {kAppVvt, "Changadv", "300", "240"},
        {kAppVvt, "Setup", "870", "180"},        {kAppVvt, "ThrottleSetup", "3435", "1125"},
        {kAppVvt, "SaveDlog", "1785", "2295"},   {kAppVvt, "LiveData", "16155", "105"},
        {kAppVvt, "WarmWin", "30", "1110"},
    };
    for (const auto& e : expected) {
        QCOMPARE(GetSetting(e.app, kWindows, QString(e.name) + "Left"), QString(e.left));
        QCOMPARE(GetSetting(e.app, kWindows, QString(e.name) + "Top"), QString(e.top));
    }
    // The data-logger window reads its position elsewhere, so the reset does not move it.
    QVERIFY(!HasSetting(kAppHs, kWindows, "SaveDlogLeft"));
}

QTEST_MAIN(TestSettings)
#include "test_settings.moc"
