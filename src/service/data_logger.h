#pragma once

class QWidget;

namespace vx {

// The data logger download dialog, shown modally, on the gearbox workspace's link.
void showDataLogger(QWidget* parent);

} // namespace vx
