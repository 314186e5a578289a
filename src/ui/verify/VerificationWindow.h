#pragma once

#include "TestPlan.h"

#include <QString>
#include <QWidget>

#include <memory>
#include <optional>

namespace Ui {
class VerificationWindow;
}

namespace lrf {

class VerificationPanel;

// The window of a test line beside the main window: the plans folder and the
// plan units are checked against, the reports folder, and the verification
// panel of the unit under test. No plan is chosen at start, so the program
// measures as it always has; the reports go into "reports" in the working
// folder until another folder is chosen.
class VerificationWindow : public QWidget {
    Q_OBJECT

public:
    explicit VerificationWindow(QWidget* parent = nullptr);
    ~VerificationWindow() override;

    // Lists the folder's plans; the plan chosen before stays chosen when the
    // folder still holds it.
    void setPlansFolder(const QString& folder);
    QString plansFolder() const { return plansFolder_; }
    // Chooses the plan file (its folder becomes the plans folder). A plan that
    // cannot be read is told and changes nothing; returns whether it is chosen.
    bool choosePlan(const QString& file);
    // Back to no plan.
    void clearPlan();
    const std::optional<verify::TestPlan>& plan() const;

    void setReportsFolder(const QString& folder);
    QString reportsFolder() const { return reportsFolder_; }

    VerificationPanel& panel();
    // A line under the panel: the last report written, why a scan was refused.
    void showStatus(const QString& text);
    QString statusText() const;
    // While a unit is tested its plan and folders stay as they are.
    void lockChoices(bool locked);

    // Opens the window beside its owner, or brings it to the front; without
    // `activate` the focus stays where it is (in the field a scanner types into).
    void showBeside(bool activate = true);

signals:
    void planChanged();

private:
    void planPicked(int index);
    void choosePlansFolder();
    void chooseReportsFolder();
    void listPlans();

    std::unique_ptr<Ui::VerificationWindow> ui_;
    QString plansFolder_;
    QString reportsFolder_;
    QString planFile_; // the chosen plan's file; empty for none
    bool placed_ = false;
};

} // namespace lrf
