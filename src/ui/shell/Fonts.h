#pragma once

#include <QFont>
#include <QSize>
#include <QStringList>

class QWidget;

namespace lrf {

// The faces the windows are drawn with, chosen for their widths: the windows'
// sizes were laid out for a face whose Latin letters are half as wide as they
// are high, and the narrow face below sets the captions, the port path and the
// grid's texts within those sizes. Both come from one free package, installed
// with the program (Debian: fonts-liberation; Windows: the files in fonts/
// beside the program).
struct FontFace {
    const char* family;
    const char* regularFile;
    const char* boldFile;
};
inline constexpr FontFace kTextFace{"Liberation Sans Narrow", "LiberationSansNarrow-Regular.ttf",
                                    "LiberationSansNarrow-Bold.ttf"};
// The version number's face, of the same widths as the one the design names.
inline constexpr FontFace kVersionFace{"Liberation Sans", "LiberationSans-Regular.ttf",
                                       "LiberationSans-Bold.ttf"};
// Where the system keeps the files (Linux); elsewhere fonts/ beside the program.
inline constexpr const char* kSystemFontFolder = "/usr/share/fonts/truetype/liberation";

// Makes the faces known to the application where the system does not list
// them. Needs the application object; the faces fall back to the system's
// sans-serif when the files are missing.
void LoadWindowFonts();

// The text face at a size in pixels.
QFont TextFont(int pixelSize, bool bold = false);
QFont VersionFont(int pixelSize);

// The largest pixel size, at most the font's own and at least `smallest`, at
// which every text is no wider than room's width and the font no higher than
// room's height.
int FittingPixelSize(const QFont& font, const QStringList& texts, QSize room, int smallest = 7);
QFont FittedFont(QFont font, const QStringList& texts, QSize room);

} // namespace lrf
