#include "ScanToStart.h"

#include "Dialogs.h"
#include "LrfVersion.h"
#include "MainControls.h"
#include "MainFrm.h"
#include "MeasurementSession.h"
#include "PortReconnect.h"
#include "UnitReport.h"
#include "VerificationPanel.h"
#include "VerificationWindow.h"

#include <QDir>
#include <QFileInfo>
#include <QSysInfo>

#include <algorithm>
#include <string_view>
#include <utility>

namespace lrf {

namespace {

const QString kCaption = QStringLiteral("Verification");

std::chrono::system_clock::time_point TimePoint(const QDateTime& t) {
    return std::chrono::system_clock::time_point(std::chrono::milliseconds(t.toMSecsSinceEpoch()));
}

QString Verdict(const verify::UnitResult& result) {
    const std::string_view text = verify::VerdictText(result.verdict);
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

ScanToStart::ScanToStart(TForm1& form, VerificationWindow& window, QObject* parent)
    : QObject(parent)
    , form_(form)
    , window_(window) {
    MeasurementSession& session = form_.session();
    connect(form_.controls().RzEdit2, &QLineEdit::returnPressed, this, &ScanToStart::codeEntered);
    connect(&session, &MeasurementSession::measured, this, &ScanToStart::measured);
    connect(&window_.panel(), &VerificationPanel::unitComplete, this, &ScanToStart::finish);
    // The ways a run ends besides its last reply. Connected after the main
    // window's own handlers, so they run after its messages have been closed.
    connect(&session, &MeasurementSession::runCompleted, this, &ScanToStart::finish);
    connect(&session, &MeasurementSession::noReply, this, &ScanToStart::finish);
    connect(&session, &MeasurementSession::runChanged, this, [this](RunMode mode, bool running) {
        if (unit_ && mode == unit_->mode && !running)
            runStopped();
    });
    connect(&session, &MeasurementSession::deviceGone, this, &ScanToStart::runStopped);
    connect(&form_.portReconnect(), &PortReconnect::gaveUp, this, &ScanToStart::finish);
}

ScanToStart::~ScanToStart() = default;

void ScanToStart::attachSink(verify::UnitResultSink& sink) {
    if (std::find(sinks_.begin(), sinks_.end(), &sink) == sinks_.end())
        sinks_.push_back(&sink);
}

void ScanToStart::detachSink(verify::UnitResultSink& sink) {
    std::erase(sinks_, &sink);
}

void ScanToStart::codeEntered() {
    if (!window_.plan())
        return;
    QLineEdit& field = *form_.controls().RzEdit2;
    const QString code = field.text().trimmed();
    field.selectAll(); // the next scan replaces the code
    if (code.isEmpty())
        return;
    if (unit_) {
        window_.showStatus(
            tr("%1 was not started: unit %2 is being tested.").arg(code, unit_->code));
        return;
    }
    MeasurementSession& session = form_.session();
    if (session.busy()) {
        window_.showStatus(tr("%1 was not started: a run is going on.").arg(code));
        return;
    }
    if (!session.isOpen()) {
        window_.showStatus(tr("%1 was not started: the port is closed.").arg(code));
        dialogs().showMessage(window_.isVisible() ? static_cast<QWidget*>(&window_) : &form_,
                              kCaption, tr("Open the port before testing a unit."));
        return;
    }
    if (!mayTestAgain(code)) {
        window_.showStatus(tr("%1 was not tested again.").arg(code));
        return;
    }
    start(code);
}

bool ScanToStart::mayTestAgain(const QString& code) {
    const std::optional<QString> earlier = testedToday(code);
    if (!earlier)
        return true;
    QWidget* parent = window_.isVisible() ? static_cast<QWidget*>(&window_) : &form_;
    return dialogs().ask(parent, kCaption,
                         tr("Unit %1 was already tested today. Test it again?").arg(code), *earlier,
                         {tr("Do not test"), tr("Test again")}) == 1;
}

// Tested today: by this program (with its verdict), or a report of the code
// from today in the reports folder (from an earlier start, or lrfmeasure).
std::optional<QString> ScanToStart::testedToday(const QString& code) const {
    const QDate today = QDate::currentDate();
    if (const auto it = tested_.constFind(code);
        it != tested_.constEnd() && it->end.date() == today)
        return tr("At %1: %2.").arg(it->end.toString(QStringLiteral("HH:mm:ss")), it->verdict);
    if (window_.reportsFolder().isEmpty())
        return std::nullopt;
    verify::ReportInfo info;
    info.instrumentCode = code;
    info.end = QDateTime::currentDateTime();
    // The base name without its time of day: "SN-0042_20261209-".
    const QString prefix = verify::ReportBaseName(info).chopped(6);
    const QStringList reports =
        QDir(window_.reportsFolder()).entryList({QStringLiteral("*.pdf")}, QDir::Files, QDir::Name);
    for (const QString& name : reports)
        if (name.startsWith(prefix))
            return tr("Its report %1 is in the reports folder.").arg(name);
    return std::nullopt;
}

void ScanToStart::start(const QString& code) {
    const verify::TestPlan& plan = *window_.plan();
    const RunMode mode =
        plan.quantity == verify::Quantity::Speed ? RunMode::Speed : RunMode::Distance;
    unit_ = Unit{code, plan, QDateTime::currentDateTime(), mode,
                 form_.controls().RzNumericEdit1->value()};
    // The verdict shows also when the window was closed; the focus stays in
    // the code field for the next scan.
    if (!window_.isVisible())
        window_.showBeside(false);
    window_.panel().startUnit(code);
    window_.lockChoices(true);
    window_.showStatus(tr("Testing %1.").arg(code));
    // Those that keep units hear of it before its first shot, so that a crash
    // during its run leaves them what they need to close it.
    const verify::UnitRecord started = record(*unit_);
    tell(code, [&](verify::UnitResultSink& sink) { sink.UnitStarted(started); });
    form_.startPlannedRun(mode, plan.shots);
}

void ScanToStart::measured(const Measurement& m) {
    if (!unit_)
        return;
    if (const std::optional<verify::ShotResult> shot = window_.panel().add(m))
        tell(unit_->code, [&](verify::UnitResultSink& sink) { sink.ShotJudged(*shot); });
}

// A run that stopped with no reply owed is over; one whose last shot is still
// answered (or whose device is awaited) ends with that.
void ScanToStart::runStopped() {
    if (unit_ && !form_.session().busy())
        finish();
}

void ScanToStart::finish() {
    if (!unit_)
        return;
    const Unit unit = *std::exchange(unit_, std::nullopt);
    MeasurementSession& session = form_.session();
    if (session.running(unit.mode))
        session.stopRun(unit.mode);
    const verify::UnitResult result = window_.panel().finishUnit();
    const QDateTime end = QDateTime::currentDateTime();
    form_.controls().RzNumericEdit1->setValue(unit.shotField);
    window_.lockChoices(false);
    tested_.insert(unit.code, {end, Verdict(result)});

    const QString report = writeReport(result, unit, end);
    window_.showStatus(
        report.isEmpty() ? tr("%1: %2, no report.").arg(unit.code, Verdict(result))
                         : tr("%1: %2, report %3")
                               .arg(unit.code, Verdict(result), QDir::toNativeSeparators(report)));
    verify::UnitRecord finished = record(unit);
    finished.result = result;
    finished.end = TimePoint(end);
    tell(unit.code, [&](verify::UnitResultSink& sink) { sink.UnitFinished(finished); });
    emit unitFinished(finished);
}

// The unit as those that keep it see it; its result and end come at its end.
verify::UnitRecord ScanToStart::record(const Unit& unit) const {
    const MainControls& c = form_.controls();
    verify::UnitRecord r;
    r.station = (station_.isEmpty() ? QSysInfo::machineHostName() : station_).toStdString();
    r.operatorName = verify::SystemUser().toStdString();
    r.instrumentCode = unit.code.toStdString();
    r.model = c.RzEdit1->text().toStdString();
    r.place = c.RzEdit3->text().toStdString();
    r.plan = unit.plan;
    r.start = TimePoint(unit.start);
    r.end = r.start;
    return r;
}

// The report's PDF, or nothing when it could not be written (told).
QString ScanToStart::writeReport(const verify::UnitResult& result, const Unit& unit,
                                 const QDateTime& end) {
    const QString folder =
        window_.reportsFolder().isEmpty() ? QDir::currentPath() : window_.reportsFolder();
    const MainControls& c = form_.controls();
    verify::ReportInfo info;
    info.station = station_.isEmpty() ? QSysInfo::machineHostName() : station_;
    info.operatorName = verify::SystemUser();
    info.version = QString::fromUtf8(LRF_VERSION);
    info.model = c.RzEdit1->text();
    info.instrumentCode = unit.code;
    info.place = c.RzEdit3->text();
    info.destination = c.RzEdit4->text();
    info.start = unit.start;
    info.end = end;
    try {
        return verify::WriteReport(folder, unit.plan, result, info).pdf;
    } catch (const verify::ReportError& e) {
        dialogs().showMessage(&window_, kCaption,
                              tr("The report of %1 was not written.\n%2")
                                  .arg(unit.code, QString::fromUtf8(e.what())));
    }
    return {};
}

template <typename Call> void ScanToStart::tell(const QString& code, Call call) {
    for (verify::UnitResultSink* sink : std::vector(sinks_)) {
        try {
            call(*sink);
        } catch (const std::exception& e) {
            dialogs().showMessage(
                &window_, kCaption,
                tr("The verdict of %1 was not kept.\n%2").arg(code, QString::fromUtf8(e.what())));
        }
    }
}

} // namespace lrf
