#include "StringTable.h"

#include <array>

namespace lrf {

namespace {

// Index 0 is unused so that the index is the entry's number.
constexpr std::array<std::string_view, 37> kStrings{
    "",
    "COM",
    "Baudrate",
    "Open COM",
    "Clear Data",
    "Record Data",
    "Display Data",
    "Save Data",
    "Exit",
    "Single Testing",
    "Continuous Testing",
    "Point to point distance",
    "Speed measurement",
    "Rotation Measure",
    "Model",
    "LRF Code",
    "Place",
    "Distination",
    "Continuous times",
    "Rotation times",
    "Professional laser rangefinder program-controlled software V2.0",
    "Times",
    "MS",
    "Data show window",
    "SN",
    "Linear",
    "Unit",
    "Speed",
    "",
    "",
    "DateTime",
    "Close COM",
    "COM open failure!",
    "Stop Testing",
    "Stop Record",
    // Full-width comma, exclamation mark and full stop, two lines.
    "The current record number of 60,001\uFF0CExceeds the maximum record 60,000\uFF01\n"
    "The record shall not be\u3002",
    "Communication failure!",
};

} // namespace

std::string_view LoadStr(int number) {
    if (number < 1 || number >= static_cast<int>(kStrings.size()))
        return {};
    return kStrings[static_cast<std::size_t>(number)];
}

} // namespace lrf
