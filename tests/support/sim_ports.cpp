#include "sim_ports.h"

#include "serial/port_map.h"
#include "test_environment.h"

#include <QtTest>

namespace vx::test {

QString plugAtPort(sim::Controller& controller, int comNumber, const TestEnvironment& env)
{
    const QString path = env.path(QStringLiteral("com%1").arg(comNumber));
    if (!controller.plug(path)) {
        qWarning("could not plug the simulated controller: %s", qPrintable(controller.link().errorString()));
        return {};
    }
    mapPort(comNumber, path);
    return path;
}

void mapPort(int comNumber, const QString& device) { portmap::setDevicePath(comNumber, device); }

} // namespace vx::test
