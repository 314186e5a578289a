// Reads the far end's line settings through termios2, which carries any rate.
// A file of its own: the kernel's terminal headers clash with the C library's.

#include "SimTransport.h"

#include <asm/termbits.h>
#include <cerrno>
#include <sys/ioctl.h>
#include <system_error>

namespace lrf::sim {

SimLineState ReadPtyLineState(int fd) {
    struct termios2 tio {};
    if (fd < 0 || ioctl(fd, TCGETS2, &tio) != 0)
        throw std::system_error(fd < 0 ? EBADF : errno, std::generic_category(), "line state");
    SimLineState s;
    s.bitsPerSecond = tio.c_ospeed;
    switch (tio.c_cflag & CSIZE) {
    case CS5:
        s.dataBits = 5;
        break;
    case CS6:
        s.dataBits = 6;
        break;
    case CS7:
        s.dataBits = 7;
        break;
    default:
        s.dataBits = 8;
        break;
    }
    if (tio.c_cflag & PARENB) {
        const bool odd = tio.c_cflag & PARODD;
        if (tio.c_cflag & CMSPAR)
            s.parity = odd ? 'M' : 'S';
        else
            s.parity = odd ? 'O' : 'E';
    }
    s.stopBits = (tio.c_cflag & CSTOPB) ? 2 : 1;
    return s;
}

} // namespace lrf::sim
