#pragma once

class QWidget;

namespace vx {

class ComPort;

// Replaces a controller's firmware through its bootloader, on the setup dialog's port.
void showFirmwareUpdate(QWidget* parent, ComPort& port);

} // namespace vx
