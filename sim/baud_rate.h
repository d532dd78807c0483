#pragma once

#include <QtGlobal>

namespace vx::sim {

// The line rate in baud that the program configured on the terminal behind fd, 0 if unreadable.
// On Linux a pty master reports its slave's settings, so the simulator can ask its own end.
qint32 lineBaudRate(int fd);

} // namespace vx::sim
