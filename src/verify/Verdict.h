#pragma once

// The verdicts of a unit under test: each reply's deviation from the plan's
// reference and its verdict, and the unit's verdict from the plan's limits
// with the reasons for it.

#include "Measurement.h"
#include "TestPlan.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lrf::verify {

// A reply without a value has no deviation to judge: it counts against the
// plan's limit on such replies instead.
enum class Verdict { Pass, Marginal, Fail, NoValue };

// "PASS", "MARGINAL", "FAIL", "NO VALUE".
std::string_view VerdictText(Verdict verdict);

struct ShotResult {
    std::optional<double> value;     // in the plan's unit
    std::optional<double> deviation; // value - reference
    Verdict verdict = Verdict::NoValue;
};

// The value of the plan's quantity in a measurement, in the plan's unit; none
// when the reply carried none.
std::optional<double> ValueFor(const TestPlan& plan, const Measurement& m);
// The verdict on one value: within the tolerance less the marginal band PASS,
// within the tolerance MARGINAL, beyond it FAIL; exactly on an edge counts as
// inside it.
ShotResult JudgeValue(const TestPlan& plan, std::optional<double> value);

struct UnitStatistics {
    int replies = 0; // shots answered
    int values = 0;  // replies with a value
    int noValue = 0;
    int pass = 0;
    int marginal = 0;
    int fail = 0;
    double meanDeviation = 0.0;
    double stdDev = 0.0; // sample standard deviation of the values; 0 for one value
    double minDeviation = 0.0;
    double maxDeviation = 0.0;
};

struct UnitResult {
    Verdict verdict = Verdict::Fail;  // Pass, Marginal or Fail
    std::vector<std::string> reasons; // why it is not PASS; empty for PASS
    UnitStatistics statistics;
    std::vector<ShotResult> shots; // in the order of the replies
};

// Judges the replies of one unit's run as they come.
class UnitJudge {
public:
    explicit UnitJudge(TestPlan plan);

    ShotResult Add(const Measurement& m);
    ShotResult AddValue(std::optional<double> value);
    // The unit's verdict on the replies so far.
    UnitResult Result() const;
    const TestPlan& plan() const { return plan_; }

private:
    TestPlan plan_;
    std::vector<ShotResult> shots_;
};

// One line: "PASS", or "FAIL: 3 shots beyond ±0.500 m; ..." with the reasons.
std::string VerdictLine(const UnitResult& result);

} // namespace lrf::verify
