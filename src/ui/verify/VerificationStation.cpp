#include "VerificationStation.h"

#include "MainControls.h"
#include "MainFrm.h"

#include <QAction>

namespace lrf {

VerificationStation::VerificationStation(TForm1& form)
    : form_(form)
    , window_(&form)
    , scan_(form, window_) {
    auto* open = new QAction(QObject::tr("Verification..."), &form);
    open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    // From the log window and the chart too, as the measuring keys.
    open->setShortcutContext(Qt::ApplicationShortcut);
    QObject::connect(open, &QAction::triggered, &window_, &VerificationWindow::showBeside);
    form.addAction(open);
    form.setContextMenuPolicy(Qt::ActionsContextMenu);
}

void VerificationStation::applyChoices(const QString& planFile, const QString& reportsFolder) {
    if (!reportsFolder.isEmpty())
        window_.setReportsFolder(reportsFolder);
    if (!planFile.isEmpty()) {
        window_.choosePlan(planFile);
        window_.showBeside(false);
        form_.controls().RzEdit2->setFocus();
    }
}

} // namespace lrf
