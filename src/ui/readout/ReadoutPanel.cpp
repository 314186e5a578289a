#include "ReadoutPanel.h"

#include "Accessibility.h"
#include "DigitCell.h"
#include "DigitCodes.h"
#include "DigitRenderer.h"
#include "Fonts.h"
#include "Units.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPainter>
#include <QPalette>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTimer>

#include <exception>

namespace lrf {

namespace {

constexpr int kCellTop = 31;
constexpr int kCellLeft = 8;
constexpr int kCellPitch = 35; // neighbours overlap by the cell's blank last column
constexpr int kSelectorTop = 39;
constexpr int kTitleLeft = 8;
constexpr int kTitleTop = 9;
constexpr int kTitlePixelSize = 19;
constexpr int kSelectorPixelSize = 32;

// The cells' codes as text, read the way the cells show them.
QString ShownNumber(const std::array<int, kReadoutCells>& codes) {
    QString text;
    for (const int code : codes) {
        if (code >= 0 && code <= 9)
            text += QChar(u'0' + code);
        else if (code >= -9 && code <= -1)
            text += QChar(u'0' - code) + QLatin1Char('.');
        else if (code == DIGIT_ZERO_POINT)
            text += QStringLiteral("0.");
        else if (code == DIGIT_MINUS)
            text += QLatin1Char('-');
        else if (code == DIGIT_MINUS_POINT)
            text += QStringLiteral("-.");
    }
    return text;
}

} // namespace

ReadoutPanel::ReadoutPanel(const Layout& layout, QWidget* parent)
    : QGroupBox(parent)
    , layout_(layout) {
    title_ = new QLabel(this);
    title_->setObjectName(QString::fromLatin1(layout.titleName));
    title_->setFont(TextFont(kTitlePixelSize, true));
    title_->move(kTitleLeft, kTitleTop);

    for (int i = 0; i < kCellCount; ++i) {
        auto* cell = new DigitCell(this);
        cell->setObjectName(QString::fromLatin1(layout.cellNamePrefix) +
                            QString::number(layout.firstCellNumber + i));
        cell->move(kCellLeft + i * kCellPitch, kCellTop);
        HideFromAccessibility(*cell); // the panel's name tells the value
        cells_[static_cast<std::size_t>(i)] = cell;
    }

    selector_ = new QComboBox(this);
    selector_->setObjectName(QString::fromLatin1(layout.selectorName));
    selector_->setEditable(false); // admits only its items
    selector_->setAccessibleName(QString::fromLatin1(layout.selectorSpoken));
    selector_->addItems(layout.items);
    selector_->setCurrentIndex(0);
    selector_->move(layout.selectorLeft, kSelectorTop);
    fitSelectorFont();

    // Announced at once, then at most kSpokenPerSecond times a second.
    speakPacer_ = new QTimer(this);
    speakPacer_->setSingleShot(true);
    speakPacer_->setInterval(1000 / kSpokenPerSecond);
    connect(speakPacer_, &QTimer::timeout, this, [this] {
        if (accessibleName() != spoken_)
            speak();
    });
    // Only the operator's choice is announced: setCurrentIndex from the show
    // operations emits currentIndexChanged, never activated.
    connect(selector_, &QComboBox::activated, this, &ReadoutPanel::selectorActivated);
}

// The largest size up to the design's at which every unit fits the box's
// text field, which the box's width leaves beside its arrow.
void ReadoutPanel::fitSelectorFont() {
    QFont font = TextFont(kSelectorPixelSize);
    for (int size = kSelectorPixelSize; size > 8; --size) {
        font.setPixelSize(size);
        selector_->setFont(font);
        selector_->resize(layout_.selectorWidth, selector_->sizeHint().height());
        QStyleOptionComboBox option;
        option.initFrom(selector_);
        option.editable = false;
        option.frame = true;
        const QRect field = selector_->style()->subControlRect(
            QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, selector_);
        if (FittingPixelSize(font, layout_.items, QSize(field.width() - 4, 1000)) == size)
            break;
    }
}

void ReadoutPanel::speak() {
    setAccessibleName(spoken_);
    speakPacer_->start();
}

void ReadoutPanel::setTitleText(const QString& text) {
    title_->setText(text);
    title_->adjustSize();
}

DigitCell* ReadoutPanel::cell(int index) const {
    return cells_.at(static_cast<std::size_t>(index));
}

QRect ReadoutPanel::cellsRect() const {
    return cells_.front()->geometry().united(cells_.back()->geometry());
}

const QImage& ReadoutPanel::cellImage(int index) const {
    return cell(index)->image();
}

void ReadoutPanel::drawCell(int index, int code, const QColor& outline) {
    // A cell that fails to draw keeps what it had; the other cells still draw.
    try {
        const QImage& picture = pictures_.Picture(code, outline, Qt::black);
        if (picture.isNull())
            return;
        cell(index)->image() = picture; // shares the finished picture's pixels
        ++renderCount_;
    } catch (const std::exception&) {
    }
}

void ReadoutPanel::showValue(std::uint8_t unit, double value) {
    const QColor outline = QApplication::palette().color(QPalette::Button);
    const std::array<int, kReadoutCells> codes = ReadoutCodes(value, layout_.noValueThreshold);
    for (int i = 0; i < kCellCount; ++i)
        drawCell(i, codes[static_cast<std::size_t>(i)], outline);
    // The five cells in one synchronous pass, left to right: they are on the
    // screen before the show returns. The cells are opaque, so the panel's own
    // background under them is not painted.
    repaint(cellsRect());

    // A unit the selector doesn't list leaves it showing no item rather than a
    // wrong one.
    const int item = int{unit} - int{layout_.firstUnit};
    const bool listed = item >= 0 && item < selector_->count();
    selector_->setCurrentIndex(listed ? item : -1);

    const QString number = ShownNumber(codes);
    if (value >= layout_.noValueThreshold || number.isEmpty() || !listed)
        spoken_ = QString::fromLatin1(layout_.noValue);
    else
        spoken_ = QString::fromLatin1(layout_.quantity) + QLatin1Char(' ') + number +
                  QLatin1Char(' ') + layout_.unitWords.at(item);
    if (!speakPacer_->isActive() && accessibleName() != spoken_)
        speak();
}

void ReadoutPanel::selectorActivated(int index) {
    if (index < 0 || index >= selector_->count())
        return;
    emit unitPicked(static_cast<std::uint8_t>(layout_.firstUnit + index));
}

DistanceReadout::DistanceReadout(QWidget* parent)
    : ReadoutPanel({kNoDistance,
                    unitMetre,
                    {"M", "Y", "Ft"},
                    188,
                    57,
                    "RzLabel7",
                    "PaintBox",
                    1,
                    "RzComboBox3",
                    "Distance",
                    "no distance",
                    {"metres", "yards", "feet"},
                    "Distance unit"},
                   parent) {
    setObjectName(QStringLiteral("GroupBox1"));
}

SpeedReadout::SpeedReadout(QWidget* parent)
    : ReadoutPanel({kNoSpeed,
                    unitKph,
                    {"KPH", "MPH", "M/S"},
                    189,
                    76,
                    "RzLabel12",
                    "PaintBox",
                    20,
                    "RzComboBox1",
                    "Speed",
                    "no speed",
                    {"kilometres per hour", "miles per hour", "metres per second"},
                    "Speed unit"},
                   parent) {
    setObjectName(QStringLiteral("GroupBox3"));
}

} // namespace lrf
