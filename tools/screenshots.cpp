// Renders the README's pictures: the main window, the setup dialog after a search has found a
// simulated engine controller, and both workspaces running against simulated controllers:
//   QT_QPA_PLATFORM=offscreen build/tools/vantorex-screenshots docs
#include "app/mainmenu.h"
#include "common/globals.h"
#include "common/prompts.h"
#include "serial/port_map.h"
#include "settings/settings_store.h"
#include "setupdlg/setup_dialog.h"
#include "gearbox/gearbox_control.h"
#include "sim/gearbox_controller.h"
#include "sim/vvt_controller.h"
#include "vvt/changadv.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QTemporaryDir>

namespace {

// Answers every box with its default button: the pictures need no user.
class SilentPrompts final : public vx::Prompts
{
public:
    vx::Answer message(const vx::Message& m) override { return m.defaultButton.value_or(vx::Answer::Ok); }
    std::optional<QString> openFile(const vx::FileRequest&) override { return std::nullopt; }
    std::optional<QString> saveFile(const vx::FileRequest&) override { return std::nullopt; }
    void beep() override {}
};

// The offscreen platform draws no window frame: a plain title bar above the window's contents
// shows its caption.
bool save(QWidget& window, const QString& path)
{
    window.show();
    QApplication::processEvents();
    const QPixmap content = window.grab();
    const int bar = 28;
    QPixmap picture(content.width(), content.height() + bar);
    picture.fill(QColor(60, 64, 72));
    QPainter painter(&picture);
    painter.setPen(Qt::white);
    QFont font = painter.font();
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(QRect(10, 0, content.width() - 20, bar), Qt::AlignVCenter | Qt::AlignLeft,
                     window.windowTitle());
    painter.drawPixmap(0, bar, content);
    painter.end();
    return picture.save(path);
}

// Lets the workspace connect and show a few rounds of live data.
bool waitUntilRunning(QWidget& workspace, int settleMs)
{
    QElapsedTimer waited;
    waited.start();
    const auto status = [&] { return workspace.findChild<QLabel*>(QStringLiteral("Status"))->text(); };
    while (waited.elapsed() < 10000 && (status() != QStringLiteral("Running") || waited.elapsed() < settleMs))
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return status() == QStringLiteral("Running");
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(out);

    QTemporaryDir home;
    vx::settings::useStoreFolder(home.filePath(QStringLiteral("settings")));
    vx::settings::SaveSetting(vx::settings::kAppVvtGcu, vx::settings::kConfig, QStringLiteral("InstallDir"),
                              home.path());
    vx::portmap::setDeviceLister([] { return QStringList(); });
    SilentPrompts prompts;
    vx::installPrompts(&prompts);

    vx::sim::VvtController ecu;
    const QString link = home.filePath(QStringLiteral("ecu"));
    if (!ecu.plug(link))
        return 1;
    vx::portmap::setDevicePath(1, link);

    vx::Mainmenu window;
    window.load(QString());
    vx::G.BufferCaption = QStringLiteral("Track Day");
    window.mapCaptionChanged();
    bool ok = save(window, QDir(out).filePath(QStringLiteral("main-window.png")));

    vx::Setup setup(&window);
    setup.load();
    setup.show();
    setup.FindECU_Click();
    ok = save(setup, QDir(out).filePath(QStringLiteral("setup-dialog.png"))) && ok;
    setup.close();

    // The VVT workspace running against the controller, its engine held at a part-load point.
    ecu.loadDemoMap();
    ecu.engine().hold(4200, 40);
    vx::G.BufferCaption = QStringLiteral("Empty");
    window.EditMap_Click();
    vx::Changadv* vvt = window.vvtWorkspace();
    ok = waitUntilRunning(*vvt, 2500) && save(*vvt, QDir(out).filePath(QStringLiteral("vvt-workspace.png"))) && ok;
    vvt->close();

    // The gearbox workspace on COM2, with the gearbox in third at part throttle.
    vx::sim::GearboxController gcu;
    gcu.live().setValue("gn", 3);
    gcu.live().setValue("bs", 0x78);
    gcu.live().setValue("th", 38);
    gcu.live().setEngineSpeed(5400);
    const QString gearboxLink = home.filePath(QStringLiteral("gcu"));
    if (!gcu.plug(gearboxLink))
        return 1;
    vx::portmap::setDevicePath(2, gearboxLink);
    vx::G.ComPortNumber = 2;
    window.GearBoxConfig_Click();
    vx::GearboxControl* gearbox = window.gearboxWorkspace();
    ok = waitUntilRunning(*gearbox, 1500) &&
         save(*gearbox, QDir(out).filePath(QStringLiteral("gearbox-workspace.png"))) && ok;
    return ok ? 0 : 1;
}
