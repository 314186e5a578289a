#include "ImageButton.h"
#include "ImageList.h"
#include "NumericEdit.h"

#include <QImage>
#include <QLineEdit>
#include <gtest/gtest.h>

using namespace lrf;

TEST(NumericEdit, GroupsThousandsAndBracketsNegatives) {
    const QLocale c(QLocale::C);
    const std::vector<std::pair<int, QString>> cases{
        {0, "0"},
        {999, "999"},
        {1000, "1,000"},
        {12345, "12,345"},
        {-5, "(5)"},
        {-1234567, "(1,234,567)"},
        {2147483647, "2,147,483,647"},
        {-2147483647 - 1, "(2,147,483,648)"},
    };
    for (const auto& [value, text] : cases)
        EXPECT_EQ(NumericEdit::formatValue(value, c), text) << value;
}

TEST(NumericEdit, ReadsWhatItShowsAndWhatIsTyped) {
    NumericEdit edit;
    edit.setLocale(QLocale(QLocale::C));
    const std::vector<std::pair<QString, int>> cases{
        {"2000", 2000}, {"2,000", 2000}, {"(40)", -40}, {"-7", -7}, {"0", 0}};
    for (const auto& [typed, value] : cases) {
        edit.findChild<QLineEdit*>()->setText(typed);
        edit.interpretText();
        EXPECT_EQ(edit.value(), value) << typed.toStdString();
    }
    edit.setValue(-1234);
    EXPECT_EQ(edit.text(), "(1,234)");
    // Text that is no number leaves the value as it was.
    edit.findChild<QLineEdit*>()->setText("abc");
    edit.interpretText();
    EXPECT_EQ(edit.value(), -1234);
}

TEST(ImageList, ElevenDistinctSixteenPixelImages) {
    std::vector<QImage> images;
    for (int i = 0; i < kImageCount; ++i) {
        const QIcon icon = ButtonImage(i);
        ASSERT_FALSE(icon.isNull()) << i;
        QImage image = icon.pixmap(kImageSize, kImageSize).toImage();
        EXPECT_EQ(image.size(), QSize(16, 16));
        for (const QImage& earlier : images)
            EXPECT_NE(image, earlier) << i;
        images.push_back(image);
    }
    EXPECT_TRUE(ButtonImage(-1).isNull());
    EXPECT_TRUE(ButtonImage(kImageCount).isNull());
    EXPECT_EQ(Logo().size(), QSize(238, 81));
}

TEST(ImageButton, TheImageIndexIsTheState) {
    ImageButton button;
    EXPECT_EQ(button.imageIndex(), imgNone);
    button.setImageIndex(imgRunning);
    EXPECT_EQ(button.imageIndex(), imgRunning);
    EXPECT_FALSE(button.icon().isNull());
    button.setGlyph(Glyph::Exit);
    EXPECT_EQ(button.imageIndex(), imgNone);
    EXPECT_FALSE(button.icon().isNull());
}
