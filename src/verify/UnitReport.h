#pragma once

// The report of one unit under test: one printable page, as HTML and as PDF,
// with who tested what where, the plan and its limits, every shot, the
// statistics, the chart of the deviations and the verdict with its reasons.
// Needs a QGuiApplication (fonts and images).

#include "TestPlan.h"
#include "Verdict.h"

#include <QDateTime>
#include <QImage>
#include <QString>

#include <stdexcept>

namespace lrf::verify {

struct ReportInfo {
    QString station;
    QString operatorName; // the system user
    QString version;      // of the software
    QString model;
    QString instrumentCode;
    QString place;
    QString destination;
    QDateTime start;
    QDateTime end;
};

// The report could not be written; the message names the file and the reason.
class ReportError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct ReportFiles {
    QString html;
    QString pdf;
};

// The chart of the deviations: the tolerance band and its marginal edges, one
// mark per shot (a dot PASS, a triangle MARGINAL, a cross FAIL, so that no
// verdict is told by colour alone), no-value replies as ticks on the axis.
QImage DeviationChart(const TestPlan& plan, const UnitResult& result, QSize size = {680, 220});

// The page as HTML; the chart is the image at `chartSource`.
QString ReportHtml(const TestPlan& plan, const UnitResult& result, const ReportInfo& info,
                   const QString& chartSource);
// The user this program runs as, for the report's operator.
QString SystemUser();
// The files' base name: the instrument code (characters that no file name may
// hold replaced) and the end time, "SN-0042_20261209-231500".
QString ReportBaseName(const ReportInfo& info);
// Writes the HTML (the chart inside it) and the one-page PDF into `folder`,
// which is made when missing. Throws ReportError.
ReportFiles WriteReport(const QString& folder, const TestPlan& plan, const UnitResult& result,
                        const ReportInfo& info);

} // namespace lrf::verify
