#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace vx::portmap {

// The program names serial ports COM1..COM17. Each number stands for one device, kept in the
// settings store (application "Vantorex VVT ECU Software", section "Ports", keys "COM1" ..
// "COM17", values device paths), where the user may change it.
//
// On Windows a number without an entry is the port of that name ("COM3"). On Linux every
// serial device the system reports gets the lowest free number the first time it is seen, and
// keeps it: a USB adapter is remembered by its /dev/serial/by-id name, which stays the same
// when it is unplugged and plugged in again (ttyUSB0 may come back as ttyUSB1). Numbers are
// only ever given to real serial devices, so the port probe never opens anything else.

inline const QString kSection = QStringLiteral("Ports");

// The device of a port number, or empty when none is assigned.
QString devicePath(int comNumber);
void setDevicePath(int comNumber, const QString& device);

// Gives every serial device not yet in the store the lowest free number.
void assignNewDevices();

// Lists the serial devices of this machine by their stable names.
using DeviceLister = std::function<QStringList()>;
void setDeviceLister(DeviceLister lister); // tests: none, or a fixed list
QStringList systemSerialDevices();

} // namespace vx::portmap
