#pragma once

#include "MeasureOptions.h"
#include "UnitResultSink.h"
#include "Verdict.h"

#include <QDateTime>

#include <cstdio>
#include <string>

namespace lrf::measure {

// A run that checks one unit against a test plan: each reply's deviation and
// verdict as it comes, and at the end the unit's verdict line, its report and
// the exit status that tells the verdict.
class PlanRun {
public:
    explicit PlanRun(const MeasureOptions& options);

    // Tells sink of the unit now (its run has begun), of each reply and of its end.
    void Attach(verify::UnitResultSink* sink);

    // Judges a reply; the JSON fields that its record line carries besides the
    // log's: "deviation", "deviation_unit" and "verdict".
    std::string Judge(const Measurement& m);

    // Hands the unit's verdict to the attached sink; before the journal ends.
    void Conclude();

    // The unit's verdict line on `err`, the report when one was asked for.
    // `runStatus` is how the run ended: a run that ended early keeps its own
    // status, a complete one gets 0 PASS, 7 MARGINAL, 8 FAIL; a report that
    // cannot be written gives kExitOutputFailed.
    int Finish(int runStatus, std::FILE* err);

    const verify::UnitJudge& judge() const { return judge_; }

private:
    verify::UnitRecord Record() const;

    const MeasureOptions& options_;
    verify::UnitJudge judge_;
    QDateTime start_;
    verify::UnitResultSink* sink_ = nullptr;
};

// The exit status that tells a unit's verdict.
int VerdictExitStatus(verify::Verdict verdict);

} // namespace lrf::measure
