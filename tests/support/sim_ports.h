#pragma once

#include "sim/controller.h"

#include <QString>

namespace vx::test {

class TestEnvironment;

// Plugs a simulated controller in behind a path of the test's own folder and points a COM
// number at it. Returns the path (empty, with a test failure message, when the pty failed).
QString plugAtPort(sim::Controller& controller, int comNumber, const TestEnvironment& env);

// Points a COM number at a device path, as the user would in the settings store.
void mapPort(int comNumber, const QString& device);

} // namespace vx::test
