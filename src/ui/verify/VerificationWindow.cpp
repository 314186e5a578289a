#include "VerificationWindow.h"

#include "Dialogs.h"
#include "VerificationPanel.h"
#include "ui_VerificationWindow.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>

namespace lrf {

namespace {

const QString kCaption = QStringLiteral("Verification");

QString PathText(const std::filesystem::path& path) {
    return QString::fromStdU16String(path.u16string());
}

std::filesystem::path FsPath(const QString& text) {
    return std::filesystem::path(text.toStdU16String());
}

} // namespace

VerificationWindow::VerificationWindow(QWidget* parent)
    : QWidget(parent, Qt::Window)
    , ui_(std::make_unique<Ui::VerificationWindow>()) {
    ui_->setupUi(this);
    connect(ui_->planBox, &QComboBox::activated, this, &VerificationWindow::planPicked);
    connect(ui_->choosePlansButton, &QPushButton::clicked, this,
            &VerificationWindow::choosePlansFolder);
    connect(ui_->chooseReportsButton, &QPushButton::clicked, this,
            &VerificationWindow::chooseReportsFolder);
    ui_->planCaption->setBuddy(ui_->planBox);
    ui_->plansFolderEdit->setAccessibleName(tr("Plans folder"));
    ui_->reportsFolderEdit->setAccessibleName(tr("Reports folder"));
    ui_->choosePlansButton->setAccessibleName(tr("Choose the plans folder"));
    ui_->chooseReportsButton->setAccessibleName(tr("Choose the reports folder"));
    setReportsFolder(QDir::current().filePath(QStringLiteral("reports")));
    listPlans();
}

VerificationWindow::~VerificationWindow() = default;

VerificationPanel& VerificationWindow::panel() {
    return *ui_->panel;
}

const std::optional<verify::TestPlan>& VerificationWindow::plan() const {
    return ui_->panel->plan();
}

void VerificationWindow::setPlansFolder(const QString& folder) {
    plansFolder_ = folder.isEmpty() ? QString() : QDir(folder).absolutePath();
    ui_->plansFolderEdit->setText(QDir::toNativeSeparators(plansFolder_));
    listPlans();
}

// "(no plan)" first, then the folder's plans by name; the chosen plan is kept
// in the list even when it lies elsewhere.
void VerificationWindow::listPlans() {
    QComboBox& box = *ui_->planBox;
    box.clear();
    box.addItem(tr("(no plan)"));
    if (!plansFolder_.isEmpty())
        for (const std::filesystem::path& file : verify::PlanFiles(FsPath(plansFolder_)))
            box.addItem(PathText(file.stem()), QFileInfo(PathText(file)).absoluteFilePath());
    if (!planFile_.isEmpty()) {
        int index = box.findData(planFile_);
        if (index < 0) {
            box.addItem(QFileInfo(planFile_).completeBaseName(), planFile_);
            index = box.count() - 1;
        }
        box.setCurrentIndex(index);
    }
}

void VerificationWindow::planPicked(int index) {
    const QString file = ui_->planBox->itemData(index).toString();
    if (file.isEmpty())
        clearPlan();
    else if (!choosePlan(file))
        listPlans(); // back to the plan chosen before
}

bool VerificationWindow::choosePlan(const QString& file) {
    verify::TestPlan plan;
    try {
        plan = verify::LoadTestPlan(FsPath(file));
    } catch (const verify::PlanError& e) {
        dialogs().showMessage(this, kCaption, QString::fromUtf8(e.what()));
        return false;
    }
    planFile_ = QFileInfo(file).absoluteFilePath();
    const QString folder = QFileInfo(planFile_).absolutePath();
    if (folder != plansFolder_)
        setPlansFolder(folder);
    else
        listPlans();
    ui_->panel->setPlan(std::move(plan));
    emit planChanged();
    return true;
}

void VerificationWindow::clearPlan() {
    planFile_.clear();
    listPlans();
    ui_->panel->setPlan(std::nullopt);
    emit planChanged();
}

void VerificationWindow::setReportsFolder(const QString& folder) {
    reportsFolder_ = folder.isEmpty() ? QString() : QDir(folder).absolutePath();
    ui_->reportsFolderEdit->setText(QDir::toNativeSeparators(reportsFolder_));
}

void VerificationWindow::choosePlansFolder() {
    const QString folder = dialogs().getExistingDirectory(this, tr("Plans folder"), plansFolder_);
    if (!folder.isEmpty())
        setPlansFolder(folder);
}

void VerificationWindow::chooseReportsFolder() {
    const QString folder =
        dialogs().getExistingDirectory(this, tr("Reports folder"), reportsFolder_);
    if (!folder.isEmpty())
        setReportsFolder(folder);
}

void VerificationWindow::showStatus(const QString& text) {
    ui_->statusLabel->setText(text);
}

QString VerificationWindow::statusText() const {
    return ui_->statusLabel->text();
}

void VerificationWindow::lockChoices(bool locked) {
    for (QWidget* w :
         {static_cast<QWidget*>(ui_->planBox), static_cast<QWidget*>(ui_->choosePlansButton),
          static_cast<QWidget*>(ui_->chooseReportsButton)})
        w->setEnabled(!locked);
}

// The first time to the right of the main window where the screen has room,
// else where the window system puts it.
void VerificationWindow::showBeside(bool activate) {
    if (!placed_) {
        placed_ = true;
        if (const QWidget* owner = parentWidget()) {
            const QRect frame = owner->frameGeometry();
            const QScreen* screen = owner->screen();
            const QPoint place(frame.right() + 8, frame.top());
            if (screen &&
                screen->availableGeometry().contains(QRect(place, size()).adjusted(0, 0, -1, -1)))
                move(place);
        }
    }
    setAttribute(Qt::WA_ShowWithoutActivating, !activate);
    show();
    raise();
    if (activate)
        activateWindow();
}

} // namespace lrf
