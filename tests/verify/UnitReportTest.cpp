// The report of a unit: what its HTML holds, and a PDF of one page whose text
// pdftotext reads back.

#include "UnitReport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using namespace lrf::verify;

const TestPlan kPlan = ParseTestPlan("name = LRF-900 at 50 m\nmodel = LRF-900\n"
                                     "reference = 50 m\nshots = 60\ntolerance = 0.5\n"
                                     "marginal = 0.1\nmax_stddev = 0.2\n");

UnitResult SixtyShots() {
    UnitJudge judge(kPlan);
    for (int i = 0; i < 60; ++i)
        judge.AddValue(i == 7   ? std::nullopt
                       : i == 8 ? std::optional<double>(50.45)
                                : std::optional<double>(49.8 + 0.1 * (i % 6)));
    return judge.Result();
}

ReportInfo Info() {
    ReportInfo info;
    info.station = QStringLiteral("Line 2 <east>");
    info.operatorName = QStringLiteral("qa-op");
    info.version = QStringLiteral("9.8.7");
    info.model = QStringLiteral("LRF-900");
    info.instrumentCode = QStringLiteral("SN/0042 \"B\"");
    info.place = QStringLiteral("Hall & yard");
    info.start = QDateTime(QDate(2026, 12, 9), QTime(23, 10, 0));
    info.end = QDateTime(QDate(2026, 12, 9), QTime(23, 11, 5));
    return info;
}

// Runs a poppler tool on `file`; its standard output, or none when it is missing.
std::optional<QString> Poppler(const QString& tool, const QStringList& args) {
    if (QStandardPaths::findExecutable(tool).isEmpty())
        return std::nullopt;
    QProcess process;
    process.start(tool, args);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

TEST(UnitReport, HtmlHoldsEveryPartWithTheTextsEscaped) {
    const UnitResult result = SixtyShots();
    const QString html = ReportHtml(kPlan, result, Info(), QStringLiteral("chart.png"));
    for (const char* part : {"SN/0042 &quot;B&quot;",
                             "Line 2 &lt;east&gt;",
                             "Hall &amp; yard",
                             "qa-op",
                             "9.8.7",
                             "LRF-900 at 50 m",
                             "50.000 m",
                             "&plusmn;0.500 m",
                             "0.100 m inside the tolerance",
                             "0.200 m",
                             "2026-12-09 23:10:00",
                             "2026-12-09 23:11:05",
                             "FAIL",
                             "1 reply without a value, 0 allowed",
                             "60 of 60",
                             "src=\"chart.png\"",
                             "49.8",
                             "+0.300",
                             "MARGINAL",
                             "NO VALUE"})
        EXPECT_TRUE(html.contains(QString::fromUtf8(part))) << part;
    EXPECT_FALSE(html.contains(QStringLiteral("<east>")));
    // Every shot has its row: the 60th shot's number and value.
    EXPECT_TRUE(html.contains(QStringLiteral(">60</td><td align=\"right\">50.3<")));
}

TEST(UnitReport, FilesAreNamedByCodeAndTimeAndThePdfIsOnePage) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.filePath(QStringLiteral("reports/line2"));
    const ReportFiles files = WriteReport(folder, kPlan, SixtyShots(), Info());
    EXPECT_EQ(QFileInfo(files.pdf).fileName(), QStringLiteral("SN_0042 _B__20261209-231105.pdf"));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 2); // no partial file left
    // The same unit again within the same second replaces nothing.
    const ReportFiles again = WriteReport(folder, kPlan, SixtyShots(), Info());
    EXPECT_EQ(QFileInfo(again.html).fileName(),
              QStringLiteral("SN_0042 _B__20261209-231105-2.html"));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 4);

    QFile html(files.html);
    ASSERT_TRUE(html.open(QIODevice::ReadOnly));
    EXPECT_TRUE(html.readAll().contains("src=\"data:image/png;base64,iVBOR"));

    const std::optional<QString> info = Poppler(QStringLiteral("pdfinfo"), {files.pdf});
    if (!info)
        GTEST_SKIP() << "poppler-utils (pdftotext, pdfinfo) not installed";
    EXPECT_TRUE(info->contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n"))))
        << info->toStdString();
    const std::optional<QString> text = Poppler(
        QStringLiteral("pdftotext"), {QStringLiteral("-layout"), files.pdf, QStringLiteral("-")});
    ASSERT_TRUE(text);
    for (const char* part : {"SN/0042 \"B\"", "Line 2 <east>", "FAIL", "LRF-900 at 50 m",
                             "1 reply without a value, 0 allowed", "qa-op", "9.8.7", "+0.300"})
        EXPECT_TRUE(text->contains(QString::fromUtf8(part))) << part << "\n" << text->toStdString();
}

TEST(UnitReport, AFolderThatCannotBeMadeIsAnError) {
    QTemporaryDir dir;
    QFile blocker(dir.filePath(QStringLiteral("file")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_THROW(
        WriteReport(dir.filePath(QStringLiteral("file/reports")), kPlan, SixtyShots(), Info()),
        ReportError);
}

} // namespace
