#include "Verdict.h"

#include "RunningStats.h"

#include <algorithm>
#include <cmath>

namespace lrf::verify {

namespace {

// Values come from frames with a tenth's resolution and pass through unit
// conversions: a deviation that is exactly the tolerance on paper may lie a
// rounding error beyond it in a double.
double Slack(const TestPlan& plan) {
    return 1e-9 * std::max(1.0, std::fabs(plan.reference));
}

std::string Plural(int count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

} // namespace

std::string_view VerdictText(Verdict verdict) {
    switch (verdict) {
    case Verdict::Pass:
        return "PASS";
    case Verdict::Marginal:
        return "MARGINAL";
    case Verdict::Fail:
        return "FAIL";
    case Verdict::NoValue:
        break;
    }
    return "NO VALUE";
}

std::optional<double> ValueFor(const TestPlan& plan, const Measurement& m) {
    if (plan.quantity == Quantity::Distance) {
        if (!m.distance)
            return std::nullopt;
        return ConvertUnit(m.unit, plan.unit, *m.distance);
    }
    if (!m.speed || *m.speed >= kNoSpeed)
        return std::nullopt;
    return ConvertUnit(m.unit, plan.unit, *m.speed);
}

ShotResult JudgeValue(const TestPlan& plan, std::optional<double> value) {
    ShotResult shot;
    if (!value)
        return shot;
    shot.value = value;
    shot.deviation = *value - plan.reference;
    const double off = std::fabs(*shot.deviation);
    const double tolerance = plan.tolerance.Absolute(plan.reference);
    const double band = plan.marginal ? plan.marginal->Absolute(plan.reference) : 0.0;
    if (off > tolerance + Slack(plan))
        shot.verdict = Verdict::Fail;
    else if (off > tolerance - band + Slack(plan))
        shot.verdict = Verdict::Marginal;
    else
        shot.verdict = Verdict::Pass;
    return shot;
}

UnitJudge::UnitJudge(TestPlan plan)
    : plan_(std::move(plan)) {}

ShotResult UnitJudge::Add(const Measurement& m) {
    return AddValue(ValueFor(plan_, m));
}

ShotResult UnitJudge::AddValue(std::optional<double> value) {
    shots_.push_back(JudgeValue(plan_, value));
    return shots_.back();
}

UnitResult UnitJudge::Result() const {
    UnitResult result;
    result.shots = shots_;
    UnitStatistics& s = result.statistics;
    RunningStats deviations;
    for (const ShotResult& shot : shots_) {
        ++s.replies;
        switch (shot.verdict) {
        case Verdict::Pass:
            ++s.pass;
            break;
        case Verdict::Marginal:
            ++s.marginal;
            break;
        case Verdict::Fail:
            ++s.fail;
            break;
        case Verdict::NoValue:
            ++s.noValue;
            break;
        }
        if (shot.deviation)
            deviations.Add(*shot.deviation);
    }
    s.values = static_cast<int>(deviations.Count());
    if (!deviations.Empty()) {
        s.meanDeviation = deviations.Mean();
        s.stdDev = deviations.StdDev();
        s.minDeviation = deviations.Min();
        s.maxDeviation = deviations.Max();
    }

    const std::string unit(PlanUnitName(plan_.unit));
    const double slack = Slack(plan_);
    std::vector<std::string>& fails = result.reasons;
    if (s.replies < plan_.shots)
        fails.push_back(std::to_string(s.replies) + " of " + std::to_string(plan_.shots) +
                        " shots answered");
    if (s.values == 0 && s.replies > 0)
        fails.push_back("no reply carried a value");
    if (s.fail > 0)
        fails.push_back(Plural(s.fail, "shot", "shots") + " beyond the tolerance of ±" +
                        LimitText(plan_.tolerance, plan_));
    if (s.noValue > plan_.maxNoValue)
        fails.push_back(Plural(s.noValue, "reply", "replies") + " without a value, " +
                        std::to_string(plan_.maxNoValue) + " allowed");
    if (plan_.meanDeviation && s.values > 0 &&
        std::fabs(s.meanDeviation) > plan_.meanDeviation->Absolute(plan_.reference) + slack)
        fails.push_back("mean deviation " + NumberText(s.meanDeviation, 3, true) + " " + unit +
                        " beyond ±" + LimitText(*plan_.meanDeviation, plan_));
    if (plan_.stdDev && s.values > 0 && s.stdDev > plan_.stdDev->Absolute(plan_.reference) + slack)
        fails.push_back("standard deviation " + NumberText(s.stdDev, 3) + " " + unit + " above " +
                        LimitText(*plan_.stdDev, plan_));
    if (!fails.empty()) {
        result.verdict = Verdict::Fail;
    } else if (s.marginal > 0) {
        result.verdict = Verdict::Marginal;
        fails.push_back(Plural(s.marginal, "shot", "shots") + " in the marginal band");
    } else {
        result.verdict = Verdict::Pass;
    }
    return result;
}

std::string VerdictLine(const UnitResult& result) {
    std::string line(VerdictText(result.verdict));
    for (std::size_t i = 0; i < result.reasons.size(); ++i)
        line += (i == 0 ? ": " : "; ") + result.reasons[i];
    return line;
}

} // namespace lrf::verify
