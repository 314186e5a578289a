#include "VerificationPanel.h"

#include "ui_VerificationPanel.h"

namespace lrf {

namespace {

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

QString Number(double value, int decimals, bool sign = false) {
    return Text(verify::NumberText(value, decimals, sign));
}

// The verdict's frame: a light colour behind a dark word, so that the word
// reads in any palette and the colour only repeats it.
QString VerdictStyle(const QString& background) {
    return QStringLiteral("QLabel { background: %1; color: black; border: 3px solid black; }")
        .arg(background);
}

} // namespace

VerificationPanel::VerificationPanel(QWidget* parent)
    : QWidget(parent)
    , ui_(std::make_unique<Ui::VerificationPanel>()) {
    ui_->setupUi(this);
    QFont big = ui_->verdictLabel->font();
    big.setPointSize(48);
    big.setBold(true);
    ui_->verdictLabel->setFont(big);
    showPlan();
    showResult();
}

VerificationPanel::~VerificationPanel() = default;

void VerificationPanel::setPlan(std::optional<verify::TestPlan> plan) {
    plan_ = std::move(plan);
    judge_.reset();
    finished_ = false;
    code_.clear();
    showPlan();
    showResult();
}

void VerificationPanel::startUnit(const QString& instrumentCode) {
    if (!plan_)
        return;
    judge_.emplace(*plan_);
    code_ = instrumentCode;
    finished_ = false;
    showResult();
}

std::optional<verify::ShotResult> VerificationPanel::add(const Measurement& m) {
    if (!judge_ || finished_)
        return std::nullopt;
    const verify::ShotResult shot = judge_->Add(m);
    if (judge_->Result().statistics.replies >= plan_->shots) {
        finished_ = true;
        showResult();
        emit unitComplete();
    } else {
        showResult();
    }
    return shot;
}

verify::UnitResult VerificationPanel::finishUnit() {
    if (!judge_)
        return {};
    finished_ = true;
    showResult();
    return judge_->Result();
}

QString VerificationPanel::verdictText() const {
    return ui_->verdictLabel->text();
}

void VerificationPanel::showPlan() {
    if (!plan_) {
        ui_->planLabel->setText(tr("No test plan chosen."));
        return;
    }
    const verify::TestPlan& p = *plan_;
    QString text = QStringLiteral("<b>%1</b>: %2 shots at %3 %4, &plusmn;%5")
                       .arg(Text(p.name).toHtmlEscaped())
                       .arg(p.shots)
                       .arg(Number(p.reference, 3), Text(std::string(verify::PlanUnitName(p.unit))),
                            Text(verify::LimitText(p.tolerance, p)));
    if (p.marginal)
        text += tr(" (outer %1 marginal)").arg(Text(verify::LimitText(*p.marginal, p)));
    ui_->planLabel->setText(text);
}

void VerificationPanel::showResult() {
    QLabel& verdict = *ui_->verdictLabel;
    if (!plan_ || !judge_) {
        verdict.setText(plan_ ? tr("READY") : tr("NO PLAN"));
        verdict.setStyleSheet(VerdictStyle(QStringLiteral("#e0e0e0")));
        ui_->unitLabel->clear();
        ui_->reasonsLabel->clear();
        for (QLabel* value : {ui_->shotsValue, ui_->verdictsValue, ui_->meanValue, ui_->stdDevValue,
                              ui_->noValueValue})
            value->setText(QStringLiteral("-"));
        verdict.setAccessibleName(tr("Verdict: %1").arg(verdict.text()));
        return;
    }
    const verify::TestPlan& p = *plan_;
    const verify::UnitResult result = judge_->Result();
    const verify::UnitStatistics& s = result.statistics;
    const QString unit = QLatin1Char(' ') + Text(std::string(verify::PlanUnitName(p.unit)));
    ui_->unitLabel->setText(tr("Unit: %1").arg(code_.isEmpty() ? tr("(no code)") : code_));
    ui_->shotsValue->setText(tr("%1 of %2").arg(s.replies).arg(p.shots));
    ui_->verdictsValue->setText(
        QStringLiteral("%1 / %2 / %3 / %4").arg(s.pass).arg(s.marginal).arg(s.fail).arg(s.noValue));
    const auto against = [&](const QString& value, const std::optional<verify::Limit>& limit,
                             const QString& prefix) {
        return limit ? tr("%1 (limit %2%3)").arg(value, prefix, Text(verify::LimitText(*limit, p)))
                     : value;
    };
    ui_->meanValue->setText(s.values > 0 ? against(Number(s.meanDeviation, 3, true) + unit,
                                                   p.meanDeviation, QStringLiteral("±"))
                                         : QStringLiteral("-"));
    ui_->stdDevValue->setText(s.values > 0
                                  ? against(Number(s.stdDev, 3) + unit, p.stdDev, QString())
                                  : QStringLiteral("-"));
    ui_->noValueValue->setText(tr("%1 (allowed %2)").arg(s.noValue).arg(p.maxNoValue));

    if (!finished_) {
        verdict.setText(tr("TESTING"));
        verdict.setStyleSheet(VerdictStyle(QStringLiteral("#d8e4f8")));
        ui_->reasonsLabel->clear();
    } else {
        verdict.setText(Text(std::string(verify::VerdictText(result.verdict))));
        verdict.setStyleSheet(VerdictStyle(result.verdict == verify::Verdict::Pass ? "#b8ecb8"
                                           : result.verdict == verify::Verdict::Marginal
                                               ? "#f8e090"
                                               : "#f8a8a8"));
        QStringList reasons;
        for (const std::string& reason : result.reasons)
            reasons << Text(reason);
        ui_->reasonsLabel->setText(reasons.join(QLatin1Char('\n')));
    }
    verdict.setAccessibleName(tr("Verdict: %1").arg(verdict.text()));
}

} // namespace lrf
