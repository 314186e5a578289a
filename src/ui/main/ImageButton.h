#pragma once

#include "ImageList.h"

#include <QPushButton>

namespace lrf {

// A push button whose state is the index of the image it shows. Handlers test
// imageIndex() to decide what a press does; setImageIndex() changes state and
// picture together. Buttons without an index carry a glyph instead.
//
// Its face and text take their colours together from the application's
// palette, so a dark theme gets light text on a dark face; Enter presses it as
// Space does.
class ImageButton : public QPushButton {
    Q_OBJECT

public:
    explicit ImageButton(QWidget* parent = nullptr);

    int imageIndex() const { return imageIndex_; }
    void setImageIndex(int index);

    void setGlyph(Glyph glyph);

    // The name a screen reader says: `idle`, or `busy` while the button shows
    // the image `busyImage` (its running or open state).
    void setAccessibleNames(const QString& idle, const QString& busy = {}, int busyImage = imgNone);

    // Sets the largest text size, up to the button's font's, at which every
    // caption fits beside the icon inside the border and padding.
    void fitCaptions(const QStringList& captions);

    // The style sheet of the face, border and text for a palette.
    static QString StyleFor(const QPalette& palette);

protected:
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void followPalette();
    void nameState();

    int imageIndex_ = imgNone;
    QString idleName_;
    QString busyName_;
    int busyImage_ = imgNone;
};

} // namespace lrf
