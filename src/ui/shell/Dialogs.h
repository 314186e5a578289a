#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace lrf {

// The modal windows the program opens. Everything that shows a message box or
// asks for a file or folder name goes through this interface, so tests can
// replace it and no test ever blocks on a modal window.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    // A modal message box with a single OK button; returns when it is closed.
    virtual void showMessage(QWidget* parent, const QString& caption, const QString& text) = 0;

    // The same box with a second line of detail under the text (why something
    // failed). The default shows the detail as a paragraph of the text.
    virtual void showDetailedMessage(QWidget* parent, const QString& caption, const QString& text,
                                     const QString& detail);

    // A modal question with one button per answer, in the order given; returns
    // the index of the answer. Closing the box (Esc, the title bar) gives the
    // first answer, so list the one that loses nothing first.
    virtual int ask(QWidget* parent, const QString& caption, const QString& text,
                    const QString& detail, const QStringList& answers) = 0;

    // The save-file dialog; returns the chosen path, or an empty text when the
    // operator cancels. defaultSuffix is appended to a name typed without one.
    virtual QString getSaveFileName(QWidget* parent, const QString& initialPath,
                                    const QString& filter, const QString& defaultSuffix) = 0;

    // The folder dialog; returns the chosen folder, or an empty text when the
    // operator cancels.
    virtual QString getExistingDirectory(QWidget* parent, const QString& caption,
                                         const QString& startDirectory) = 0;

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
