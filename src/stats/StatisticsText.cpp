#include "StatisticsText.h"

#include <cstdio>

namespace lrf {

namespace {

std::string Fixed(double value, int decimals, std::string_view decimalSeparator) {
    char text[64];
    const int n = std::snprintf(text, sizeof text, "%.*f", decimals, value);
    if (n <= 0 || n >= static_cast<int>(sizeof text))
        return std::to_string(value); // out of the log's range: never from a record
    std::string result(text, static_cast<std::size_t>(n));
    if (const auto point = result.find('.'); point != std::string::npos)
        result.replace(point, 1, decimalSeparator);
    return result;
}

void AppendGroup(std::string& line, const LogStatistics& stats, Quantity q, StatusDetail detail,
                 std::string_view dec) {
    const StatsGroup* group = stats.CurrentGroup(q);
    if (!group)
        return;
    const RunningStats& v = group->values;
    line += " | ";
    line += QuantityName(q);
    if (const std::string_view unit = stats.UnitName(group->unit); !unit.empty()) {
        line += ' ';
        line += unit;
    }
    if (const std::size_t groups = stats.Groups(q).size(); groups > 1)
        line += " (group " + std::to_string(groups) + ")";
    line += ": n " + std::to_string(v.Count());
    line += ", mean " + Fixed(v.Mean(), 2, dec);
    line += ", sd " + Fixed(v.StdDev(), 2, dec);
    if (detail == StatusDetail::Full) {
        line += ", min " + Fixed(v.Min(), 1, dec);
        line += ", max " + Fixed(v.Max(), 1, dec);
    }
    line += ", spread " + Fixed(v.Spread(), 1, dec);
}

} // namespace

std::string StatusLine(const LogStatistics& stats, std::string_view decimalSeparator,
                       StatusDetail detail) {
    if (stats.RecordCount() == 0)
        return {};
    std::string line =
        std::to_string(stats.RecordCount()) + (stats.RecordCount() == 1 ? " record" : " records");
    for (const Quantity q : kQuantities)
        AppendGroup(line, stats, q, detail, decimalSeparator);
    line += " | no value " + std::to_string(stats.NoValueCount());
    return line;
}

std::string StatisticsTable(const LogStatistics& stats, std::string_view dec) {
    std::string text = "Quantity\tUnit\tFirst record\tLast record\tn\tMean\tStandard "
                       "deviation\tMinimum\tMaximum\tSpread\n";
    for (const Quantity q : kQuantities) {
        for (const StatsGroup& group : stats.Groups(q)) {
            const RunningStats& v = group.values;
            text += std::string(QuantityName(q)) + '\t' + std::string(stats.UnitName(group.unit)) +
                    '\t' + std::to_string(group.firstRecord + 1) + '\t' +
                    std::to_string(group.lastRecord + 1) + '\t' + std::to_string(v.Count()) + '\t' +
                    Fixed(v.Mean(), 3, dec) + '\t' + Fixed(v.StdDev(), 3, dec) + '\t' +
                    Fixed(v.Min(), 1, dec) + '\t' + Fixed(v.Max(), 1, dec) + '\t' +
                    Fixed(v.Spread(), 1, dec) + "\n";
        }
    }
    text += "Records\t" + std::to_string(stats.RecordCount()) + "\n";
    text += "No value\t" + std::to_string(stats.NoValueCount()) + "\n";
    return text;
}

} // namespace lrf
