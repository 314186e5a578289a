#include "CsvFormat.h"
#include "CsvMirror.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

using namespace lrf;

namespace {

using Row = std::array<std::string, 10>;

const Row kHeaders{"SN",    "Linear",      "Unit",     "Speed", "Unit",
                   "Place", "Distination", "DateTime", "Model", "LRF Code"};
const std::string kHeaderLine =
    "SN,Linear,Unit,Speed,Unit,Place,Distination,DateTime,Model,LRF Code";

Row Record(int row, const std::string& distance, const std::string& speed = "---.-") {
    return {std::to_string(row),      distance, "M", speed, "KPH", "", "",
            "2024/03/05 14:07:39.52", "",       ""};
}

} // namespace

TEST(CsvCell, PlainCellsStayAsTheyAreOthersAreQuoted) {
    const struct {
        const char* cell;
        const char* written;
    } cases[] = {
        {"", ""},
        {"  12.3", "  12.3"},
        {"---.-", "---.-"},
        {"Ft", "Ft"},
        {"Brücke Süd", "Brücke Süd"},
        {"  12,3", "\"  12,3\""},
        {"North, gate 2", "\"North, gate 2\""},
        {"the \"big\" one", "\"the \"\"big\"\" one\""},
        {"\"", "\"\"\"\""},
        {"two\r\nlines", "\"two\r\nlines\""},
        {"line\nfeed", "\"line\nfeed\""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CsvCell(c.cell), c.written) << c.cell;
}

// A spreadsheet runs a cell that begins with one of these as a formula; the
// apostrophe makes it text. A leading minus is one too, unless the whole text
// is a negative number; everything else stays byte for byte.
TEST(FormulaGuard, OnlyFormulaLeadsGetAnApostrophe) {
    const struct {
        const char* text;
        const char* written;
    } cases[] = {
        {"=1+1", "'=1+1"},
        {"+49 30 1234", "'+49 30 1234"},
        {"@SUM(A1:A9)", "'@SUM(A1:A9)"},
        {"\tcmd", "'\tcmd"},
        {"\rcmd", "'\rcmd"},
        {"=", "'="},
        {"-12.5", "-12.5"},
        {"-1+1", "'-1+1"},
        {"-2+3+cmd|' /C calc'!A0", "'-2+3+cmd|' /C calc'!A0"},
        {"-12,5", "-12,5"},
        {"-.5", "-.5"},
        {"-7", "-7"},
        {"-", "'-"},
        {"-1.2.3", "'-1.2.3"},
        {"-12 m", "'-12 m"},
        {"", ""},
        {" =1+1", " =1+1"},
        {"a=b", "a=b"},
        {"'=already", "'=already"},
        {"Brücke Süd", "Brücke Süd"},
        {"\n=1", "\n=1"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormulaGuarded(c.text), c.written) << c.text;
}

TEST(CsvLine, RecordAndHeaderLines) {
    EXPECT_EQ(CsvRecordLine(Record(3, "  12.3")),
              "3,  12.3,M,---.-,KPH,,,2024/03/05 14:07:39.52,,");
    EXPECT_EQ(CsvRecordLine(Row{}), ",,,,,,,,,");
    Row withComma = Record(1, "  12,3", "  45,6");
    withComma[5] = "Bay, east";
    EXPECT_EQ(CsvRecordLine(withComma),
              "1,\"  12,3\",M,\"  45,6\",KPH,\"Bay, east\",,2024/03/05 14:07:39.52,,");

    EXPECT_EQ(CsvHeaderLine(kHeaders), kHeaderLine);
    // A comma goes in only after visible text: empty or blank leading headers
    // do not produce leading commas.
    EXPECT_EQ(CsvHeaderLine(std::vector<std::string>{"", "A", "", "B"}), "A,,B");
    EXPECT_EQ(CsvHeaderLine(std::vector<std::string>{" ", "\t", "A", "B"}), " \tA,B");
    EXPECT_EQ(CsvHeaderLine(std::vector<std::string>{}), "");
}

TEST(CsvMirror, FirstRecordBringsTheHeader) {
    CsvMirror mirror;
    EXPECT_EQ(mirror.LastRow(), -1);
    EXPECT_FALSE(mirror.HasRecords());
    mirror.Update(1, Record(1, "  12.3"), kHeaders);
    ASSERT_EQ(mirror.Lines().size(), 2u);
    EXPECT_EQ(mirror.Lines()[0], kHeaderLine);
    EXPECT_EQ(mirror.Lines()[1], CsvRecordLine(Record(1, "  12.3")));
    EXPECT_EQ(mirror.LastRow(), 1);
    EXPECT_TRUE(mirror.HasRecords());
}

TEST(CsvMirror, RotationPairsGiveOneLineEach) {
    CsvMirror mirror;
    for (int row = 1; row <= 3; ++row) {
        mirror.Update(row, Record(row, " 100.0"), kHeaders);
        mirror.Update(row, Record(row, " 100.0", "  50.0"), kHeaders);
    }
    ASSERT_EQ(mirror.Lines().size(), 4u);
    for (int row = 1; row <= 3; ++row)
        EXPECT_EQ(mirror.Lines()[static_cast<std::size_t>(row)],
                  CsvRecordLine(Record(row, " 100.0", "  50.0")));
}

TEST(CsvMirror, SeveralClearsKeepOneHeaderAndEveryRecord) {
    CsvMirror mirror;
    std::vector<std::string> expected{kHeaderLine};
    // Clearing after one, two and one rows: the row-1 records that follow a
    // clear are new records and must not replace the earlier row 1.
    for (const int rows : {1, 2, 1}) {
        for (int row = 1; row <= rows; ++row) {
            const Row r = Record(row, "  " + std::to_string(expected.size()) + ".0");
            mirror.Update(row, r, kHeaders);
            expected.push_back(CsvRecordLine(r));
        }
        mirror.GridCleared();
        EXPECT_EQ(mirror.LastRow(), -1);
    }
    EXPECT_EQ(mirror.Lines(), expected);
}

TEST(CsvMirror, AfterEmptyingTheNextRecordStartsAFreshHeader) {
    CsvMirror mirror;
    mirror.Update(2000, Record(2000, "   1.0"), kHeaders);
    mirror.Empty();
    EXPECT_EQ(mirror.LastRow(), 2000);
    EXPECT_FALSE(mirror.HasRecords());
    // Same row number with nothing to replace: header and the line, nothing lost.
    mirror.Update(2000, Record(2000, "   2.0"), kHeaders);
    ASSERT_EQ(mirror.Lines().size(), 2u);
    EXPECT_EQ(mirror.Lines()[0], kHeaderLine);
}
