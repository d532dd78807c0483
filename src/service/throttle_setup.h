#pragma once

#include <QString>

class QWidget;

namespace vx {

// The "Throttle Setup" dialog, shown modally for the workspace named hostName ("Changadv" or
// "GearboxControl"), whose link it uses.
void showThrottleSetup(QWidget* parent, const QString& hostName);

} // namespace vx
