#include "ImageButton.h"

#include "Fonts.h"

#include <QApplication>
#include <QKeyEvent>

namespace lrf {

namespace {

QString Rgb(const QColor& c) {
    return QStringLiteral("rgb(%1, %2, %3)").arg(c.red()).arg(c.green()).arg(c.blue());
}

} // namespace

// The common look of the image buttons: a light face, a blue highlight when
// pressed and an amber frame under the mouse. A dark palette keeps its own
// face and text, and its highlight pair for the pressed button; the focus
// ring is the palette's highlight, two pixels wide.
QString ImageButton::StyleFor(const QPalette& palette) {
    const bool light = palette.color(QPalette::ButtonText).lightness() < 128;
    const QColor face = light ? QColor(244, 244, 240) : palette.color(QPalette::Button);
    const QColor text = palette.color(QPalette::ButtonText);
    const QColor pressedFace = light ? QColor(106, 141, 244) : palette.color(QPalette::Highlight);
    const QColor pressedText = light ? QColor(Qt::white) : palette.color(QPalette::HighlightedText);
    const QColor border = light ? QColor(160, 160, 160) : palette.color(QPalette::Mid);
    const QColor disabledText = palette.color(QPalette::Disabled, QPalette::ButtonText);
    return QStringLiteral("lrf--ImageButton { background-color: %1; color: %2;"
                          " border: 1px solid %3; border-radius: 2px; padding: 1px 2px; }"
                          "lrf--ImageButton:disabled { color: %4; }"
                          "lrf--ImageButton:focus { border: 2px solid %5; }"
                          "lrf--ImageButton:hover { border: 2px solid rgb(255, 199, 60); }"
                          "lrf--ImageButton:pressed { background-color: %6; color: %7; }")
        .arg(Rgb(face), Rgb(text), Rgb(border), Rgb(disabledText),
             Rgb(palette.color(QPalette::Highlight)), Rgb(pressedFace), Rgb(pressedText));
}

ImageButton::ImageButton(QWidget* parent)
    : QPushButton(parent) {
    followPalette();
    setIconSize(QSize(kImageSize, kImageSize));
}

void ImageButton::setImageIndex(int index) {
    imageIndex_ = index;
    setIcon(ButtonImage(index));
    nameState();
}

void ImageButton::setGlyph(Glyph glyph) {
    imageIndex_ = imgNone;
    setIcon(ButtonGlyph(glyph));
    nameState();
}

void ImageButton::fitCaptions(const QStringList& captions) {
    // The border is two pixels under the mouse and with the focus, the padding
    // two; the icon keeps a gap of four to the text.
    const int iconRoom = icon().isNull() ? 0 : iconSize().width() + 4;
    const QSize room(width() - 2 * (2 + 2) - iconRoom, height() - 2 * (2 + 1));
    setFont(FittedFont(font(), captions, room));
}

void ImageButton::setAccessibleNames(const QString& idle, const QString& busy, int busyImage) {
    idleName_ = idle;
    busyName_ = busy;
    busyImage_ = busyImage;
    nameState();
}

void ImageButton::nameState() {
    const bool busy = busyImage_ != imgNone && imageIndex_ == busyImage_;
    const QString& name = busy ? busyName_ : idleName_;
    if (!name.isEmpty() && name != accessibleName())
        setAccessibleName(name);
}

// The application's palette, not the button's own: the style sheet sets the
// button's, which would otherwise feed back here.
void ImageButton::followPalette() {
    const QString style = StyleFor(QApplication::palette());
    if (style != styleSheet())
        setStyleSheet(style);
}

void ImageButton::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
        followPalette();
    QPushButton::changeEvent(event);
}

void ImageButton::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        if (!event->isAutoRepeat())
            animateClick();
        event->accept();
        return;
    }
    QPushButton::keyPressEvent(event);
}

} // namespace lrf
