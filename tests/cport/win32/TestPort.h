#pragma once

// The serial port the test launcher provides: a COM port with the pseudo-terminal
// instrument behind it, which answers 0x0F with a distance frame, 0x0D with a speed
// frame and echoes every other byte.

#include "win32/Win32Backend.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace cport::testing {

inline std::string TestPortName() {
    const char* name = std::getenv("LRF_TEST_PORT");
    return name ? name : "";
}

// Wine keeps a few serial behaviours of its own (see the tests that ask).
inline bool RunningUnderWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

inline const std::string kDistanceFrame{"\xDA\x00\x23\x02\xB1\x45\x00\xEE", 8};
inline const std::string kSpeedFrame{"\xDA\x00\x12\x05\x4B\x00\x00\xEE", 8};

} // namespace cport::testing

#define REQUIRE_TEST_PORT()                                                                        \
    do {                                                                                           \
        if (cport::testing::TestPortName().empty())                                                \
            GTEST_SKIP() << "no instrument port (run through tests/wine/wine-run.sh)";             \
    } while (0)
