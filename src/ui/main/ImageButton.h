#pragma once

#include "ImageList.h"

#include <QPushButton>

namespace lrf {

// A push button whose state is the index of the image it shows. Handlers test
// imageIndex() to decide what a press does; setImageIndex() changes state and
// picture together. Buttons without an index carry a glyph instead.
class ImageButton : public QPushButton {
    Q_OBJECT

public:
    explicit ImageButton(QWidget* parent = nullptr);

    int imageIndex() const { return imageIndex_; }
    void setImageIndex(int index);

    void setGlyph(Glyph glyph);

private:
    int imageIndex_ = imgNone;
};

} // namespace lrf
