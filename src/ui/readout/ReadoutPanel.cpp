#include "ReadoutPanel.h"

#include "DigitCell.h"
#include "DigitCodes.h"
#include "DigitRenderer.h"
#include "Units.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPainter>
#include <QPalette>

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

} // namespace

ReadoutPanel::ReadoutPanel(const Layout& layout, QWidget* parent)
    : QGroupBox(parent)
    , layout_(layout) {
    title_ = new QLabel(this);
    title_->setObjectName(QString::fromLatin1(layout.titleName));
    QFont titleFont = title_->font();
    titleFont.setBold(true);
    titleFont.setPixelSize(kTitlePixelSize);
    title_->setFont(titleFont);
    title_->move(kTitleLeft, kTitleTop);

    for (int i = 0; i < kCellCount; ++i) {
        auto* cell = new DigitCell(this);
        cell->setObjectName(QString::fromLatin1(layout.cellNamePrefix) +
                            QString::number(layout.firstCellNumber + i));
        cell->move(kCellLeft + i * kCellPitch, kCellTop);
        cells_[static_cast<std::size_t>(i)] = cell;
    }

    selector_ = new QComboBox(this);
    selector_->setObjectName(QString::fromLatin1(layout.selectorName));
    selector_->setEditable(false); // admits only its items
    QFont selectorFont = selector_->font();
    selectorFont.setPixelSize(kSelectorPixelSize);
    selector_->setFont(selectorFont);
    selector_->addItems(layout.items);
    selector_->setCurrentIndex(0);
    selector_->move(layout.selectorLeft, kSelectorTop);
    selector_->resize(layout.selectorWidth, selector_->sizeHint().height());
    // Only the operator's choice is announced: setCurrentIndex from the show
    // operations emits currentIndexChanged, never activated.
    connect(selector_, &QComboBox::activated, this, &ReadoutPanel::selectorActivated);
}

void ReadoutPanel::setTitleText(const QString& text) {
    title_->setText(text);
    title_->adjustSize();
}

DigitCell* ReadoutPanel::cell(int index) const {
    return cells_.at(static_cast<std::size_t>(index));
}

const QImage& ReadoutPanel::cellImage(int index) const {
    return cell(index)->image();
}

void ReadoutPanel::drawCell(int index, int code, const QColor& outline) {
    // A cell that fails to draw keeps what it had; the other cells still draw.
    try {
        QPainter canvas(&cell(index)->image());
        if (!canvas.isActive())
            return;
        SetUpCellPainter(canvas);
        ++renderCount_;
        DrawDigit(canvas, code, outline, Qt::black);
    } catch (const std::exception&) {
    }
}

void ReadoutPanel::showValue(std::uint8_t unit, double value) {
    const QColor outline = QApplication::palette().color(QPalette::Button);
    const std::array<int, kReadoutCells> codes = ReadoutCodes(value, layout_.noValueThreshold);
    for (int i = 0; i < kCellCount; ++i)
        drawCell(i, codes[static_cast<std::size_t>(i)], outline);
    for (DigitCell* cell : cells_)
        cell->repaint();

    // A unit the selector doesn't list leaves it showing no item rather than a
    // wrong one.
    const int item = int{unit} - int{layout_.firstUnit};
    selector_->setCurrentIndex(item >= 0 && item < selector_->count() ? item : -1);
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
                    "RzComboBox3"},
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
                    "RzComboBox1"},
                   parent) {
    setObjectName(QStringLiteral("GroupBox3"));
}

} // namespace lrf
