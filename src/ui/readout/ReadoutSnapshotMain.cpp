// Renders both readouts with a set of values into one PNG, enlarged so that single
// pixels are visible. Usage: readout_snapshot <output.png> [scale]
#include "ReadoutPanel.h"
#include "Units.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QPixmap>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

struct Sample {
    std::uint8_t distanceUnit;
    double distance;
    std::uint8_t speedUnit;
    double speed;
    const char* note;
};

constexpr Sample kSamples[] = {
    {lrf::unitMetre, 0.0, lrf::unitKph, 0.0, "start: 0.0 and 0.0"},
    {lrf::unitMetre, 12.34, lrf::unitMph, 67.89, "12.34 M, 67.89 MPH"},
    {lrf::unitYard, 1234.5, lrf::unitMetrePerSecond, -5.0, "1234.5 Y, -5 M/S"},
    {lrf::unitFoot, -987.6, lrf::unitKph, 990.0, "-987.6 Ft, no speed"},
    {lrf::unitMetre, 2400.0, lrf::unitKph, 245.06, "no distance, 245.06 KPH"},
    {lrf::unitMetre, 2399.96, lrf::unitKph, -1234.5, "2399.96 M, -1234.5 KPH"},
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <output.png> [scale]\n", argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    const int scale = argc > 2 ? std::max(1, std::atoi(argv[2])) : 2;

    constexpr int kNoteHeight = 20;
    constexpr int kRowHeight = 89 + kNoteHeight;
    constexpr int kPanelWidth = 267;
    QPixmap sheet(2 * kPanelWidth, kRowHeight * static_cast<int>(std::size(kSamples)));
    sheet.fill(Qt::lightGray);
    QPainter painter(&sheet);

    lrf::DistanceReadout distance;
    lrf::SpeedReadout speed;
    distance.resize(kPanelWidth, 88);
    speed.resize(kPanelWidth, 89);
    distance.setTitleText(QStringLiteral("Point to point distance"));
    speed.setTitleText(QStringLiteral("Speed measurement"));

    int top = 0;
    for (const Sample& sample : kSamples) {
        distance.ShowDistance(sample.distanceUnit, sample.distance);
        speed.ShowSpeed(sample.speedUnit, sample.speed);
        painter.drawText(QRect(4, top, 2 * kPanelWidth - 8, kNoteHeight), Qt::AlignVCenter,
                         QString::fromLatin1(sample.note));
        painter.drawPixmap(0, top + kNoteHeight, distance.grab());
        painter.drawPixmap(kPanelWidth, top + kNoteHeight, speed.grab());
        top += kRowHeight;
    }
    painter.end();

    const QImage enlarged =
        sheet.toImage().scaled(sheet.size() * scale, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    if (!enlarged.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
