#include "ImageButton.h"

namespace lrf {

namespace {

// The common look of the image buttons: a light face, a blue highlight when
// pressed and an amber frame under the mouse.
const char* const kButtonStyle = "lrf--ImageButton {"
                                 " background-color: rgb(244, 244, 240);"
                                 " border: 1px solid rgb(160, 160, 160);"
                                 " border-radius: 2px; padding: 1px 2px; }"
                                 "lrf--ImageButton:hover { border: 2px solid rgb(255, 199, 60); }"
                                 "lrf--ImageButton:pressed {"
                                 " background-color: rgb(106, 141, 244); color: white; }";

} // namespace

ImageButton::ImageButton(QWidget* parent)
    : QPushButton(parent) {
    setStyleSheet(QString::fromLatin1(kButtonStyle));
    setIconSize(QSize(kImageSize, kImageSize));
}

void ImageButton::setImageIndex(int index) {
    imageIndex_ = index;
    setIcon(ButtonImage(index));
}

void ImageButton::setGlyph(Glyph glyph) {
    imageIndex_ = imgNone;
    setIcon(ButtonGlyph(glyph));
}

} // namespace lrf
