#pragma once

#include "Journal.h"
#include "UnitResultSink.h"

#include <cstdint>

namespace lrf::journal {

// Keeps each unit checked against a test plan in the crash journal beside the
// records: a row when its run starts, each judged reply, and its verdict at
// the end. A run whose journal forwards to a record store forwards the units
// too (the store's unit_results), once each, whenever the store takes them.
// A unit whose run a crash cuts short gets its verdict at the next start.
//
// Attach it where units are run: `sinks.push_back(&unitJournal)`. Lives no
// longer than the journal; used on the journal's thread.
class UnitJournal final : public verify::UnitResultSink {
public:
    explicit UnitJournal(Journal& journal)
        : journal_(journal) {}

    void UnitStarted(const verify::UnitRecord& unit) override;
    void ShotJudged(const verify::ShotResult& shot) override;
    void UnitFinished(const verify::UnitRecord& unit) override;

private:
    Journal& journal_;
    std::int64_t unit_ = 0; // the number of the latest unit in this run
    std::int32_t shots_ = 0;
    bool open_ = false; // its run started and has not finished
};

} // namespace lrf::journal
