#pragma once

#include <QString>

class QWidget;

namespace lrf {

// The modal windows the program opens. Everything that shows a message box or
// asks for a file name goes through this interface, so tests can replace it
// and no test ever blocks on a modal window.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    // A modal message box with a single OK button; returns when it is closed.
    virtual void showMessage(QWidget* parent, const QString& caption, const QString& text) = 0;

    // The save-file dialog; returns the chosen path, or an empty text when the
    // operator cancels. defaultSuffix is appended to a name typed without one.
    virtual QString getSaveFileName(QWidget* parent, const QString& initialPath,
                                    const QString& filter, const QString& defaultSuffix) = 0;

    // The save-file dialog for a picture: PNG or SVG, the default suffix
    // following the type the operator picks. Replacements that do not care get
    // getSaveFileName with both filters and the suffix "png".
    virtual QString getSaveImageName(QWidget* parent, const QString& initialPath);
};

inline const QString kImageFilters = QStringLiteral("PNG image (*.png);;SVG image (*.svg)");

// The dialogs in use: the real Qt dialogs unless a test installed others.
Dialogs& dialogs();

// Installs replacement dialogs (nullptr restores the real ones). The caller
// keeps ownership and must keep the object alive while it is installed.
void setDialogs(Dialogs* replacement);

} // namespace lrf
