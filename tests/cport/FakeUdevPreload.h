#pragma once

// umockdev shows libudev a device tree of the test's own only when its preload
// library is loaded from the start. A test program calls this first in main():
// without the library it starts itself again with it.

#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

inline void RestartUnderFakeUdev(char** argv) {
    constexpr const char* kPreload = "libumockdev-preload.so.0";
    const char* preload = std::getenv("LD_PRELOAD");
    if (preload && std::strstr(preload, kPreload))
        return;
    std::string value = kPreload;
    if (preload && *preload)
        value += std::string(":") + preload;
    setenv("LD_PRELOAD", value.c_str(), 1);
    // The sanitizers' runtimes then no longer come first; they work regardless.
    std::string asan = std::getenv("ASAN_OPTIONS") ? std::getenv("ASAN_OPTIONS") : "";
    setenv("ASAN_OPTIONS", (asan + (asan.empty() ? "" : ":") + "verify_asan_link_order=0").c_str(),
           1);
    execv("/proc/self/exe", argv);
    // Not restarted: the tests see no fake tree and skip themselves.
}
