/* Test equipment, loaded into Wine with LD_PRELOAD: a pseudo-terminal has no modem
 * lines and no UART, so the ioctls that Wine's serial driver issues for them fail and
 * its WaitCommEvent gives up (error 50) or ends early and spins. This library answers
 * those ioctls for pseudo-terminal slaves the way an idle real port would: the lines
 * hold what was last set, the transmitter is always empty, the counters stay at zero.
 * Every other descriptor and request goes to the real ioctl. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <linux/serial.h>
#include <stdarg.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

/* Majors of the UNIX98 pseudo-terminal slaves (/dev/pts/N). */
enum { PTS_MAJOR_FIRST = 136, PTS_MAJOR_LAST = 143 };

typedef int (*ioctl_fn)(int, unsigned long, ...);

static int modem_lines = TIOCM_DSR | TIOCM_CTS | TIOCM_CD;
/* What the last TIOCSSERIAL stored: custom rates are set through the divisor. */
static struct serial_struct serial_info = {
    .type = PORT_16550A, .baud_base = 115200, .xmit_fifo_size = 16};

static int is_pty_slave(int fd) {
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode))
        return 0;
    unsigned int major_no = major(st.st_rdev);
    return major_no >= PTS_MAJOR_FIRST && major_no <= PTS_MAJOR_LAST;
}

static int answer(unsigned long request, void* arg, int* result) {
    switch (request) {
    case TIOCMGET:
        *(int*)arg = modem_lines;
        break;
    case TIOCMSET:
        modem_lines = *(const int*)arg;
        break;
    case TIOCMBIS:
        __atomic_fetch_or(&modem_lines, *(const int*)arg, __ATOMIC_RELAXED);
        break;
    case TIOCMBIC:
        __atomic_fetch_and(&modem_lines, ~*(const int*)arg, __ATOMIC_RELAXED);
        break;
    case TIOCGICOUNT:
        memset(arg, 0, sizeof(struct serial_icounter_struct));
        break;
    case TIOCSERGETLSR:
        *(unsigned int*)arg = TIOCSER_TEMT;
        break;
    case TIOCGSERIAL:
        memcpy(arg, &serial_info, sizeof serial_info);
        break;
    case TIOCSSERIAL:
        memcpy(&serial_info, arg, sizeof serial_info);
        break;
    default:
        return 0;
    }
    *result = 0;
    return 1;
}

int ioctl(int fd, unsigned long request, ...) {
    static ioctl_fn real_ioctl;
    if (!real_ioctl)
        real_ioctl = (ioctl_fn)dlsym(RTLD_NEXT, "ioctl");

    va_list ap;
    va_start(ap, request);
    void* arg = va_arg(ap, void*);
    va_end(ap);

    int result;
    if (arg && is_pty_slave(fd) && answer(request, arg, &result))
        return result;
    return real_ioctl(fd, request, arg);
}
