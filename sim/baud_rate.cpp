#include "sim/baud_rate.h"

// termios2 carries the rate as a plain number, which saves mapping B* constants back to baud.
// Its header clashes with <termios.h>, so this file is the only one that includes it.
#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace vx::sim {

qint32 lineBaudRate(int fd)
{
    struct termios2 settings
    {};
    if (::ioctl(fd, TCGETS2, &settings) != 0)
        return 0;
    return static_cast<qint32>(settings.c_ospeed);
}

} // namespace vx::sim
