#pragma once

#include "Verdict.h"

#include <QString>
#include <QWidget>

#include <memory>
#include <optional>

namespace Ui {
class VerificationPanel;
}

namespace lrf {

// The check of one unit after the other against a test plan, beside the
// measuring windows: the plan, the unit's running statistics against the
// plan's limits, and its verdict as a large word that reads from across the
// room (its colour only repeats what the word says).
class VerificationPanel : public QWidget {
    Q_OBJECT

public:
    explicit VerificationPanel(QWidget* parent = nullptr);
    ~VerificationPanel() override;

    // The plan units are checked against; none shows that no plan is chosen.
    void setPlan(std::optional<verify::TestPlan> plan);
    const std::optional<verify::TestPlan>& plan() const { return plan_; }

    // A new unit: its statistics start from nothing.
    void startUnit(const QString& instrumentCode);
    // A reply of the unit's run; nothing without a plan or a unit.
    std::optional<verify::ShotResult> add(const Measurement& m);
    // The unit's run is over, also when it ended early: the verdict is final.
    verify::UnitResult finishUnit();

    bool testing() const { return judge_.has_value() && !finished_; }
    // The verdict's word as it shows ("PASS", "TESTING", "NO PLAN", ...).
    QString verdictText() const;

signals:
    // The unit's run has as many replies as the plan has shots.
    void unitComplete();

private:
    void showPlan();
    void showResult();

    std::unique_ptr<Ui::VerificationPanel> ui_;
    std::optional<verify::TestPlan> plan_;
    std::optional<verify::UnitJudge> judge_;
    QString code_;
    bool finished_ = false;
};

} // namespace lrf
