#include "sim/gearbox_controller.h"
#include "sim/shutdown_watcher.h"
#include "sim/vvt_controller.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <memory>

namespace {

using vx::sim::Controller;

bool announce(const char* kind, Controller& controller, const QString& path)
{
    if (!controller.plug(path)) {
        std::fprintf(stderr, "vantorex-sim: %s: %s\n", kind,
                     qPrintable(controller.link().errorString()));
        return false;
    }
    std::printf("%s on %s -> %s\n", kind, qPrintable(path),
                qPrintable(controller.link().slavePath()));
    std::fflush(stdout);
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vantorex-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Simulated Vantorex controllers, each behind a pseudo-terminal that the program opens "
        "like a serial adapter."));
    parser.addHelpOption();
    const QCommandLineOption ecu(QStringLiteral("ecu"),
                                 QStringLiteral("Serve a VVT engine controller behind <path>."),
                                 QStringLiteral("path"));
    const QCommandLineOption gcu(QStringLiteral("gcu"),
                                 QStringLiteral("Serve a gearbox controller behind <path>."),
                                 QStringLiteral("path"));
    const QCommandLineOption ecuVersion(
        QStringLiteral("ecu-version"), QStringLiteral("Version text of the engine controller."),
        QStringLiteral("text"), vx::sim::VvtController::kDefaultVersion);
    const QCommandLineOption gcuVersion(
        QStringLiteral("gcu-version"), QStringLiteral("Version text of the gearbox controller."),
        QStringLiteral("text"), vx::sim::GearboxController::kDefaultVersion);
    const QCommandLineOption ecuPassword(QStringLiteral("ecu-password"),
                                         QStringLiteral("Lock the engine controller with <text>."),
                                         QStringLiteral("text"));
    const QCommandLineOption ignoreStdin(
        QStringLiteral("ignore-stdin"),
        QStringLiteral("Keep running when standard input ends (stop with SIGTERM or SIGINT)."));
    parser.addOptions({ecu, gcu, ecuVersion, gcuVersion, ecuPassword, ignoreStdin});
    parser.process(app);

    if (!parser.isSet(ecu) && !parser.isSet(gcu)) {
        std::fprintf(stderr, "vantorex-sim: nothing to simulate; give --ecu and/or --gcu\n");
        return 2;
    }

    vx::sim::ShutdownWatcher watcher(!parser.isSet(ignoreStdin));
    QObject::connect(&watcher, &vx::sim::ShutdownWatcher::shutdownRequested, &app,
                     &QCoreApplication::quit);

    std::unique_ptr<vx::sim::VvtController> engine;
    std::unique_ptr<vx::sim::GearboxController> gearbox;
    if (parser.isSet(ecu)) {
        engine = std::make_unique<vx::sim::VvtController>();
        engine->setVersion(parser.value(ecuVersion).toLatin1());
        engine->setPassword(parser.value(ecuPassword).toLatin1());
        engine->loadDemoMap();
        engine->engine().setMoving(true);
        if (!announce("ECU", *engine, parser.value(ecu)))
            return 1;
    }
    if (parser.isSet(gcu)) {
        gearbox = std::make_unique<vx::sim::GearboxController>();
        gearbox->setVersion(parser.value(gcuVersion).toLatin1());
        gearbox->live().setMotion(true);
        if (!announce("GCU", *gearbox, parser.value(gcu)))
            return 1;
    }
    return QCoreApplication::exec();
}
