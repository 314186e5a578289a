#pragma once

#include <QImage>
#include <QWidget>

namespace lrf {

// One on-screen digit cell. It owns the off-screen image that the renderer draws
// into and only ever copies that image to the screen when asked to paint.
class DigitCell : public QWidget {
public:
    explicit DigitCell(QWidget* parent = nullptr);

    QImage& image() { return image_; }
    const QImage& image() const { return image_; }

    // Number of paint requests served, for tests that check repaints copy images.
    int paintCount() const { return paintCount_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage image_;
    int paintCount_ = 0;
};

} // namespace lrf
