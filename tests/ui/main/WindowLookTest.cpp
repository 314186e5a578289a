// What a person sees and reaches of the main and log windows: every text whole
// in its control (this suite also runs at scale factors 1.5 and 2), readable
// colour pairs under a dark palette, the accessible tree a screen reader
// reads, and the keys that press the buttons.

#include "ImageButton.h"
#include "LogEvents.h"
#include "MainFrm.h"
#include "PortComboBox.h"
#include "ReadoutPanel.h"
#include "ShowDataFrm.h"
#include "StringTable.h"
#include "TestDialogs.h"
#include "Texts.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <cmath>
#include <map>

using namespace lrf;

namespace {

class WindowLook : public testing::Test {
protected:
    WindowLook() {
        form.attachLogWindow(logWindow);
        form.show(); // runs the show handler: captions, grid, port list
        logWindow.show();
    }
    ~WindowLook() override {
        logWindow.hide();
        form.hide();
    }

    QLabel* label(const char* name) const { return form.findChild<QLabel*>(QLatin1String(name)); }

    TestDialogs dialogs;
    TForm1 form;
    TFrmShowData logWindow;
};

// Runs the event loop until `done` holds or a generous limit passes.
template <typename Done> bool WaitUntil(Done done, int limitMs = 10000) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < limitMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

int Advance(const QFont& font, const QString& text) {
    return QFontMetrics(font).horizontalAdvance(text);
}

// Room for the text beside the icon: the border and padding of the buttons'
// style sheet (2 + 2 on each side) and the icon with its gap.
int ButtonTextRoom(const QPushButton& button) {
    const int icon = button.icon().isNull() ? 0 : button.iconSize().width() + 4;
    return button.width() - 2 * (2 + 2) - icon;
}

int ComboTextRoom(const QComboBox& box) {
    QStyleOptionComboBox option;
    option.initFrom(&box);
    option.editable = box.isEditable();
    option.frame = true;
    return box.style()
               ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, &box)
               .width() -
           4;
}

TEST_F(WindowLook, EveryTextFitsItsControl) {
    const MainControls& c = form.controls();
    // Each button with every caption it can show.
    const std::vector<std::pair<QPushButton*, std::vector<int>>> buttons{
        {c.btnOpenCom, {strOpenCom, strCloseCom}},
        {c.btnClearData, {strClearData}},
        {c.btnSaveData, {strSaveData}},
        {c.btnRecordData, {strRecordData, strStopRecord}},
        {c.btnShowData, {strDisplayData}},
        {c.btnExit, {strExit}},
        {c.RzBitBtn5, {strSingleTesting}},
        {c.RzBitBtn6, {strContinuousTesting, strStopTesting}},
        {c.RzBitBtn8, {strSingleTesting}},
        {c.RzBitBtn9, {strContinuousTesting, strStopTesting}},
        {c.RzBitBtn7, {strRotationMeasure, strStopTesting}},
    };
    for (const auto& [button, texts] : buttons)
        for (const int text : texts)
            EXPECT_LE(Advance(button->font(), LoadText(text)), ButtonTextRoom(*button))
                << LoadText(text).toStdString() << " in " << button->objectName().toStdString();

    for (const char* name :
         {"RzLabel1", "RzLabel2", "RzLabel9", "RzLabel11", "RzLabel15", "RzLabel16", "RzLabel5",
          "RzLabel6", "RzLabel13", "RzLabel14", "AALabel1", "AALabel2"}) {
        const QLabel* l = label(name);
        ASSERT_NE(l, nullptr) << name;
        EXPECT_LE(Advance(l->font(), l->text()), l->contentsRect().width()) << name;
        EXPECT_LE(QFontMetrics(l->font()).height(), l->height() + 3) << name;
        EXPECT_TRUE(form.rect().contains(QRect(l->mapTo(&form, QPoint(0, 0)), l->size()))) << name;
    }

    // The readouts' titles inside their boxes, every unit whole in its selector.
    for (const ReadoutPanel* panel :
         {static_cast<ReadoutPanel*>(c.GroupBox1), static_cast<ReadoutPanel*>(c.GroupBox3)}) {
        const QLabel* title = panel->titleLabel();
        EXPECT_LE(title->x() + Advance(title->font(), title->text()), panel->width());
        const QComboBox* units = panel->unitSelector();
        for (int i = 0; i < units->count(); ++i)
            EXPECT_LE(Advance(units->font(), units->itemText(i)), ComboTextRoom(*units))
                << units->itemText(i).toStdString();
        EXPECT_LE(units->y() + units->height(), panel->height());
    }
    for (int i = 0; i < c.cbbBaudRate->count(); ++i)
        EXPECT_LE(Advance(c.cbbBaudRate->font(), c.cbbBaudRate->itemText(i)),
                  ComboTextRoom(*c.cbbBaudRate))
            << c.cbbBaudRate->itemText(i).toStdString();

        // Port paths as the machines name them: the box's text shrinks to show them whole.
#ifdef _WIN32
    const char* const paths[] = {"COM1", "COM12", "COM256", "SIM1"};
#else
    const char* const paths[] = {"/dev/ttyS0", "/dev/pts/2", "/dev/pts/12", "/dev/ttyUSB0",
                                 "COM12"};
#endif
    for (const char* path : paths) {
        c.cbbComPort->setEditText(QString::fromLatin1(path));
        const QFont shown = c.cbbComPort->lineEdit()->font();
        EXPECT_LE(Advance(shown, QString::fromLatin1(path)), ComboTextRoom(*c.cbbComPort)) << path;
        EXPECT_GE(shown.pixelSize(), PortComboBox::kSmallestPixelSize) << path;
    }

    // The grid: headers and the widest contents whole in their columns.
    TAData record;
    record.Index = 9999; // SN 10000
    record.DistanceText = "2399.9";
    record.DistanceUnitName = "Ft";
    record.SpeedText = " 989.9";
    record.SpeedUnitName = "KPH";
    record.Place = "North quarry, bench 4";
    record.Destination = "Survey mark 17";
    record.DateTimeText = "2026/12/08 14:55:01.123";
    record.Model = "LR-1500";
    record.InstrumentCode = "A0042";
    DataAddEvent event(record, 0);
    QCoreApplication::sendEvent(&logWindow, &event);
    const auto* grid = logWindow.findChild<QTableView*>(QStringLiteral("StringGrid1"));
    ASSERT_NE(grid, nullptr);
    for (int column = 0; column < TFrmShowData::ColumnCount; ++column)
        EXPECT_LE(Advance(grid->horizontalHeader()->font(), logWindow.Cells(column, 0)) + 8,
                  logWindow.ColWidths(column))
            << logWindow.Cells(column, 0).toStdString();
    for (int column = 0; column < TFrmShowData::ColumnCount; ++column)
        EXPECT_LE(Advance(grid->font(), logWindow.Cells(column, 10000)) + 6,
                  logWindow.ColWidths(column))
            << logWindow.Cells(column, 10000).toStdString();
}

// WCAG's contrast ratio of two colours.
double Contrast(const QColor& a, const QColor& b) {
    const auto luminance = [](const QColor& c) {
        const auto channel = [](double v) {
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) +
               0.0722 * channel(c.blueF());
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The commonest colour of a picture is its face; its text is the colour that
// stands out most from the face.
std::pair<QColor, QColor> FaceAndText(const QImage& image) {
    std::map<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ++counts[image.pixel(x, y) | 0xff000000];
    QRgb face = 0;
    int most = -1;
    for (const auto& [rgb, n] : counts)
        if (n > most)
            most = n, face = rgb;
    QColor text = QColor(face);
    for (const auto& [rgb, n] : counts)
        if (Contrast(QColor(rgb), QColor(face)) > Contrast(text, QColor(face)))
            text = QColor(rgb);
    return {QColor(face), text};
}

QPalette DarkPalette() {
    QPalette p;
    p.setColor(QPalette::Window, QColor(37, 37, 38));
    p.setColor(QPalette::WindowText, QColor(230, 230, 230));
    p.setColor(QPalette::Base, QColor(24, 24, 24));
    p.setColor(QPalette::AlternateBase, QColor(45, 45, 45));
    p.setColor(QPalette::Text, QColor(230, 230, 230));
    p.setColor(QPalette::Button, QColor(53, 53, 53));
    p.setColor(QPalette::ButtonText, QColor(235, 235, 235));
    p.setColor(QPalette::Highlight, QColor(42, 130, 218));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Mid, QColor(90, 90, 90));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(128, 128, 128));
    return p;
}

// Under a dark palette every caption is light on a dark face, the title band's
// texts included; the light palette's pairs stay readable too.
TEST(WindowColours, EveryTextStandsOutFromItsFaceUnderLightAndDarkPalettes) {
    const QPalette original = QApplication::palette();
    for (const bool dark : {false, true}) {
        SCOPED_TRACE(dark ? "dark" : "light");
        if (dark)
            QApplication::setPalette(DarkPalette());
        TestDialogs dialogs;
        TForm1 form;
        TFrmShowData logWindow;
        form.attachLogWindow(logWindow);
        form.show();
        const QImage picture = form.grab().toImage();
        const MainControls& c = form.controls();
        std::vector<QWidget*> texts{c.btnOpenCom,  c.btnClearData, c.btnSaveData, c.btnRecordData,
                                    c.btnShowData, c.btnExit,      c.RzBitBtn5,   c.RzBitBtn6,
                                    c.RzBitBtn8,   c.RzBitBtn9,    c.RzBitBtn7};
        for (const char* name : {"AALabel1", "AALabel2", "RzLabel1", "RzLabel9", "RzLabel5"})
            texts.push_back(form.findChild<QLabel*>(QLatin1String(name)));
        texts.push_back(c.GroupBox1->titleLabel());
        for (QWidget* w : texts) {
            // Inside the border: the face and the text only.
            // The picture is in device pixels: the scale factor's.
            const qreal scale = picture.devicePixelRatio();
            const QRect area =
                QRect(w->mapTo(&form, QPoint(0, 0)), w->size()).adjusted(3, 3, -3, -3);
            const QRect pixels(QPoint(qRound(area.left() * scale), qRound(area.top() * scale)),
                               QSize(qRound(area.width() * scale), qRound(area.height() * scale)));
            const auto [face, text] = FaceAndText(picture.copy(pixels));
            EXPECT_GE(Contrast(face, text), 4.5)
                << w->objectName().toStdString() << " " << face.name().toStdString() << " on "
                << text.name().toStdString();
            if (dark && qobject_cast<QPushButton*>(w)) {
                EXPECT_LT(face.lightness(), 128) << w->objectName().toStdString();
            }
        }
        form.hide();
    }
    QApplication::setPalette(original);
}

// The tree as a screen reader walks it from the main window.
// A combo box's own parts (its popup list, its line edit) are Qt's, named by
// the box.
void Collect(QAccessibleInterface* node, std::vector<QAccessibleInterface*>& all) {
    for (int i = 0; i < node->childCount(); ++i) {
        QAccessibleInterface* child = node->child(i);
        ASSERT_NE(child, nullptr);
        all.push_back(child);
        if (child->role() != QAccessible::ComboBox)
            Collect(child, all);
    }
}

TEST_F(WindowLook, ScreenReaderHearsNamesAndTheReadoutsValues) {
    std::vector<QAccessibleInterface*> all;
    Collect(QAccessible::queryAccessibleInterface(&form), all);
    std::map<QString, int> names;
    for (QAccessibleInterface* node : all) {
        EXPECT_TRUE(node->object() == nullptr ||
                    static_cast<QWidget*>(node->object())->isVisibleTo(&form))
            << node->object()->metaObject()->className() << " "
            << node->object()->objectName().toStdString() << " is hidden but in the tree";
        const QAccessible::Role role = node->role();
        if (role == QAccessible::PushButton || role == QAccessible::EditableText ||
            role == QAccessible::ComboBox || role == QAccessible::SpinBox) {
            // On Linux Qt names a combo box by its text and the label's relation;
            // its accessible name is what other platforms' readers say.
            const QString name = role == QAccessible::ComboBox
                                     ? static_cast<QWidget*>(node->object())->accessibleName()
                                     : node->text(QAccessible::Name);
            EXPECT_FALSE(name.isEmpty()) << node->object()->metaObject()->className() << " "
                                         << node->object()->objectName().toStdString();
            ++names[name];
        }
    }
    for (const char* name :
         {"Single distance", "Continuous distance run", "Single speed", "Continuous speed run",
          "Rotation run", "Open port", "Serial port", "Baud rate", "Model", "LRF code", "Place",
          "Destination", "Shots of a continuous run", "Rotation period in milliseconds",
          "Distance unit", "Speed unit"})
        EXPECT_EQ(names[QString::fromLatin1(name)], 1) << name;
    for (const auto& [name, count] : names)
        EXPECT_EQ(count, 1) << name.toStdString() << " names two controls";

    // The readouts: value and unit in one text, dashes as no value.
    const MainControls& c = form.controls();
    const auto spoken = [](QWidget* w) {
        return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
    };
    EXPECT_EQ(spoken(c.GroupBox1), QStringLiteral("Distance 0.0 metres"));
    EXPECT_EQ(spoken(c.GroupBox3), QStringLiteral("Speed 0.0 kilometres per hour"));
    c.GroupBox1->ShowDistance(1, 123.44); // yards
    c.GroupBox3->ShowSpeed(3, 990.0);
    EXPECT_TRUE(WaitUntil([&] { return spoken(c.GroupBox1) == "Distance 123.4 yards"; }))
        << spoken(c.GroupBox1).toStdString();
    EXPECT_TRUE(WaitUntil([&] { return spoken(c.GroupBox3) == "no speed"; }))
        << spoken(c.GroupBox3).toStdString();
    // The cells are for the eye: the readout has its title and its selector only.
    EXPECT_EQ(QAccessible::queryAccessibleInterface(c.GroupBox1)->childCount(), 2);
}

// During a run the readout's name follows the values at most a few times a second.
TEST_F(WindowLook, ReadoutAnnouncesAFewTimesASecondAtMost) {
    ReadoutPanel* readout = form.controls().GroupBox1;
    int announced = 0;
    QObject watcher;
    QElapsedTimer clock;
    clock.start();
    QString last = readout->accessibleName();
    for (int i = 0; clock.elapsed() < 1000; ++i) {
        // Values that stay below the no-distance mark however fast the shows come.
        form.controls().GroupBox1->ShowDistance(0, 100.0 + (i % 1000) * 0.1);
        QCoreApplication::processEvents();
        if (readout->accessibleName() != last) {
            last = readout->accessibleName();
            ++announced;
        }
    }
    EXPECT_GE(announced, 2);
    EXPECT_LE(announced, ReadoutPanel::kSpokenPerSecond + 1);
    // The last value is told once the pace allows.
    EXPECT_TRUE(WaitUntil([&] { return readout->accessibleName() == readout->spokenText(); }));
}

TEST_F(WindowLook, EnterSpaceAndTheShortcutsPressTheButtons) {
    ImageButton* button = form.controls().btnShowData;
    int presses = 0;
    QObject::connect(button, &QPushButton::clicked, &form, [&] { ++presses; });
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space}) {
        const int before = presses;
        QTest::keyClick(button, key);
        EXPECT_TRUE(WaitUntil([&] { return presses == before + 1; })) << key;
    }
    // The measuring keys, told in the tool tips.
    const MainControls& c = form.controls();
    const std::vector<std::pair<ImageButton*, QString>> keys{
        {c.RzBitBtn5, QStringLiteral("F5")}, {c.RzBitBtn6, QStringLiteral("F6")},
        {c.RzBitBtn8, QStringLiteral("F7")}, {c.RzBitBtn9, QStringLiteral("F8")},
        {c.RzBitBtn7, QStringLiteral("F9")}, {c.btnOpenCom, QStringLiteral("Alt+O")}};
    for (const auto& [b, key] : keys)
        EXPECT_TRUE(b->toolTip().contains(key)) << b->toolTip().toStdString();
    int singles = 0;
    QObject::connect(c.RzBitBtn5, &QPushButton::clicked, &form, [&] { ++singles; });
    // Also while the log window, shown by the button, has the focus.
    QTest::keyClick(&logWindow, Qt::Key_F5);
    EXPECT_TRUE(WaitUntil([&] { return singles == 1; }));
}

} // namespace
