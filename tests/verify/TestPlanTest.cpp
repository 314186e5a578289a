// Plan files as operators write them, and the mistakes they make in them.

#include "TestPlan.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>

namespace {

using lrf::verify::LoadTestPlan;
using lrf::verify::ParseTestPlan;
using lrf::verify::PlanError;
using lrf::verify::Quantity;
using lrf::verify::TestPlan;

const char* const kFullPlan = "# LRF-900 on line 2, target board at 50 m\n"
                              "name = LRF-900 at 50 m\n"
                              "model = LRF-900\n"
                              "reference = 50.0 m\n"
                              "shots = 50\n"
                              "tolerance = 0.5 m   # each shot, either sign\n"
                              "marginal = 0.1\n"
                              "max_mean_deviation = 0.2\n"
                              "max_stddev = 0.15\n"
                              "max_no_value = 2\n";

struct GoodCase {
    const char* what;
    std::string text;
    Quantity quantity;
    double reference;
    double tolerance; // absolute
    bool hasMarginal;
    int maxNoValue;
};

TEST(TestPlan, GoodFilesGiveTheirValues) {
    const GoodCase cases[] = {
        {"every field", kFullPlan, Quantity::Distance, 50.0, 0.5, true, 2},
        {"the required fields only, CR LF, a byte order mark",
         "\xEF\xBB\xBFreference = 100 yd\r\nshots = 10\r\ntolerance = 1\r\n", Quantity::Distance,
         100.0, 1.0, false, 0},
        {"a percentage of the reference", "reference = 200 m\nshots=5\ntolerance = 0.5 %\n",
         Quantity::Distance, 200.0, 1.0, false, 0},
        {"a speed, negative, and ; comments",
         "; radar check\nquantity = speed\nreference = -60 km/h\nshots = 3\ntolerance = 2 %\n",
         Quantity::Speed, -60.0, 1.2, false, 0},
    };
    for (const GoodCase& c : cases) {
        SCOPED_TRACE(c.what);
        const TestPlan plan = ParseTestPlan(c.text);
        EXPECT_EQ(plan.quantity, c.quantity);
        EXPECT_DOUBLE_EQ(plan.reference, c.reference);
        EXPECT_DOUBLE_EQ(plan.tolerance.Absolute(plan.reference), c.tolerance);
        EXPECT_EQ(plan.marginal.has_value(), c.hasMarginal);
        EXPECT_EQ(plan.maxNoValue, c.maxNoValue);
    }
    const TestPlan full = ParseTestPlan(kFullPlan);
    EXPECT_EQ(full.name, "LRF-900 at 50 m");
    EXPECT_EQ(full.model, "LRF-900");
    EXPECT_EQ(full.shots, 50);
    EXPECT_EQ(full.unit, lrf::unitMetre);
    EXPECT_DOUBLE_EQ(full.meanDeviation->value, 0.2);
    EXPECT_DOUBLE_EQ(full.stdDev->value, 0.15);
}

struct BadCase {
    const char* text;
    int line;
    const char* field;
    const char* says; // part of the message
};

TEST(TestPlan, BadFilesNameTheLineAndTheField) {
    const std::string base = "reference = 50 m\nshots = 10\n";
    const BadCase cases[] = {
        {"reference = 50 m\nshots = 10\n", 0, "tolerance", "is missing"},
        {"shots = 10\ntolerance = 1\n", 0, "reference", "is missing"},
        {"reference = 50 m\nshots = 10\ntolerance = abc\n", 3, "tolerance", "not 'abc'"},
        {"reference = 50 m\nshots = ten\ntolerance = 1\n", 2, "shots", "not 'ten'"},
        {"reference = 50 m\nshots = 0\ntolerance = 1\n", 2, "shots", "from 1"},
        {"reference = 50 m\nshots = 2.5\ntolerance = 1\n", 2, "shots", "whole number"},
        {"reference = 50\nshots = 10\ntolerance = 1\n", 1, "reference", "needs its unit"},
        {"reference = 50 furlong\nshots = 10\ntolerance = 1\n", 1, "reference", "'furlong'"},
        {"reference = 0 m\nshots = 10\ntolerance = 1\n", 1, "reference", "more than 0"},
        {"reference = 50 m\nshots = 10\ntolerance = 1 ft\n", 3, "tolerance", "'ft'"},
        {"reference = 50 m\nshots = 10\ntolerance = -1\n", 3, "tolerance", "negative"},
        {"reference = 50 m\nshots = 10\ntolerance = 0\n", 3, "tolerance", "more than 0"},
        {"reference = 50 m\nshots = 10\ntolerance = 1\nmarginal = 1\n", 4, "marginal",
         "less than the tolerance"},
        {"reference = 50 m\nshots = 10\ntolerance = 1\ntolerence = 2\n", 4, "tolerence",
         "no field"},
        {"reference = 50 m\nshots = 10\ntolerance = 1\nshots = 20\n", 4, "shots",
         "twice (first on line 2)"},
        {"reference = 50 m\nshots 10\ntolerance = 1\n", 2, "", "no 'key = value' line"},
        {"reference = 50 m\nshots = 10\ntolerance =\n", 3, "tolerance", "has no value"},
        {"reference = 50 m\nshots = 10\ntolerance = 1\nmax_no_value = -1\n", 4, "max_no_value",
         "whole number"},
        {"quantity = speed\nreference = 50 m\nshots = 10\ntolerance = 1\n", 1, "quantity",
         "unit is m"},
        {"reference = 0 km/h\nshots = 10\ntolerance = 1 %\n", 3, "tolerance", "reference of 0"},
        {"reference = 1e999 m\nshots = 10\ntolerance = 1\n", 1, "reference", "a number"},
    };
    for (const BadCase& c : cases) {
        SCOPED_TRACE(c.text);
        try {
            ParseTestPlan(c.text, "line2.plan");
            ADD_FAILURE() << "accepted";
        } catch (const PlanError& e) {
            EXPECT_EQ(e.line(), c.line);
            EXPECT_EQ(e.field(), c.field);
            const std::string message = e.what();
            EXPECT_NE(message.find(c.says), std::string::npos) << message;
            EXPECT_EQ(message.rfind("line2.plan", 0), 0u) << message;
            if (c.line > 0) {
                EXPECT_NE(message.find("line " + std::to_string(c.line) + ":"), std::string::npos)
                    << message;
            }
        }
    }
}

TEST(TestPlan, FilesAndTheirFolder) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::filesystem::path folder = dir.path().toStdString();
    std::ofstream(folder / "b-model.plan") << "reference = 10 m\nshots = 1\ntolerance = 1\n";
    std::ofstream(folder / "a-model.plan") << kFullPlan;
    std::ofstream(folder / "notes.txt") << "not a plan\n";
    std::filesystem::create_directory(folder / "old.plan");

    const auto files = lrf::verify::PlanFiles(folder);
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].filename(), "a-model.plan");
    EXPECT_EQ(files[1].filename(), "b-model.plan");
    // A plan without a name is called by its file's name.
    EXPECT_EQ(LoadTestPlan(files[1]).name, "b-model");
    EXPECT_EQ(LoadTestPlan(files[1]).file, files[1]);
    EXPECT_TRUE(lrf::verify::PlanFiles(folder / "missing").empty());
    for (const char* unreadable : {"missing.plan", "old.plan"})
        EXPECT_THROW(LoadTestPlan(folder / unreadable), PlanError) << unreadable;
}

} // namespace
