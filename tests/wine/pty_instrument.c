/* Test equipment: a rangefinder on a pseudo-terminal, for the Windows programs that run
 * under Wine. It creates a pseudo-terminal, points a symbolic link at its slave (the
 * link is what a COM port name of the Wine prefix leads to), prints "ready" and then
 * answers: 0x0F with a distance frame, 0x0D with a speed frame; any other byte is
 * echoed back so that bulk transfers can be checked. It ends on SIGTERM or when its
 * standard input closes. */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <termios.h>
#include <unistd.h>

static const unsigned char distance_frame[8] = {0xDA, 0x00, 0x23, 0x02, 0xB1, 0x45, 0x00, 0xEE};
static const unsigned char speed_frame[8] = {0xDA, 0x00, 0x12, 0x05, 0x4B, 0x00, 0x00, 0xEE};

static volatile sig_atomic_t stop;

static void on_term(int sig) {
    (void)sig;
    stop = 1;
}

static int write_all(int fd, const unsigned char* p, size_t n) {
    while (n > 0) {
        ssize_t w = write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            return -1;
        }
        p += w;
        n -= (size_t)w;
    }
    return 0;
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s LINK\n", argv[0]);
        return 2;
    }
    const char* link_path = argv[1];

    int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        perror("pty_instrument: posix_openpt");
        return 1;
    }
    const char* slave_name = ptsname(master);
    /* Holding the slave open keeps the master readable while the program under test
     * closes and reopens the port. */
    int slave = open(slave_name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    struct termios tio;
    if (slave < 0 || tcgetattr(slave, &tio) != 0) {
        perror("pty_instrument: slave");
        return 1;
    }
    cfmakeraw(&tio);
    tcsetattr(slave, TCSANOW, &tio);

    char tmp[4096];
    snprintf(tmp, sizeof tmp, "%s.tmp%d", link_path, (int)getpid());
    unlink(tmp);
    if (symlink(slave_name, tmp) != 0 || rename(tmp, link_path) != 0) {
        perror("pty_instrument: link");
        return 1;
    }

    struct sigaction sa;
    memset(&sa, 0, sizeof sa);
    sa.sa_handler = on_term;
    sigaction(SIGTERM, &sa, NULL);
    sigaction(SIGINT, &sa, NULL);

    printf("ready %s\n", slave_name);
    fflush(stdout);

    struct pollfd fds[2] = {{master, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
    while (!stop) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[1].revents & (POLLIN | POLLHUP)) {
            char c;
            if (read(STDIN_FILENO, &c, 1) <= 0)
                break;
        }
        if (!(fds[0].revents & POLLIN))
            continue;
        unsigned char buf[4096];
        ssize_t n = read(master, buf, sizeof buf);
        if (n <= 0)
            continue;
        for (ssize_t i = 0; i < n; ++i) {
            int rc;
            if (buf[i] == 0x0F)
                rc = write_all(master, distance_frame, sizeof distance_frame);
            else if (buf[i] == 0x0D)
                rc = write_all(master, speed_frame, sizeof speed_frame);
            else
                rc = write_all(master, &buf[i], 1);
            if (rc != 0)
                break;
        }
    }
    /* A later instrument may own the link by now. */
    char target[4096];
    ssize_t len = readlink(link_path, target, sizeof target - 1);
    if (len > 0) {
        target[len] = '\0';
        if (strcmp(target, slave_name) == 0)
            unlink(link_path);
    }
    return 0;
}
