#pragma once

class QWidget;

namespace vx {

// The "Calibrate Sensors" dialog, shown without waiting, on the gearbox workspace's link.
void showAirPressureCalibration(QWidget* parent);

} // namespace vx
