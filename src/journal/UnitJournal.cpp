#include "UnitJournal.h"

#include <memory>

namespace lrf::journal {

void UnitJournal::UnitStarted(const verify::UnitRecord& unit) {
    ++unit_;
    shots_ = 0;
    open_ = true;
    auto started = std::make_shared<verify::UnitRecord>(unit);
    started->result = {};
    journal_.KeepUnit(UnitRow{unit_, std::move(started), false});
}

void UnitJournal::ShotJudged(const verify::ShotResult& shot) {
    if (open_)
        journal_.KeepUnit(UnitShot{unit_, shots_++, shot});
}

void UnitJournal::UnitFinished(const verify::UnitRecord& unit) {
    // A caller that tells only the end gets a row for the unit all the same.
    if (!open_)
        ++unit_;
    open_ = false;
    journal_.KeepUnit(UnitRow{unit_, std::make_shared<const verify::UnitRecord>(unit), true});
}

} // namespace lrf::journal
