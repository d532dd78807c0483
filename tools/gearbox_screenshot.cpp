// Renders the gearbox workspace running against a simulated gearbox controller into a PNG file
// for the README:
//   QT_QPA_PLATFORM=offscreen build/tools/vantorex-gearbox-screenshot docs
#include "app/shell.h"
#include "common/globals.h"
#include "common/prompts.h"
#include "gearbox/gearbox_control.h"
#include "serial/command_table.h"
#include "serial/port_map.h"
#include "settings/settings_store.h"
#include "sim/gearbox_controller.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QTemporaryDir>

namespace {

// Answers every box with its default button: the picture needs no user.
class SilentPrompts final : public vx::Prompts
{
public:
    vx::Answer message(const vx::Message& m) override
    {
        return m.defaultButton.value_or(vx::Answer::Ok);
    }
    std::optional<QString> openFile(const vx::FileRequest&) override { return std::nullopt; }
    std::optional<QString> saveFile(const vx::FileRequest&) override { return std::nullopt; }
    void beep() override {}
};

class NoShell final : public vx::Shell
{
public:
    void showMainWindow() override {}
    void mapCaptionChanged() override {}
    void disableMapFunctions() override {}
    void disableGearboxButton() override {}
};

// The offscreen platform draws no window frame: a plain title bar above the window's contents
// shows its caption.
bool save(QWidget& window, const QString& path)
{
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

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(out);

    QTemporaryDir home;
    vx::settings::useStoreFolder(home.filePath(QStringLiteral("settings")));
    vx::portmap::setDeviceLister([] { return QStringList(); });
    SilentPrompts prompts;
    vx::installPrompts(&prompts);
    vx::InitCommandTable();

    vx::sim::GearboxController gcu;
    gcu.live().setValue("gn", 3);
    gcu.live().setValue("bs", 0x78);
    gcu.live().setValue("th", 38);
    gcu.live().setEngineSpeed(5400);
    const QString link = home.filePath(QStringLiteral("gcu"));
    if (!gcu.plug(link))
        return 1;
    vx::portmap::setDevicePath(2, link);
    vx::G.ComPortNumber = 2;

    NoShell shell;
    auto* workspace = new vx::GearboxControl(shell);
    workspace->show();
    QElapsedTimer waited;
    waited.start();
    const auto status = [&] {
        return workspace->findChild<QLabel*>(QStringLiteral("Status"))->text();
    };
    while (waited.elapsed() < 10000 &&
           (status() != QStringLiteral("Running") || waited.elapsed() < 1500))
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    const bool ok = status() == QStringLiteral("Running") &&
                    save(*workspace, QDir(out).filePath(QStringLiteral("gearbox-workspace.png")));
    delete workspace;
    return ok ? 0 : 1;
}
