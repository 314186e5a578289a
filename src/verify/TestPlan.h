#pragma once

// A test plan: how one model of rangefinder is checked against a target at a
// known distance (or a known speed). Plans are small text files of
// "key = value" lines that an operator edits by hand, one per model, kept
// together in one folder.

#include "Units.h"

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace lrf::verify {

enum class Quantity { Distance, Speed };

// A limit as written: a value in the reference's unit, or a percentage of the
// reference.
struct Limit {
    double value = 0.0;
    bool percent = false;

    // The limit in the reference's unit.
    double Absolute(double reference) const;
};

struct TestPlan {
    std::string name;  // the plan's own name; its file's base name when not given
    std::string model; // the model it is for; may be empty
    Quantity quantity = Quantity::Distance;
    double reference = 0.0;
    UnitCode unit = unitMetre; // of the reference and of every deviation
    int shots = 0;
    Limit tolerance;                    // on each shot's deviation, either sign
    std::optional<Limit> marginal;      // the band inside the tolerance's edge
    std::optional<Limit> meanDeviation; // on the mean deviation, either sign
    std::optional<Limit> stdDev;        // on the sample standard deviation
    int maxNoValue = 0;                 // replies without a value allowed
    std::filesystem::path file;         // where it was read from, if anywhere
};

// A plan file that cannot be used. The message names the file, the line (0 for
// a field that is missing) and the field.
class PlanError : public std::runtime_error {
public:
    PlanError(const std::string& message, int line, std::string field)
        : std::runtime_error(message)
        , line_(line)
        , field_(std::move(field)) {}
    int line() const { return line_; }
    const std::string& field() const { return field_; }

private:
    int line_;
    std::string field_;
};

// Reads a plan from its text; `source` names it in messages. Throws PlanError.
TestPlan ParseTestPlan(std::string_view text, const std::string& source = "plan");
// Reads the plan file at `path`. Throws PlanError, also when it cannot be read.
TestPlan LoadTestPlan(const std::filesystem::path& path);
// The plan files of a folder (*.plan), sorted by name; none for a folder that
// does not exist.
std::vector<std::filesystem::path> PlanFiles(const std::filesystem::path& folder);

// The unit's short name as plans write it and reports show it: m, yd, ft,
// km/h, mph, m/s.
std::string_view PlanUnitName(UnitCode unit);
// The quantity a unit measures.
Quantity QuantityOf(UnitCode unit);
// A limit as the plan wrote it, with its absolute value: "0.5 m", "1 % (0.5 m)".
std::string LimitText(const Limit& limit, const TestPlan& plan);
// A number in the plan's notation, with a point whatever the locale:
// `decimals` digits after it; `sign` puts + before positive numbers.
std::string NumberText(double value, int decimals, bool sign = false);

} // namespace lrf::verify
