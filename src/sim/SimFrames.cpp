#include "SimFrames.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace lrf::sim {

namespace {

std::uint8_t nibbles(int high, int low) {
    return static_cast<std::uint8_t>(((high & 0xF) << 4) | (low & 0xF));
}

int hexDigit(char c) {
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return 0xA;
}

// Bytes 1 to 3: five decimal digits of a value 0.0 to 9999.9.
void putValue(Frame& f, double value) {
    long tenths = std::lround(std::clamp(std::fabs(value), 0.0, 9999.9) * 10.0);
    int d[5];
    for (int i = 4; i >= 0; --i) {
        d[i] = static_cast<int>(tenths % 10);
        tenths /= 10;
    }
    f[1] = nibbles(d[0], d[1]);
    f[2] = nibbles(d[2], d[3]);
    f[3] = nibbles(d[4], 0);
}

} // namespace

Frame DistanceFrame(std::optional<double> distance, std::optional<double> inclination,
                    char unitLetter, int quantity) {
    Frame f{0xDA, 0x99, 0x99, 0x00, 0x00, 0x99, 0x00, 0xEE};
    if (distance && *distance >= 0.0)
        putValue(f, *distance);
    f[4] = nibbles(hexDigit(unitLetter), quantity);
    if (inclination) {
        long tenths = std::lround(std::clamp(std::fabs(*inclination), 0.0, 98.9) * 10.0);
        f[5] = nibbles(static_cast<int>(tenths / 100), static_cast<int>(tenths / 10 % 10));
        f[6] = nibbles(static_cast<int>(tenths % 10), *inclination < 0.0 ? 0xF : 0);
    }
    return f;
}

Frame SpeedFrame(std::optional<double> speed, char unitLetter) {
    Frame f{0xDA, 0x99, 0x00, 0x00, 0x00, 0x99, 0x00, 0xEE};
    if (speed) {
        putValue(f, *speed);
        f[6] = nibbles(0, *speed < 0.0 ? 0xF : 0);
    }
    f[4] = nibbles(hexDigit(unitLetter), 0);
    return f;
}

} // namespace lrf::sim
