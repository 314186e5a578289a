#pragma once

#include <QGroupBox>
#include <QStringList>

#include <array>
#include <cstdint>

class QComboBox;
class QLabel;

namespace lrf {

class DigitCell;

// A readout: a caption-less group box with a title, five seven-segment cells and a
// unit selector. The value shown and its unit belong to the owner (bind()); the
// selector converts the bound value when the operator picks another unit.
class ReadoutPanel : public QGroupBox {
    Q_OBJECT

public:
    static constexpr int kCellCount = 5;

    // Title text, set by the owner when its window is first shown.
    void setTitleText(const QString& text);

    // The owner's held value and unit, converted and updated by the selector. Until
    // bound, the panel keeps the last value and unit it was shown in its own copy.
    void bind(double* value, std::uint8_t* unit);

    QLabel* titleLabel() const { return title_; }
    QComboBox* unitSelector() const { return selector_; }
    DigitCell* cell(int index) const;
    const QImage& cellImage(int index) const;

    // How often the digit renderer has run for this panel.
    std::uint64_t renderCount() const { return renderCount_; }

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
        // Conversion of a held value that leaves the no-value mark untouched.
        double (*convert)(std::uint8_t from, std::uint8_t to, double value);
    };

    ReadoutPanel(const Layout& layout, QWidget* parent);

    // Draws the value's five cells, repaints them and selects the unit's item.
    void showValue(std::uint8_t unit, double value);

    // The operator picked selector item `index`: convert the held value into the
    // new unit, store both and show the result.
    void unitPicked(int index);

private:
    void drawCell(int index, int code, const QColor& outline);

    Layout layout_;
    QLabel* title_ = nullptr;
    QComboBox* selector_ = nullptr;
    std::array<DigitCell*, kCellCount> cells_{};
    std::uint64_t renderCount_ = 0;

    double ownValue_ = 0.0;
    std::uint8_t ownUnit_ = 0;
    double* value_ = &ownValue_;
    std::uint8_t* unit_ = &ownUnit_;
};

// The distance readout: no value at 2400.0 and above, units "M", "Y", "Ft".
class DistanceReadout : public ReadoutPanel {
    Q_OBJECT

public:
    explicit DistanceReadout(QWidget* parent = nullptr);

    void ShowDistance(std::uint8_t unit, double value) { showValue(unit, value); }
    void RzComboBox3Change(int index) { unitPicked(index); }
};

// The speed readout: no value at 990.0 and above, units "KPH", "MPH", "M/S".
class SpeedReadout : public ReadoutPanel {
    Q_OBJECT

public:
    explicit SpeedReadout(QWidget* parent = nullptr);

    void ShowSpeed(std::uint8_t unit, double value) { showValue(unit, value); }
    void RzComboBox1Change(int index) { unitPicked(index); }
};

} // namespace lrf
