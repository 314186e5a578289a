#include "TestPlan.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <fstream>
#include <map>
#include <sstream>
#include <system_error>

namespace lrf::verify {

namespace {

constexpr std::array<std::pair<std::string_view, UnitCode>, 6> kUnits{{
    {"m", unitMetre},
    {"yd", unitYard},
    {"ft", unitFoot},
    {"km/h", unitKph},
    {"mph", unitMph},
    {"m/s", unitMetrePerSecond},
}};

constexpr std::array<std::string_view, 10> kFields{
    "name",         "model",    "reference",          "shots",
    "tolerance",    "marginal", "max_mean_deviation", "max_stddev",
    "max_no_value", "quantity",
};

constexpr int kMaxShots = 100000;

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

// A line and what it holds: the value after '=' without a trailing comment.
struct Entry {
    int line = 0;
    std::string value;
};

class Reader {
public:
    Reader(std::string_view text, std::string source)
        : text_(text)
        , source_(std::move(source)) {}

    TestPlan Read() {
        ReadLines();
        TestPlan plan;
        if (const Entry* e = Find("name"))
            plan.name = e->value;
        if (const Entry* e = Find("model"))
            plan.model = e->value;
        ReadReference(plan);
        const Entry& shots = Need("shots");
        plan.shots = Integer(shots, "shots", 1, kMaxShots);
        plan.tolerance = ReadLimit(Need("tolerance"), "tolerance", plan);
        if (plan.tolerance.Absolute(plan.reference) <= 0.0)
            Fail(Need("tolerance").line, "tolerance", "must be more than 0");
        if (const Entry* e = Find("marginal")) {
            plan.marginal = ReadLimit(*e, "marginal", plan);
            if (plan.marginal->Absolute(plan.reference) >= plan.tolerance.Absolute(plan.reference))
                Fail(e->line, "marginal", "must be less than the tolerance");
        }
        if (const Entry* e = Find("max_mean_deviation"))
            plan.meanDeviation = ReadLimit(*e, "max_mean_deviation", plan);
        if (const Entry* e = Find("max_stddev"))
            plan.stdDev = ReadLimit(*e, "max_stddev", plan);
        if (const Entry* e = Find("max_no_value"))
            plan.maxNoValue = Integer(*e, "max_no_value", 0, kMaxShots);
        return plan;
    }

private:
    [[noreturn]] void Fail(int line, const std::string& field, const std::string& what) const {
        std::string message = source_;
        if (line > 0)
            message += ", line " + std::to_string(line);
        message += ": ";
        if (!field.empty())
            message += "'" + field + "' ";
        message += what + ".";
        throw PlanError(message, line, field);
    }

    void ReadLines() {
        std::string_view rest = text_;
        if (rest.substr(0, 3) == "\xEF\xBB\xBF")
            rest.remove_prefix(3);
        int number = 0;
        while (!rest.empty()) {
            ++number;
            const auto end = rest.find('\n');
            std::string_view line = rest.substr(0, end);
            rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
            if (line.find('\0') != std::string_view::npos)
                Fail(number, "", "holds a zero byte: this is no plan file");
            line = Trim(line);
            if (line.empty() || line.front() == '#' || line.front() == ';')
                continue;
            const auto equals = line.find('=');
            if (equals == std::string_view::npos)
                Fail(number, "", "'" + std::string(line) + "' is no 'key = value' line");
            const std::string key(Trim(line.substr(0, equals)));
            std::string_view value = line.substr(equals + 1);
            // A comment after the value starts with # after a blank.
            for (std::size_t i = 1; i < value.size(); ++i)
                if (value[i] == '#' && (value[i - 1] == ' ' || value[i - 1] == '\t')) {
                    value = value.substr(0, i);
                    break;
                }
            value = Trim(value);
            if (key.empty())
                Fail(number, "", "a line without a key before '='");
            if (std::find(kFields.begin(), kFields.end(), key) == kFields.end())
                Fail(number, key,
                     "is no field of a plan (fields: name, model, quantity, "
                     "reference, shots, tolerance, marginal, max_mean_deviation, "
                     "max_stddev, max_no_value)");
            if (const auto it = entries_.find(key); it != entries_.end())
                Fail(number, key,
                     "is given twice (first on line " + std::to_string(it->second.line) + ")");
            if (value.empty())
                Fail(number, key, "has no value");
            entries_[key] = Entry{number, std::string(value)};
        }
    }

    const Entry* Find(const std::string& key) const {
        const auto it = entries_.find(key);
        return it == entries_.end() ? nullptr : &it->second;
    }

    const Entry& Need(const std::string& key) const {
        const Entry* e = Find(key);
        if (!e)
            Fail(0, key, "is missing");
        return *e;
    }

    // The leading number of `text` and the rest after it, trimmed.
    static std::optional<std::pair<double, std::string_view>> Number(std::string_view text) {
        double value = 0.0;
        const char* begin = text.data();
        if (!text.empty() && text.front() == '+')
            ++begin;
        const auto [end, ec] = std::from_chars(begin, text.data() + text.size(), value);
        if (ec != std::errc{} || end == begin || !std::isfinite(value))
            return std::nullopt;
        return std::pair{value, Trim(std::string_view(end, text.data() + text.size() - end))};
    }

    int Integer(const Entry& e, const std::string& field, int low, int high) const {
        int value = 0;
        const char* end = e.value.data() + e.value.size();
        const auto [stop, ec] = std::from_chars(e.value.data(), end, value);
        if (ec != std::errc{} || stop != end || value < low || value > high)
            Fail(e.line, field,
                 "takes a whole number from " + std::to_string(low) + " to " +
                     std::to_string(high) + ", not '" + e.value + "'");
        return value;
    }

    void ReadReference(TestPlan& plan) const {
        const Entry& e = Need("reference");
        const auto number = Number(e.value);
        if (!number)
            Fail(e.line, "reference",
                 "takes a number and its unit (50.0 m), not '" + e.value + "'");
        const auto unit = std::find_if(kUnits.begin(), kUnits.end(),
                                       [&](const auto& u) { return u.first == number->second; });
        if (unit == kUnits.end())
            Fail(e.line, "reference",
                 number->second.empty() ? std::string("needs its unit: m, yd, ft, km/h, mph or m/s")
                                        : "has the unit '" + std::string(number->second) +
                                              "'; plans know m, yd, ft, km/h, mph and m/s");
        plan.reference = number->first;
        plan.unit = unit->second;
        plan.quantity = QuantityOf(plan.unit);
        if (plan.quantity == Quantity::Distance && plan.reference <= 0.0)
            Fail(e.line, "reference", "must be a distance of more than 0");
        if (const Entry* q = Find("quantity")) {
            if (q->value != "distance" && q->value != "speed")
                Fail(q->line, "quantity", "is distance or speed, not '" + q->value + "'");
            const Quantity named = q->value == "speed" ? Quantity::Speed : Quantity::Distance;
            if (named != plan.quantity)
                Fail(q->line, "quantity",
                     "says " + q->value + " but the reference's unit is " +
                         std::string(PlanUnitName(plan.unit)));
        }
    }

    Limit ReadLimit(const Entry& e, const std::string& field, const TestPlan& plan) const {
        const auto number = Number(e.value);
        const std::string unit(PlanUnitName(plan.unit));
        if (!number)
            Fail(e.line, field,
                 "takes a number in " + unit + " or a percentage (1 %), not '" + e.value + "'");
        Limit limit{number->first, false};
        if (number->second == "%")
            limit.percent = true;
        else if (!number->second.empty() && number->second != unit)
            Fail(e.line, field,
                 "is in '" + std::string(number->second) + "'; write it in the reference's unit (" +
                     unit + ") or as a percentage");
        if (limit.value < 0.0)
            Fail(e.line, field, "cannot be negative");
        if (limit.percent && plan.reference == 0.0)
            Fail(e.line, field, "cannot be a percentage of a reference of 0");
        return limit;
    }

    std::string_view text_;
    std::string source_;
    std::map<std::string, Entry> entries_;
};

} // namespace

double Limit::Absolute(double reference) const {
    return percent ? std::fabs(reference) * value / 100.0 : value;
}

TestPlan ParseTestPlan(std::string_view text, const std::string& source) {
    return Reader(text, source).Read();
}

TestPlan LoadTestPlan(const std::filesystem::path& path) {
    const std::string source = path.filename().string();
    std::ifstream in(path, std::ios::binary);
    std::error_code ec;
    if (!in || std::filesystem::is_directory(path, ec))
        throw PlanError(path.string() + ": cannot read the plan file.", 0, "");
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad())
        throw PlanError(path.string() + ": cannot read the plan file.", 0, "");
    TestPlan plan = ParseTestPlan(text.str(), source);
    if (plan.name.empty())
        plan.name = path.stem().string();
    plan.file = path;
    return plan;
}

std::vector<std::filesystem::path> PlanFiles(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec))
        if (it->path().extension() == ".plan" && it->is_regular_file(ec))
            files.push_back(it->path());
    std::sort(files.begin(), files.end());
    return files;
}

std::string_view PlanUnitName(UnitCode unit) {
    for (const auto& [name, code] : kUnits)
        if (code == unit)
            return name;
    return "m";
}

Quantity QuantityOf(UnitCode unit) {
    return unit == unitKph || unit == unitMph || unit == unitMetrePerSecond ? Quantity::Speed
                                                                            : Quantity::Distance;
}

std::string NumberText(double value, int decimals, bool sign) {
    char buffer[64];
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    std::string text = ec == std::errc{} ? std::string(buffer, end) : std::string("?");
    // No "-0.000": a deviation that rounds to nothing has no sign.
    if (text.front() == '-' && text.find_first_of("123456789") == std::string::npos)
        text.erase(0, 1);
    if (sign && text.front() != '-' && text.find_first_of("123456789") != std::string::npos)
        text.insert(0, "+");
    return text;
}

std::string LimitText(const Limit& limit, const TestPlan& plan) {
    const std::string unit(PlanUnitName(plan.unit));
    const std::string absolute = NumberText(limit.Absolute(plan.reference), 3) + " " + unit;
    if (!limit.percent)
        return absolute;
    std::string percent = NumberText(limit.value, 3);
    while (percent.find('.') != std::string::npos &&
           (percent.back() == '0' || percent.back() == '.'))
        percent.pop_back();
    return percent + " % (" + absolute + ")";
}

} // namespace lrf::verify
