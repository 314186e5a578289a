#include "PlanRun.h"

#include "LrfVersion.h"
#include "UnitReport.h"

#include <QSysInfo>

namespace lrf::measure {

namespace {

QString FromBytes(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

int VerdictExitStatus(verify::Verdict verdict) {
    switch (verdict) {
    case verify::Verdict::Pass:
        return kExitDone;
    case verify::Verdict::Marginal:
        return kExitMarginal;
    case verify::Verdict::Fail:
    case verify::Verdict::NoValue:
        break;
    }
    return kExitFail;
}

PlanRun::PlanRun(const MeasureOptions& options)
    : options_(options)
    , judge_(*options.plan)
    , start_(QDateTime::currentDateTime()) {}

namespace {

QString Station(const std::string& named) {
    return named.empty() ? QSysInfo::machineHostName() : FromBytes(named);
}

} // namespace

verify::UnitRecord PlanRun::Record() const {
    verify::UnitRecord unit;
    unit.station = Station(options_.station).toStdString();
    unit.operatorName = verify::SystemUser().toStdString();
    unit.instrumentCode = options_.texts.InstrumentCode;
    unit.model = options_.texts.Model;
    unit.place = options_.texts.Place;
    unit.plan = judge_.plan();
    unit.start = std::chrono::system_clock::time_point(
        std::chrono::milliseconds(start_.toMSecsSinceEpoch()));
    return unit;
}

void PlanRun::Attach(verify::UnitResultSink* sink) {
    sink_ = sink;
    if (sink_)
        sink_->UnitStarted(Record());
}

void PlanRun::Conclude() {
    if (!sink_)
        return;
    verify::UnitRecord unit = Record();
    unit.result = judge_.Result();
    unit.end = std::chrono::system_clock::now();
    sink_->UnitFinished(unit);
    sink_ = nullptr;
}

std::string PlanRun::Judge(const Measurement& m) {
    const verify::ShotResult shot = judge_.Add(m);
    if (sink_)
        sink_->ShotJudged(shot);
    return "\"deviation\":" +
           (shot.deviation ? verify::NumberText(*shot.deviation, 3) : std::string("null")) +
           ",\"deviation_unit\":\"" + std::string(verify::PlanUnitName(judge_.plan().unit)) +
           "\",\"verdict\":\"" + std::string(verify::VerdictText(shot.verdict)) + '"';
}

int PlanRun::Finish(int runStatus, std::FILE* err) {
    const verify::UnitResult result = judge_.Result();
    const verify::TestPlan& plan = judge_.plan();
    const verify::UnitStatistics& s = result.statistics;
    const std::string unit(verify::PlanUnitName(plan.unit));
    const std::string& code = options_.texts.InstrumentCode;
    std::string line = (code.empty() ? std::string("unit") : code) + ": " +
                       verify::VerdictLine(result) + " (" + std::to_string(s.replies) + " of " +
                       std::to_string(plan.shots) + " shots";
    if (s.values > 0)
        line += ", mean deviation " + verify::NumberText(s.meanDeviation, 3, true) + " " + unit +
                ", standard deviation " + verify::NumberText(s.stdDev, 3) + " " + unit;
    line += ")";

    int status = runStatus == kExitDone ? VerdictExitStatus(result.verdict) : runStatus;
    if (!options_.reportFolder.empty()) {
        verify::ReportInfo info;
        info.station = Station(options_.station);
        info.operatorName = verify::SystemUser();
        info.version = QString::fromUtf8(LRF_VERSION);
        info.model = FromBytes(options_.texts.Model);
        info.instrumentCode = FromBytes(code);
        info.place = FromBytes(options_.texts.Place);
        info.destination = FromBytes(options_.texts.Destination);
        info.start = start_;
        info.end = QDateTime::currentDateTime();
        try {
            const verify::ReportFiles files =
                verify::WriteReport(FromBytes(options_.reportFolder), plan, result, info);
            line += ", report " + files.pdf.toStdString();
        } catch (const verify::ReportError& e) {
            std::fprintf(err, "lrfmeasure: %s\n", e.what());
            status = kExitOutputFailed;
        }
    }
    std::fprintf(err, "%s\n", line.c_str());
    std::fflush(err);
    return status;
}

} // namespace lrf::measure
