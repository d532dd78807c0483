#include "service/firmware_update.h"

namespace vx {

void showFirmwareUpdate(QWidget*, ComPort&) {}

} // namespace vx
