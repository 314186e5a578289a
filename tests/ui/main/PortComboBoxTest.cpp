#include "PortComboBox.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFontMetrics>
#include <gtest/gtest.h>

using lrf::PortComboBox;
using lrf::PortEntry;

namespace {

std::vector<PortEntry> entries(std::initializer_list<const char*> paths) {
    std::vector<PortEntry> list;
    for (const char* p : paths)
        list.push_back({p, {}});
    return list;
}

// A refresh never changes what the operator picked or typed: that text is what
// opening the port uses.
TEST(PortComboBox, RefreshKeepsWhatTheOperatorPickedOrTyped) {
    struct Case {
        const char* what;
        std::vector<PortEntry> before;
        int pick; // -1: type `typed` instead
        const char* typed;
        std::vector<PortEntry> after;
        QString text;
        int index; // of that text in the new list, -1 when it is not there
    };
    const std::vector<Case> cases{
        {"picked, moved down", entries({"/dev/pts/3", "/dev/ttyS0"}), 1, "",
         entries({"/dev/pts/3", "/dev/ttyACM0", "/dev/ttyS0"}), "/dev/ttyS0", 2},
        {"picked, unplugged", entries({"/dev/pts/3", "/dev/ttyUSB0"}), 1, "",
         entries({"/dev/pts/3"}), "/dev/ttyUSB0", -1},
        {"typed", entries({"/dev/pts/3"}), -1, "/dev/ttyUSB",
         entries({"/dev/pts/3", "/dev/ttyUSB0"}), "/dev/ttyUSB", -1},
        {"typed, now listed", entries({"/dev/pts/3"}), -1, "/dev/ttyUSB0",
         entries({"/dev/pts/3", "/dev/ttyUSB0"}), "/dev/ttyUSB0", 1},
        {"list emptied", entries({"/dev/ttyS0"}), 0, "", {}, "/dev/ttyS0", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PortComboBox box;
        box.setEditable(true);
        box.setPorts(c.before);
        if (c.pick >= 0)
            box.setCurrentIndex(c.pick);
        else
            box.setEditText(c.typed);
        box.setPorts(c.after);
        EXPECT_EQ(box.ports(), c.after);
        EXPECT_EQ(box.currentText(), c.text);
        if (c.index >= 0) {
            EXPECT_EQ(box.currentIndex(), c.index);
        }
    }
}

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
    QObject::connect(&box, &PortComboBox::popupAboutToShow, [&] {
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
