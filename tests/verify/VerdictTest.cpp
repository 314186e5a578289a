// Each reply's verdict at the edges of the tolerance and its marginal band,
// and the unit's verdict from each of the plan's limits.

#include "Verdict.h"

#include <gtest/gtest.h>

namespace {

using lrf::Measurement;
using lrf::verify::ParseTestPlan;
using lrf::verify::TestPlan;
using lrf::verify::UnitJudge;
using lrf::verify::UnitResult;
using lrf::verify::Verdict;

// 50 m, ±0.3 m, the outer 0.1 m of it marginal.
const TestPlan kPlan = ParseTestPlan("reference = 50 m\nshots = 4\ntolerance = 0.3\n"
                                     "marginal = 0.1\n");

Measurement Distance(std::optional<double> value, lrf::UnitCode unit = lrf::unitMetre) {
    Measurement m;
    m.distance = value;
    m.unit = unit;
    m.complete = true;
    return m;
}

TEST(ShotVerdict, EdgesOfTheToleranceAndTheMarginalBand) {
    struct Case {
        std::optional<double> value; // as the frame carries it, tenths
        Verdict verdict;
    };
    const Case cases[] = {
        {50.0, Verdict::Pass},     {50.2, Verdict::Pass},     {49.8, Verdict::Pass},
        {50.3, Verdict::Marginal}, {49.7, Verdict::Marginal}, // exactly at the tolerance
        {50.4, Verdict::Fail},     {49.6, Verdict::Fail},     {std::nullopt, Verdict::NoValue},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value ? *c.value : -1.0);
        UnitJudge judge(kPlan);
        const auto shot = judge.Add(Distance(c.value));
        EXPECT_EQ(shot.verdict, c.verdict);
        EXPECT_EQ(shot.deviation.has_value(), c.value.has_value());
        if (c.value) {
            EXPECT_NEAR(*shot.deviation, *c.value - 50.0, 1e-9);
        }
    }
    // Without a marginal band the tolerance's edge passes.
    const TestPlan plain = ParseTestPlan("reference = 50 m\nshots = 1\ntolerance = 0.3\n");
    EXPECT_EQ(lrf::verify::JudgeValue(plain, 50.3).verdict, Verdict::Pass);
    EXPECT_EQ(lrf::verify::JudgeValue(plain, 49.7).verdict, Verdict::Pass);
    EXPECT_EQ(lrf::verify::JudgeValue(plain, 50.30001).verdict, Verdict::Fail);
}

// A reply in another unit than the plan's is converted before it is judged;
// speeds at or above the no-speed mark are no value.
TEST(ShotVerdict, ValuesInThePlansUnit) {
    UnitJudge yards(ParseTestPlan("reference = 100 yd\nshots = 1\ntolerance = 0.2\n"));
    const auto shot = yards.Add(Distance(91.44)); // 100 yd in metres
    ASSERT_TRUE(shot.value);
    EXPECT_NEAR(*shot.value, 100.0, 0.01); // the factor the readouts use
    EXPECT_EQ(shot.verdict, Verdict::Pass);

    const TestPlan speed = ParseTestPlan("reference = 60 km/h\nshots = 1\ntolerance = 1\n");
    Measurement m;
    m.unit = lrf::unitKph;
    m.distance = 60.0; // a distance is no speed
    EXPECT_EQ(UnitJudge(speed).Add(m).verdict, Verdict::NoValue);
    m.speed = lrf::kNoSpeed;
    EXPECT_EQ(UnitJudge(speed).Add(m).verdict, Verdict::NoValue);
    m.speed = 60.9;
    EXPECT_EQ(UnitJudge(speed).Add(m).verdict, Verdict::Pass);
    m.unit = lrf::unitMetrePerSecond;
    m.speed = 16.0; // 57.6 km/h
    EXPECT_EQ(UnitJudge(speed).Add(m).verdict, Verdict::Fail);
}

UnitResult Judge(const std::string& limits, std::initializer_list<std::optional<double>> values) {
    UnitJudge judge(ParseTestPlan("reference = 50 m\ntolerance = 0.5\n" + limits));
    for (const auto& v : values)
        judge.AddValue(v);
    return judge.Result();
}

TEST(UnitVerdict, EachLimit) {
    struct Case {
        const char* what;
        std::string limits;
        std::initializer_list<std::optional<double>> values;
        Verdict verdict;
        const char* reason; // part of the first reason; empty for PASS
    };
    const Case cases[] = {
        {"all within", "shots = 3\n", {50.1, 49.9, 50.0}, Verdict::Pass, ""},
        {"one shot beyond",
         "shots = 3\n",
         {50.1, 50.6, 50.0},
         Verdict::Fail,
         "1 shot beyond the tolerance of ±0.500 m"},
        {"one shot marginal",
         "shots = 3\nmarginal = 0.2\n",
         {50.1, 50.4, 50.0},
         Verdict::Marginal,
         "1 shot in the marginal band"},
        {"a short run", "shots = 4\n", {50.0, 50.0, 50.0}, Verdict::Fail, "3 of 4 shots answered"},
        {"no value allowed by default",
         "shots = 3\n",
         {50.0, std::nullopt, 50.0},
         Verdict::Fail,
         "1 reply without a value, 0 allowed"},
        {"no value within its limit",
         "shots = 3\nmax_no_value = 1\n",
         {50.0, std::nullopt, 50.0},
         Verdict::Pass,
         ""},
        {"nothing but no values",
         "shots = 2\nmax_no_value = 2\n",
         {std::nullopt, std::nullopt},
         Verdict::Fail,
         "no reply carried a value"},
        {"mean exactly at its limit",
         "shots = 2\nmax_mean_deviation = 0.3\n",
         {50.3, 50.3},
         Verdict::Pass,
         ""},
        {"mean beyond its limit",
         "shots = 2\nmax_mean_deviation = 0.3\n",
         {49.6, 49.7},
         Verdict::Fail,
         "mean deviation -0.350 m beyond ±0.300 m"},
        {"spread within its limit",
         "shots = 2\nmax_stddev = 0.15\n",
         {50.0, 50.2},
         Verdict::Pass,
         ""},
        {"spread beyond its limit",
         "shots = 2\nmax_stddev = 0.15\n",
         {49.8, 50.2},
         Verdict::Fail,
         "standard deviation 0.283 m above 0.150 m"},
        {"a percentage limit",
         "shots = 2\nmax_stddev = 0.1 %\n",
         {49.9, 50.1},
         Verdict::Fail,
         "above 0.1 % (0.050 m)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const UnitResult result = Judge(c.limits, c.values);
        EXPECT_EQ(result.verdict, c.verdict);
        if (c.verdict == Verdict::Pass) {
            EXPECT_TRUE(result.reasons.empty());
        } else {
            ASSERT_FALSE(result.reasons.empty());
            EXPECT_NE(result.reasons.front().find(c.reason), std::string::npos)
                << result.reasons.front();
        }
    }
}

TEST(UnitVerdict, StatisticsAndTheOneLine) {
    const UnitResult result = Judge("shots = 4\n", {50.2, 49.9, std::nullopt, 51.0});
    const auto& s = result.statistics;
    EXPECT_EQ(s.replies, 4);
    EXPECT_EQ(s.values, 3);
    EXPECT_EQ(s.noValue, 1);
    EXPECT_EQ(s.pass, 2);
    EXPECT_EQ(s.fail, 1);
    EXPECT_NEAR(s.meanDeviation, 1.1 / 3, 1e-9);
    EXPECT_NEAR(s.minDeviation, -0.1, 1e-9);
    EXPECT_NEAR(s.maxDeviation, 1.0, 1e-9);
    // Every reason on one line, in a fixed order.
    EXPECT_EQ(lrf::verify::VerdictLine(result),
              "FAIL: 1 shot beyond the tolerance of ±0.500 m; 1 reply without a value, 0 allowed");
    EXPECT_EQ(lrf::verify::VerdictLine(Judge("shots = 1\n", {50.0})), "PASS");
}

} // namespace
