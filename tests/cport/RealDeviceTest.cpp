// Checks that need a real serial adapter. Name it in LRF_TEST_SERIAL_PORT
// (e.g. /dev/ttyUSB0) to run them; without it they are skipped.

#include "CPort.h"
#include "LinkInfo.h"
#include "PortNames.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace cport {
namespace {

const char* RealPort() {
    const char* name = std::getenv("LRF_TEST_SERIAL_PORT");
    return name && *name ? name : nullptr;
}

TEST(RealDevice, EveryRateRunsOrIsRefusedWithCodeSeven) {
    const char* name = RealPort();
    if (!name)
        GTEST_SKIP() << "set LRF_TEST_SERIAL_PORT to a real serial device";
    for (int r = br110; r <= br256000; ++r) {
        TComPort port;
        port.SetPort(name);
        port.SetBaudRate(static_cast<TBaudRate>(r));
        try {
            port.SetConnected(true);
            EXPECT_TRUE(port.Connected());
        } catch (const EComPort& e) {
            // A rate the adapter cannot run within 2 % is refused, never faked.
            EXPECT_EQ(e.PortErrorCode(), 7) << r << ": " << e.what();
            EXPECT_FALSE(port.Connected());
        }
    }
}

// An adapter whose driver has the low-latency mode has it on once the port is
// open; for that chip family the driver's latency timer then reads 1 ms.
TEST(RealDevice, OpensInLowLatencyMode) {
    const char* name = RealPort();
    if (!name)
        GTEST_SKIP() << "set LRF_TEST_SERIAL_PORT to a real serial device";
    TComPort port;
    port.SetPort(name);
    port.SetConnected(true);
    const int probe = ::open(name, O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    serial_struct serial{};
    if (probe < 0 || ::ioctl(probe, TIOCGSERIAL, &serial) != 0) {
        if (probe >= 0)
            ::close(probe);
        GTEST_SKIP() << "the driver has no serial settings to read";
    }
    ::close(probe);
    EXPECT_TRUE(serial.flags & ASYNC_LOW_LATENCY);
    const LinkInfo link = ReadLinkInfo(name);
    if (link.LatencyTimer) {
        EXPECT_EQ(*link.LatencyTimer, std::chrono::milliseconds(1)) << LinkText(link);
    }
}

TEST(RealDevice, ListedAmongTheMachinesPorts) {
    const char* name = RealPort();
    if (!name)
        GTEST_SKIP() << "set LRF_TEST_SERIAL_PORT to a real serial device";
    std::vector<std::string> names;
    GetSerialPortNames(names);
    EXPECT_NE(std::find(names.begin(), names.end(), std::string(name)), names.end());
}

} // namespace
} // namespace cport
