#pragma once

// One unit's finished check as the window and lrfmeasure hand it on to those
// that keep it (the crash journal, the store), whoever ran it.

#include "TestPlan.h"
#include "Verdict.h"

#include <chrono>
#include <string>

namespace lrf::verify {

struct UnitRecord {
    std::string station;      // the machine the unit was checked on
    std::string operatorName; // the system user
    std::string instrumentCode;
    std::string model;
    std::string place;
    TestPlan plan; // with its limits
    UnitResult result;
    std::chrono::system_clock::time_point start;
    std::chrono::system_clock::time_point end;
};

// Told once per unit, when its run is over (also when it ended early).
class UnitResultSink {
public:
    virtual ~UnitResultSink() = default;
    virtual void UnitFinished(const UnitRecord& unit) = 0;
    // Optional, for those that keep a unit that a crash cuts short: its run
    // begins (unit has no result yet), and each reply as it is judged.
    virtual void UnitStarted(const UnitRecord& unit) { (void)unit; }
    virtual void ShotJudged(const ShotResult& shot) { (void)shot; }
};

} // namespace lrf::verify
