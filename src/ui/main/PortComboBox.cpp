#include "PortComboBox.h"

#include "Fonts.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyleOptionComboBox>
#include <QStyledItemDelegate>

#include <algorithm>

namespace lrf {

namespace {

constexpr auto kSeparator = QLatin1StringView("   ");

QString shownText(const QString& path, const QString& description) {
    return description.isEmpty() ? path : path + kSeparator + description;
}

// Draws an item as its path followed by the description; the item's text, which
// the box puts into its edit field, stays the path.
class PortItemDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->text =
            shownText(option->text, index.data(PortComboBox::DescriptionRole).toString());
    }
};

} // namespace

PortComboBox::PortComboBox(QWidget* parent)
    : QComboBox(parent) {
    setItemDelegate(new PortItemDelegate(this));
    connect(this, &QComboBox::editTextChanged, this, &PortComboBox::fitTextFont);
    fitTextFont();
}

void PortComboBox::resizeEvent(QResizeEvent* event) {
    QComboBox::resizeEvent(event);
    fitTextFont();
}

void PortComboBox::changeEvent(QEvent* event) {
    QComboBox::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        fitTextFont();
}

// The text field's font only: the list keeps the full size.
void PortComboBox::fitTextFont() {
    const QString text = currentText();
    QStyleOptionComboBox option;
    initStyleOption(&option);
    const QRect field =
        style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    QWidget* shown = lineEdit() ? static_cast<QWidget*>(lineEdit()) : this;
    // The line edit keeps a margin of a few pixels on each side of its text.
    const QSize room(field.width() - 4, 1000);
    const QFont font = TextFont(kPixelSize);
    const int size = FittingPixelSize(font, {text}, room, kSmallestPixelSize);
    if (shown->font().pixelSize() != size) {
        QFont fitted = font;
        fitted.setPixelSize(size);
        shown->setFont(fitted);
    }
    setToolTip(text);
}

std::vector<PortEntry> PortComboBox::ports() const {
    std::vector<PortEntry> entries;
    for (int i = 0; i < count(); ++i)
        entries.push_back({itemText(i), itemData(i, DescriptionRole).toString()});
    return entries;
}

void PortComboBox::setPorts(const std::vector<PortEntry>& entries) {
    if (entries == ports())
        return;
    const QString text = currentText();
    const int cursor = lineEdit() ? lineEdit()->cursorPosition() : 0;
    {
        const QSignalBlocker quiet(this);
        clear();
        for (const PortEntry& entry : entries) {
            addItem(entry.path);
            setItemData(count() - 1, entry.description, DescriptionRole);
            setItemData(count() - 1, entry.description, Qt::ToolTipRole);
        }
        const int picked = findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (picked >= 0)
            setCurrentIndex(picked);
        else
            setEditText(text);
    }
    if (lineEdit())
        lineEdit()->setCursorPosition(cursor);
    fitPopupWidth();
}

void PortComboBox::showPopup() {
    emit popupAboutToShow();
    QComboBox::showPopup();
}

// The popup is at least as wide as the box; a longer entry widens it.
void PortComboBox::fitPopupWidth() {
    QAbstractItemView* list = view();
    int widest = 0;
    for (int i = 0; i < count(); ++i)
        widest = std::max(widest, list->sizeHintForIndex(model()->index(i, modelColumn())).width());
    const int chrome = 2 * list->frameWidth() + list->verticalScrollBar()->sizeHint().width();
    list->setMinimumWidth(widest + chrome);
}

} // namespace lrf
