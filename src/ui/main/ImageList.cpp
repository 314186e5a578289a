#include "ImageList.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <array>
#include <functional>

namespace lrf {

namespace {

// One palette for every picture, so that the set looks like one family.
const QColor kInk(40, 48, 64);
const QColor kBlue(52, 101, 196);
const QColor kGreen(46, 139, 87);
const QColor kRed(200, 40, 40);
const QColor kOrange(230, 140, 30);
const QColor kGrey(130, 130, 130);

using Painter = std::function<void(QPainter&)>;

QPixmap paintImage(const Painter& draw) {
    QPixmap pixmap(kImageSize, kImageSize);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p);
    return pixmap;
}

QPen pen(const QColor& colour, qreal width = 1.6) {
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// Two links of a chain: joined when the port is open, apart when it is closed.
void drawLink(QPainter& p, bool joined) {
    p.setBrush(Qt::NoBrush);
    const QColor colour = joined ? kGreen : kGrey;
    p.setPen(pen(colour, 2.0));
    if (joined) {
        p.drawRoundedRect(QRectF(1.5, 5.5, 8, 5), 2.5, 2.5);
        p.drawRoundedRect(QRectF(6.5, 5.5, 8, 5), 2.5, 2.5);
    } else {
        p.drawRoundedRect(QRectF(0.5, 5.5, 6.5, 5), 2.5, 2.5);
        p.drawRoundedRect(QRectF(9.0, 5.5, 6.5, 5), 2.5, 2.5);
        p.setPen(pen(kRed, 1.4));
        p.drawLine(QPointF(8, 2), QPointF(8, 4));
        p.drawLine(QPointF(8, 12), QPointF(8, 14));
    }
}

// A beam from the instrument to a target; doubled for a continuous run.
void drawBeam(QPainter& p, bool repeated) {
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    p.drawRoundedRect(QRectF(1, 5, 4, 6), 1, 1);
    p.setPen(pen(kRed, 1.4));
    if (repeated) {
        p.drawLine(QPointF(6, 5.5), QPointF(12, 5.5));
        p.drawLine(QPointF(6, 10.5), QPointF(12, 10.5));
    } else {
        p.drawLine(QPointF(6, 8), QPointF(12, 8));
    }
    p.setPen(pen(kInk, 1.6));
    p.drawLine(QPointF(14, 2), QPointF(14, 14));
}

// A gauge with its needle; with a second arc for a continuous run.
void drawGauge(QPainter& p, bool repeated) {
    p.setBrush(Qt::NoBrush);
    p.setPen(pen(kOrange, 1.8));
    p.drawArc(QRectF(1.5, 3, 13, 13), 0, 180 * 16);
    if (repeated)
        p.drawArc(QRectF(4.5, 6, 7, 7), 0, 180 * 16);
    p.setPen(pen(kInk, 1.6));
    p.drawLine(QPointF(8, 9.5), QPointF(12.5, 4.5));
    p.setBrush(kInk);
    p.drawEllipse(QPointF(8, 9.5), 1.3, 1.3);
    p.setPen(pen(kInk, 1.2));
    p.drawLine(QPointF(1.5, 13.5), QPointF(14.5, 13.5));
}

const std::array<Painter, kImageCount>& imagePainters() {
    static const std::array<Painter, kImageCount> painters{{
        [](QPainter& p) { drawLink(p, true); },   // 0 port open
        [](QPainter& p) { drawLink(p, false); },  // 1 port closed
        [](QPainter& p) { drawBeam(p, false); },  // 2 single shot
        [](QPainter& p) { drawBeam(p, true); },   // 3 continuous distance
        [](QPainter& p) { drawGauge(p, false); }, // 4 single speed
        [](QPainter& p) { drawGauge(p, true); },  // 5 continuous speed
        [](QPainter& p) {                         // 6 pause
            p.setPen(Qt::NoPen);
            p.setBrush(kBlue);
            p.drawRoundedRect(QRectF(3.5, 2.5, 3.5, 11), 1, 1);
            p.drawRoundedRect(QRectF(9, 2.5, 3.5, 11), 1, 1);
        },
        [](QPainter& p) { // 7 running: press to stop
            p.setPen(pen(kRed.darker(130), 1.0));
            p.setBrush(kRed);
            p.drawRoundedRect(QRectF(2.5, 2.5, 11, 11), 2, 2);
            p.setPen(Qt::NoPen);
            p.setBrush(Qt::white);
            p.drawRect(QRectF(5.5, 5.5, 5, 5));
        },
        [](QPainter& p) { // 8 record
            p.setPen(pen(kRed.darker(130), 1.0));
            p.setBrush(kRed);
            p.drawEllipse(QPointF(8, 8), 5.5, 5.5);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(255, 255, 255, 150));
            p.drawEllipse(QPointF(6.5, 6.5), 1.6, 1.6);
        },
        [](QPainter& p) { // 9 show the log: a small table
            p.setPen(pen(kInk, 1.0));
            p.setBrush(Qt::white);
            p.drawRect(QRectF(1.5, 2.5, 13, 11));
            p.setBrush(kBlue);
            p.drawRect(QRectF(1.5, 2.5, 13, 3));
            p.drawLine(QPointF(1.5, 9.5), QPointF(14.5, 9.5));
            p.drawLine(QPointF(6.5, 5.5), QPointF(6.5, 13.5));
        },
        [](QPainter& p) { // 10 rotation: two arrows in a circle
            p.setBrush(Qt::NoBrush);
            p.setPen(pen(kGreen, 1.8));
            p.drawArc(QRectF(2.5, 2.5, 11, 11), 30 * 16, 140 * 16);
            p.drawArc(QRectF(2.5, 2.5, 11, 11), 210 * 16, 140 * 16);
            p.setPen(Qt::NoPen);
            p.setBrush(kGreen);
            p.drawPolygon(QPolygonF({QPointF(12.5, 1.5), QPointF(15.5, 6.5), QPointF(10, 6.5)}));
            p.drawPolygon(QPolygonF({QPointF(3.5, 14.5), QPointF(0.5, 9.5), QPointF(6, 9.5)}));
        },
    }};
    return painters;
}

QPixmap glyphPixmap(Glyph glyph) {
    switch (glyph) {
    case Glyph::ClearData:
        return paintImage([](QPainter& p) {
            p.setPen(pen(kInk, 1.0));
            p.setBrush(Qt::white);
            p.drawRect(QRectF(1.5, 1.5, 10, 12));
            p.setPen(pen(kRed, 2.0));
            p.drawLine(QPointF(8, 8), QPointF(14, 14));
            p.drawLine(QPointF(14, 8), QPointF(8, 14));
        });
    case Glyph::SaveData:
        return paintImage([](QPainter& p) {
            p.setPen(pen(kInk, 1.0));
            p.setBrush(kBlue);
            p.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 1.5, 1.5);
            p.setBrush(Qt::white);
            p.drawRect(QRectF(4.5, 1.5, 7, 5));
            p.setBrush(QColor(220, 220, 220));
            p.drawRect(QRectF(3.5, 9.5, 9, 5));
        });
    case Glyph::Exit:
        return paintImage([](QPainter& p) {
            p.setPen(pen(kInk, 1.2));
            p.setBrush(QColor(200, 170, 120));
            p.drawRect(QRectF(2.5, 1.5, 7, 13));
            p.setPen(pen(kRed, 1.8));
            p.drawLine(QPointF(7, 8), QPointF(14.5, 8));
            p.drawLine(QPointF(12, 5.5), QPointF(14.5, 8));
            p.drawLine(QPointF(12, 10.5), QPointF(14.5, 8));
        });
    case Glyph::SingleDistance:
        return paintImage([](QPainter& p) { drawBeam(p, false); });
    case Glyph::SingleSpeed:
        return paintImage([](QPainter& p) { drawGauge(p, false); });
    }
    return {};
}

QPixmap greyed(const QPixmap& source) {
    QImage image = source.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            const int grey = 128 + qGray(c.rgb()) / 3;
            image.setPixelColor(x, y, QColor(grey, grey, grey, c.alpha() / 2));
        }
    }
    return QPixmap::fromImage(image);
}

} // namespace

QIcon ButtonImage(int index) {
    static std::array<QIcon, kImageCount> cache;
    if (index < 0 || index >= kImageCount)
        return {};
    QIcon& icon = cache[static_cast<std::size_t>(index)];
    if (icon.isNull())
        icon = QIcon(paintImage(imagePainters()[static_cast<std::size_t>(index)]));
    return icon;
}

QIcon ButtonGlyph(Glyph glyph) {
    const QPixmap normal = glyphPixmap(glyph);
    QIcon icon(normal);
    icon.addPixmap(greyed(normal), QIcon::Disabled);
    return icon;
}

QPixmap Logo() {
    QPixmap pixmap(238, 81);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);

    // The instrument: a dark body with its lens.
    QLinearGradient body(0, 22, 0, 60);
    body.setColorAt(0, kBlue.lighter(120));
    body.setColorAt(1, kBlue.darker(150));
    p.setPen(pen(kInk, 1.5));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(10, 24, 54, 34), 6, 6);
    p.setBrush(kInk);
    p.drawRoundedRect(QRectF(60, 32, 10, 18), 2, 2);
    p.setBrush(QColor(255, 90, 90));
    p.drawEllipse(QPointF(70, 41), 3, 3);

    // The beam to a target.
    p.setPen(QPen(QColor(230, 30, 30), 2.0));
    p.drawLine(QPointF(74, 41), QPointF(214, 41));
    p.setBrush(Qt::NoBrush);
    p.setPen(pen(kRed, 2.0));
    p.drawEllipse(QPointF(220, 41), 11, 11);
    p.drawEllipse(QPointF(220, 41), 5, 5);
    p.drawLine(QPointF(220, 26), QPointF(220, 56));
    p.drawLine(QPointF(205, 41), QPointF(235, 41));

    // Distance marks along the beam.
    p.setPen(pen(kInk, 1.2));
    for (int x = 84; x <= 200; x += 12)
        p.drawLine(QPointF(x, 47), QPointF(x, x % 36 == 0 ? 53 : 50));

    QFont font(QStringLiteral("Sans Serif"));
    font.setPixelSize(15);
    font.setBold(true);
    p.setFont(font);
    p.setPen(kInk);
    p.drawText(QRectF(80, 8, 130, 24), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("LASER RANGE"));
    font.setPixelSize(11);
    font.setBold(false);
    p.setFont(font);
    p.setPen(kBlue.darker(120));
    p.drawText(QRectF(80, 56, 140, 18), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("measure - record - log"));
    return pixmap;
}

} // namespace lrf
