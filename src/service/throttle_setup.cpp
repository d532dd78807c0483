#include "service/throttle_setup.h"

namespace vx {

void showThrottleSetup(QWidget*, const QString&) {}

} // namespace vx
