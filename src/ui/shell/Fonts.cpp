#include "Fonts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>

#include <cmath>

namespace lrf {

namespace {

void Load(const FontFace& face) {
    if (QFontDatabase::families().contains(QString::fromLatin1(face.family)))
        return;
    const QStringList folders{QCoreApplication::applicationDirPath() + QStringLiteral("/fonts"),
                              QString::fromLatin1(kSystemFontFolder)};
    for (const char* file : {face.regularFile, face.boldFile})
        for (const QString& folder : folders)
            if (QFontDatabase::addApplicationFont(
                    QDir(folder).filePath(QString::fromLatin1(file))) >= 0)
                break;
}

QFont Face(const FontFace& face, int pixelSize, bool bold) {
    QFont font;
    font.setFamilies({QString::fromLatin1(face.family), QStringLiteral("DejaVu Sans Condensed"),
                      QStringLiteral("Sans Serif")});
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

bool Fits(const QFont& font, const QStringList& texts, QSize room) {
    const QFontMetricsF metrics(font);
    if (metrics.height() > room.height() + 0.5)
        return false;
    for (const QString& text : texts)
        if (std::ceil(metrics.horizontalAdvance(text)) > room.width())
            return false;
    return true;
}

} // namespace

void LoadWindowFonts() {
    Load(kTextFace);
    Load(kVersionFace);
}

QFont TextFont(int pixelSize, bool bold) {
    return Face(kTextFace, pixelSize, bold);
}

QFont VersionFont(int pixelSize) {
    return Face(kVersionFace, pixelSize, true);
}

int FittingPixelSize(const QFont& font, const QStringList& texts, QSize room, int smallest) {
    QFont trial = font;
    int size = font.pixelSize() > 0 ? font.pixelSize() : QFontInfo(font).pixelSize();
    for (; size > smallest; --size) {
        trial.setPixelSize(size);
        if (Fits(trial, texts, room))
            break;
    }
    return size;
}

QFont FittedFont(QFont font, const QStringList& texts, QSize room) {
    font.setPixelSize(FittingPixelSize(font, texts, room));
    return font;
}

} // namespace lrf
