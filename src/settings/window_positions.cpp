#include "settings/window_positions.h"

#include "settings/config_settings.h"
#include "settings/settings_store.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <cmath>

namespace vx {

namespace {

constexpr double kTwipsPerInch = 1440.0;

double logicalDpiOf(const QWidget& window)
{
    const QScreen* screen = window.screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInchX() : 96.0;
}

bool onSomeScreen(const QPoint& topLeft)
{
    const auto screens = QGuiApplication::screens();
    for (const QScreen* screen : screens) {
        if (screen->availableVirtualGeometry().contains(topLeft))
            return true;
    }
    return screens.isEmpty();
}

struct DefaultPlace
{
    const QString& app;
    const char* name;
    int left;
    int top;
};

} // namespace

int twipsToPixels(int twips, double logicalDpi)
{
    return static_cast<int>(std::lround(twips * logicalDpi / kTwipsPerInch));
}

int pixelsToTwips(int pixels, double logicalDpi)
{
    return static_cast<int>(std::lround(pixels * kTwipsPerInch / logicalDpi));
}

void RestoreWindowPosition(QWidget& window, const WindowPlace& place)
{
    using namespace settings;
    const double dpi = logicalDpiOf(window);
    const QPoint current = window.pos();
    const auto read = [&](const char* suffix, int currentPixels) {
        const QString key = place.name + QLatin1String(suffix);
        const QString stored = GetSetting(place.app, kWindows, key);
        const std::optional<int> twips = config::parseInteger(stored);
        return twips ? twipsToPixels(*twips, dpi) : currentPixels;
    };
    const QPoint wanted(read("Left", current.x()), read("Top", current.y()));
    if (wanted != current && onSomeScreen(wanted))
        window.move(wanted);
}

void SaveWindowPosition(const QWidget& window, const WindowPlace& place)
{
    using namespace settings;
    const double dpi = logicalDpiOf(window);
    SaveSetting(place.app, kWindows, place.name + QLatin1String("Left"),
                QString::number(pixelsToTwips(window.pos().x(), dpi)));
    SaveSetting(place.app, kWindows, place.name + QLatin1String("Top"),
                QString::number(pixelsToTwips(window.pos().y(), dpi)));
}

void ResetWindows()
{
    using namespace settings;
    // The data-logger window reads its position under another application name, so this reset
    // does not move it; the keys are kept where earlier versions of the program wrote them.
    const DefaultPlace defaults[] = {
        {kAppVvt, "Mainmenu", 675, 645},       {kAppVvt, "Changadv", 300, 240},
        {kAppVvt, "Setup", 870, 180},          {kAppVvt, "ThrottleSetup", 3435, 1125},
        {kAppVvt, "SaveDlog", 1785, 2295},     {kAppVvt, "LiveData", 16155, 105},
        {kAppVvt, "WarmWin", 30, 1110},
    };
    for (const DefaultPlace& d : defaults) {
        const QString name = QString::fromLatin1(d.name);
        SaveSetting(d.app, kWindows, name + QLatin1String("Left"), QString::number(d.left));
        SaveSetting(d.app, kWindows, name + QLatin1String("Top"), QString::number(d.top));
    }
}

namespace places {
using namespace settings;
WindowPlace mainmenu() { return {kAppVvt, QStringLiteral("Mainmenu")}; }
WindowPlace changadv() { return {kAppVvt, QStringLiteral("Changadv")}; }
WindowPlace setup() { return {kAppVvt, QStringLiteral("Setup")}; }
WindowPlace throttleSetup() { return {kAppVvt, QStringLiteral("ThrottleSetup")}; }
WindowPlace ecuSecurity() { return {kAppVvt, QStringLiteral("ECUSecurity")}; }
WindowPlace tempCal() { return {kAppVvtGcu, QStringLiteral("TempCal")}; }
WindowPlace saveDlog() { return {kAppHs, QStringLiteral("SaveDlog")}; }
} // namespace places

} // namespace vx
