#include "Dialogs.h"

#include <QFileDialog>
#include <QMessageBox>

namespace lrf {

namespace {

class QtDialogs final : public Dialogs {
public:
    void showMessage(QWidget* parent, const QString& caption, const QString& text) override {
        QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, parent);
        box.exec();
    }

    QString getSaveFileName(QWidget* parent, const QString& initialPath, const QString& filter,
                            const QString& defaultSuffix) override {
        QFileDialog dialog(parent, QString(), initialPath, filter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(defaultSuffix);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return {};
        return dialog.selectedFiles().constFirst();
    }
};

QtDialogs realDialogs;
Dialogs* current = nullptr;

} // namespace

Dialogs& dialogs() {
    return current ? *current : realDialogs;
}

void setDialogs(Dialogs* replacement) {
    current = replacement;
}

} // namespace lrf
