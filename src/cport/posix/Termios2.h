#pragma once

// Arbitrary line rates through the kernel's termios2 interface. Kept in a file of
// its own because the kernel's terminal headers clash with the C library's.

#include <cstdint>

namespace cport::posix {

// Sets input and output speed of `fd` to `bitsPerSecond` exactly (BOTHER), leaving
// the other terminal settings as they are. Returns 0 or errno.
int SetExactSpeed(int fd, std::uint32_t bitsPerSecond);

// Reads back the output speed the driver actually runs. Returns 0 or errno.
int GetActualSpeed(int fd, std::uint32_t& bitsPerSecond);

} // namespace cport::posix
