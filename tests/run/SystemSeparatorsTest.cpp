#include "SystemSeparators.h"

#include <QLocale>
#include <gtest/gtest.h>

using namespace lrf;

TEST(LocaleSeparators, FromTheShortFormats) {
    const struct {
        QLocale::Language language;
        QLocale::Territory territory;
        const char* decimal;
        const char* date;
    } cases[] = {
        {QLocale::C, QLocale::AnyTerritory, ".", "/"},
        {QLocale::English, QLocale::UnitedStates, ".", "/"},
        {QLocale::German, QLocale::Germany, ",", "."},
        {QLocale::Swedish, QLocale::Sweden, ",", "-"},
        // The short format carries right-to-left marks around its slashes.
        {QLocale::Arabic, QLocale::Egypt, "\u066B", "/"},
    };
    for (const auto& c : cases) {
        const Separators s = LocaleSeparators(QLocale(c.language, c.territory));
        EXPECT_EQ(s.decimal, c.decimal) << c.language;
        EXPECT_EQ(s.date, c.date) << c.language;
        EXPECT_EQ(s.time, ":") << c.language;
    }
}
