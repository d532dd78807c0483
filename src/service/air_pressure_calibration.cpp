#include "service/air_pressure_calibration.h"

namespace vx {

void showAirPressureCalibration(QWidget*) {}

} // namespace vx
