#include "LocaleSeparators.h"
#include "Application.h"

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

// The application object looks the system's separators up when it is made and
// again when the system locale changes; records in between use what it found.
TEST(LocaleSeparators, LookedUpAtStartAndAtEveryLocaleChange) {
    const Separators stale{"#", "|", "~"};
    SetCurrentSeparators(stale);
    int argc = 1;
    char name[] = "shell_tests";
    char* argv[] = {name, nullptr};
    Application app(argc, argv);
    const Separators system = LocaleSeparators(QLocale::system());
    const auto same = [](const Separators& a, const Separators& b) {
        return a.decimal == b.decimal && a.date == b.date && a.time == b.time;
    };
    EXPECT_TRUE(same(CurrentSeparators(), system));

    SetCurrentSeparators(stale);
    EXPECT_TRUE(same(CurrentSeparators(), stale));
    QEvent change(QEvent::LocaleChange);
    QCoreApplication::sendEvent(&app, &change);
    EXPECT_TRUE(same(CurrentSeparators(), system));
}
