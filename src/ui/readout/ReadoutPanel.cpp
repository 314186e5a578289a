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
}

void ReadoutPanel::setTitleText(const QString& text) {
    title_->setText(text);
    title_->adjustSize();
}

void ReadoutPanel::bind(double* value, std::uint8_t* unit) {
    if (value && unit) {
        value_ = value;
        unit_ = unit;
    } else {
        value_ = &ownValue_;
        unit_ = &ownUnit_;
    }
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
    if (value_ == &ownValue_) {
        ownValue_ = value;
        ownUnit_ = unit;
    }

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

void ReadoutPanel::unitPicked(int index) {
    if (index < 0 || index >= selector_->count())
        return;
    const auto newUnit = static_cast<std::uint8_t>(layout_.firstUnit + index);
    // Picking the unit already held changes nothing: yards and feet do not convert
    // back exactly, so converting into the same unit would nudge the value.
    if (newUnit != *unit_)
        *value_ = layout_.convert(*unit_, newUnit, *value_);
    *unit_ = newUnit;
    showValue(*unit_, *value_);
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
                    &ConvertDistance},
                   parent) {
    setObjectName(QStringLiteral("GroupBox1"));
    // Only the operator's choice converts: setCurrentIndex from ShowDistance emits
    // currentIndexChanged, never activated.
    connect(unitSelector(), &QComboBox::activated, this, &DistanceReadout::RzComboBox3Change);
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
                    &ConvertSpeed},
                   parent) {
    setObjectName(QStringLiteral("GroupBox3"));
    connect(unitSelector(), &QComboBox::activated, this, &SpeedReadout::RzComboBox1Change);
}

} // namespace lrf
