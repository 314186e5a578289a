#pragma once

#include "JournalTypes.h"
#include "LocalTime.h"

#include <optional>
#include <string>

namespace lrf::journal {

// A log line with the typed values the record store keeps beside its cell
// texts. Plain C++: the texts are read as the recording step writes them.
struct StoreRecord {
    std::optional<int> sn;
    std::optional<double> distance; // empty: the record had no distance
    std::string distanceUnit;       // "M", "Y", "Ft"; empty when the cell is
    std::optional<double> speed;
    std::string speedUnit;
    std::optional<LocalDateTime> measuredAt; // local time of the station
    // The free texts as typed: the apostrophe that guards a formula-like
    // text in the files is taken off again.
    std::string place, destination, model, lrfCode;
};

// Reads the ten cells of a log line. A cell that cannot be read leaves its
// value empty; the texts are kept whatever they hold.
StoreRecord ReadStoreRecord(const Cells& cells);

// The time stamp of a record: year, month, day, hour, minute, second and the
// milliseconds as seven groups of digits between the locale's separators. The
// milliseconds are read as a count: three digits as written now, or fewer as
// earlier versions wrote them without leading zeros. Empty for anything else or an impossible
// date or time.
std::optional<LocalDateTime> ReadRecordTimeStamp(std::string_view text);

// A free text as it was typed, from the text the files hold.
std::string Unguarded(const std::string& fileText);

} // namespace lrf::journal
