#include "PortComboBox.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFontMetrics>
#include <gtest/gtest.h>

using lrf::PortComboBox;
using lrf::PortEntry;

namespace {

// The list shows what each device is; the box keeps its size and its text stays
// the path, and the popup is wide enough for the longest entry.
TEST(PortComboBox, ListShowsTheDeviceInAWidePopup) {
    PortComboBox box;
    box.setEditable(true);
    box.setGeometry(72, 8, 65, 21);
    const QString description = QStringLiteral("FTDI FT232R USB UART A10K3G5B");
    box.setPorts({{"/dev/pts/3", {}}, {"/dev/ttyUSB0", description}});
    box.setCurrentIndex(1);
    EXPECT_EQ(box.currentText(), "/dev/ttyUSB0");
    EXPECT_EQ(box.itemData(1, Qt::ToolTipRole).toString(), description);
    EXPECT_EQ(box.size(), QSize(65, 21));

    QAbstractItemView* list = box.view();
    const QModelIndex item = box.model()->index(1, 0);
    const int textWidth =
        QFontMetrics(list->font()).horizontalAdvance("/dev/ttyUSB0   " + description);
    EXPECT_GE(list->sizeHintForIndex(item).width(), textWidth);
    EXPECT_GE(list->minimumWidth(), textWidth);

    int refreshes = 0;
    QObject::connect(&box, &PortComboBox::popupAboutToShow, &box, [&] {
        ++refreshes;
        box.setPorts({{"/dev/pts/3", {}}, {"/dev/ttyUSB0", description}, {"/dev/ttyUSB1", {}}});
    });
    box.show();
    box.showPopup();
    EXPECT_EQ(refreshes, 1);
    EXPECT_EQ(list->model()->rowCount(), 3);
    EXPECT_GE(list->window()->width(), textWidth);
    EXPECT_EQ(box.size(), QSize(65, 21));
    EXPECT_EQ(box.currentText(), "/dev/ttyUSB0");
    box.hidePopup();
}

} // namespace
