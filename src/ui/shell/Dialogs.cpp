#include "Dialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace lrf {

void Dialogs::showDetailedMessage(QWidget* parent, const QString& caption, const QString& text,
                                  const QString& detail) {
    showMessage(parent, caption, detail.isEmpty() ? text : text + QStringLiteral("\n\n") + detail);
}

namespace {

class QtDialogs final : public Dialogs {
public:
    void showMessage(QWidget* parent, const QString& caption, const QString& text) override {
        QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, parent);
        box.exec();
    }

    void showDetailedMessage(QWidget* parent, const QString& caption, const QString& text,
                             const QString& detail) override {
        QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, parent);
        box.setInformativeText(detail);
        box.exec();
    }

    int ask(QWidget* parent, const QString& caption, const QString& text, const QString& detail,
            const QStringList& answers) override {
        QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::NoButton, parent);
        box.setInformativeText(detail);
        QList<QAbstractButton*> buttons;
        for (const QString& answer : answers)
            buttons << box.addButton(answer, QMessageBox::ActionRole);
        if (buttons.isEmpty())
            return 0;
        box.setDefaultButton(static_cast<QPushButton*>(buttons.constFirst()));
        box.setEscapeButton(buttons.constFirst());
        box.exec();
        const qsizetype index = buttons.indexOf(box.clickedButton());
        return index < 0 ? 0 : static_cast<int>(index);
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

    QString getExistingDirectory(QWidget* parent, const QString& caption,
                                 const QString& startDirectory) override {
        QFileDialog dialog(parent, caption, startDirectory);
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return {};
        return dialog.selectedFiles().constFirst();
    }

    QString getSaveImageName(QWidget* parent, const QString& initialPath) override {
        QFileDialog dialog(parent, QString(), initialPath, kImageFilters);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        const auto suffixFor = [](const QString& filter) {
            return filter.contains(QLatin1String("*.svg")) ? QStringLiteral("svg")
                                                           : QStringLiteral("png");
        };
        if (initialPath.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive))
            dialog.selectNameFilter(dialog.nameFilters().value(1));
        dialog.setDefaultSuffix(suffixFor(dialog.selectedNameFilter()));
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                         [&dialog, suffixFor](const QString& filter) {
                             dialog.setDefaultSuffix(suffixFor(filter));
                         });
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return {};
        return dialog.selectedFiles().constFirst();
    }
};

QtDialogs realDialogs;
Dialogs* current = nullptr;

} // namespace

QString Dialogs::getSaveImageName(QWidget* parent, const QString& initialPath) {
    return getSaveFileName(parent, initialPath, kImageFilters, QStringLiteral("png"));
}

Dialogs& dialogs() {
    return current ? *current : realDialogs;
}

void setDialogs(Dialogs* replacement) {
    current = replacement;
}

} // namespace lrf
