#pragma once

#include <QIcon>
#include <QPixmap>

namespace lrf {

// Indices of the button images. A button's image index is its state: the run
// buttons show their idle image or imgRunning, the record button imgRecord or
// imgRunning, the port button imgPortClosed or imgPortOpen.
enum ImageIndex : int {
    imgNone = -1,
    imgPortOpen = 0,
    imgPortClosed = 1,
    imgSingleShot = 2,
    imgContinuousDistance = 3,
    imgSingleSpeed = 4,
    imgContinuousSpeed = 5,
    imgPause = 6,
    imgRunning = 7,
    imgRecord = 8,
    imgShowData = 9,
    imgRotation = 10,
};

inline constexpr int kImageCount = 11;
inline constexpr int kImageSize = 16;

// The glyphs of the buttons that carry no image index.
enum class Glyph { ClearData, SaveData, Exit, SingleDistance, SingleSpeed };

// The button images, 16 x 16, painted once on first use. An index outside 0 to 10
// gives an empty icon.
QIcon ButtonImage(int index);

// A glyph with its two states: the normal picture and a greyed one for a
// disabled button.
QIcon ButtonGlyph(Glyph glyph);

// The logo of the title band, 238 x 81 on a transparent ground.
QPixmap Logo();

} // namespace lrf
