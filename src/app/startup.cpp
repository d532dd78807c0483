#include "app/startup.h"

#include "app/demo_mode.h"
#include "app/mainmenu.h"
#include "common/prompts.h"

#include <QApplication>

#include <memory>

namespace vx {

namespace {
const QString kDemoOption = QStringLiteral("--demo");
}

QString commandLineText(const QStringList& arguments)
{
    QStringList rest = arguments;
    rest.removeAll(kDemoOption);
    return rest.join(QLatin1Char(' ')).trimmed();
}

int runProgram(const QStringList& arguments)
{
    std::unique_ptr<DemoMode> demo;
    if (arguments.contains(kDemoOption)) {
        demo = std::make_unique<DemoMode>();
        if (!demo->start()) {
            MsgBox(demo->errorText(), Buttons::Ok, Icon::Critical);
            return 1;
        }
    }

    Mainmenu window;
    QObject::connect(&window, &Mainmenu::ended, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    if (!window.load(commandLineText(arguments)))
        return 0;
    return QApplication::exec();
}

} // namespace vx
