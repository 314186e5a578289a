#pragma once

#include <QComboBox>
#include <QString>

#include <vector>

namespace lrf {

// One entry of the port box: the path that opening uses and what the device is.
struct PortEntry {
    QString path;
    QString description; // "FTDI FT232R USB UART A10K3G5B", or empty

    bool operator==(const PortEntry&) const = default;
};

// The port box. Its items' texts are device paths, so that the current text, picked
// or typed, is always the name to open; the list shows each path with what the
// device is, in a popup as wide as its longest entry while the box keeps its size.
class PortComboBox : public QComboBox {
    Q_OBJECT

public:
    static constexpr int DescriptionRole = Qt::UserRole + 1;

    explicit PortComboBox(QWidget* parent = nullptr);

    // Replaces the entries. What the operator picked or typed stays in the box;
    // an unchanged list changes nothing.
    void setPorts(const std::vector<PortEntry>& entries);
    std::vector<PortEntry> ports() const;

    // Offers the caller a moment to bring the list up to date, then opens it.
    void showPopup() override;

    // The largest text size the box uses, and the smallest it shrinks to.
    static constexpr int kPixelSize = 13;
    static constexpr int kSmallestPixelSize = 8;

signals:
    void popupAboutToShow();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void fitPopupWidth();
    void fitTextFont();
};

} // namespace lrf
