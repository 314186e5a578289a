#pragma once

#include <QString>

#include <string>

namespace lrf::journal {

// The local time now, ISO 8601 with milliseconds and the offset from UTC, as
// the journal records when things happened.
std::string JournalNow();

// The local time now as "yyyyMMdd-hhmmss", for names of files.
QString JournalFileStamp();

} // namespace lrf::journal
