#pragma once

#include <string>

namespace lrf {

// A local date and time down to the millisecond.
struct LocalDateTime {
    int year = 1970;
    int month = 1; // 1 to 12
    int day = 1;   // 1 to 31
    int hour = 0;  // 0 to 23
    int minute = 0;
    int second = 0;
    int millisecond = 0; // 0 to 999
};

// The current local date and time of the machine.
LocalDateTime LocalNow();

// The separators of the system locale that records and file names follow. The
// defaults are those of the "C" locale; the window layer fills in the system's.
struct Separators {
    std::string decimal = ".";
    std::string date = "/";
    std::string time = ":";
};

// The system locale's separators as last looked up: the application object sets
// them at start and again whenever the system locale changes, so that a record
// does not look them up anew. Until set they are the "C" locale's. GUI thread.
const Separators& CurrentSeparators();
void SetCurrentSeparators(Separators separators);

// Time stamp of a record: year/month/day hour:minute:second.milliseconds, with
// the locale's date and time separators; the milliseconds always have three
// digits ("2024/03/05 14:07:39.052" for 52 ms), so that every reader takes the
// digits after the point as a fraction of a second and gets it right.
std::string RecordTimeStamp(const LocalDateTime& t, const Separators& separators);

// Stem of an automatic save file: year, month, day, hour, then the second
// before the minute, run together ("20240305143907" for 14:07:39).
std::string AutoSaveStem(const LocalDateTime& t);

} // namespace lrf
