#pragma once

#include "DigitRenderer.h"

#include <QGroupBox>
#include <QStringList>

#include <array>
#include <cstdint>

class QComboBox;
class QLabel;
class QTimer;

namespace lrf {

class DigitCell;

// A readout: a caption-less group box with a title, five seven-segment cells and a
// unit selector. The value shown and its unit belong to the owner: when the
// operator picks a unit the readout only announces it (unitPicked), and the
// owner converts its value and shows the result.
class ReadoutPanel : public QGroupBox {
    Q_OBJECT

public:
    static constexpr int kCellCount = 5;

    // Title text, set by the owner when its window is first shown.
    void setTitleText(const QString& text);

    QLabel* titleLabel() const { return title_; }
    QComboBox* unitSelector() const { return selector_; }
    DigitCell* cell(int index) const;
    const QImage& cellImage(int index) const;

    // What a screen reader is told: the value and unit as shown ("Distance
    // 123.4 metres"), or that there is none ("no distance"). The panel's
    // accessible name follows it at most kSpokenPerSecond times a second.
    QString spokenText() const { return spoken_; }
    static constexpr int kSpokenPerSecond = 4;

    // How many cells the panel has drawn into its images (five per shown
    // value), whether the renderer ran or a finished picture was copied.
    std::uint64_t renderCount() const { return renderCount_; }

signals:
    // The operator picked the selector's item for `unit` (a unit code). Selecting
    // an item from code, as the show operations do, announces nothing.
    void unitPicked(std::uint8_t unit);

protected:
    struct Layout {
        double noValueThreshold;
        std::uint8_t firstUnit; // unit code of selector item 0
        QStringList items;
        int selectorLeft;
        int selectorWidth;
        const char* titleName;
        const char* cellNamePrefix;
        int firstCellNumber;
        const char* selectorName;
        const char* quantity;       // "Distance", said before the value
        const char* noValue;        // "no distance"
        QStringList unitWords;      // the selector's units in words
        const char* selectorSpoken; // the selector's accessible name
    };

    ReadoutPanel(const Layout& layout, QWidget* parent);

    // Draws the value's five cells, repaints them and selects the unit's item.
    void showValue(std::uint8_t unit, double value);

private:
    void selectorActivated(int index);
    void drawCell(int index, int code, const QColor& outline);
    QRect cellsRect() const;
    void fitSelectorFont();
    void speak();

    Layout layout_;
    QLabel* title_ = nullptr;
    QComboBox* selector_ = nullptr;
    std::array<DigitCell*, kCellCount> cells_{};
    std::uint64_t renderCount_ = 0;
    DigitPictures pictures_;
    QString spoken_;
    QTimer* speakPacer_ = nullptr;
};

// The distance readout: no value at 2400.0 and above, units "M", "Y", "Ft".
class DistanceReadout : public ReadoutPanel {
    Q_OBJECT

public:
    explicit DistanceReadout(QWidget* parent = nullptr);

    void ShowDistance(std::uint8_t unit, double value) { showValue(unit, value); }
};

// The speed readout: no value at 990.0 and above, units "KPH", "MPH", "M/S".
class SpeedReadout : public ReadoutPanel {
    Q_OBJECT

public:
    explicit SpeedReadout(QWidget* parent = nullptr);

    void ShowSpeed(std::uint8_t unit, double value) { showValue(unit, value); }
};

} // namespace lrf
