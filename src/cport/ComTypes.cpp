#include "ComTypes.h"

#include <array>

namespace cport {

std::uint32_t BaudRateToBits(TBaudRate rate) {
    static constexpr std::array<std::uint32_t, 16> kBits{0,     110,    300,    600,   1200,  2400,
                                                         4800,  9600,   14400,  19200, 38400, 56000,
                                                         57600, 115200, 128000, 256000};
    const auto index = static_cast<std::size_t>(rate);
    return index < kBits.size() ? kBits[index] : 0;
}

std::optional<TBaudRate> BaudRateFromBits(std::uint32_t bitsPerSecond) {
    for (int rate = br110; rate <= br256000; ++rate)
        if (BaudRateToBits(static_cast<TBaudRate>(rate)) == bitsPerSecond)
            return static_cast<TBaudRate>(rate);
    return std::nullopt;
}

} // namespace cport
