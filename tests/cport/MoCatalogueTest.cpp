// The catalogue reader that stands in for gettext where the C library has none.

#include "MoCatalogue.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace cport {
namespace {

namespace fs = std::filesystem;

TEST(MoCatalogue, ReadsTheBuiltCatalogueAndRefusesOtherFiles) {
    const auto german =
        MoCatalogue::Load(fs::path(CPORT_CATALOGUES) / "de" / "LC_MESSAGES" / "cport.mo");
    ASSERT_TRUE(german);
    ASSERT_NE(german->Find("Unable to open com port"), nullptr);
    EXPECT_EQ(*german->Find("Unable to open com port"),
              "Die serielle Schnittstelle kann nicht geöffnet werden");
    EXPECT_EQ(german->Find(""), nullptr); // the header is no text
    EXPECT_EQ(german->Find("No such text"), nullptr);

    const fs::path bad = fs::temp_directory_path() / "cport-bad-catalogue.mo";
    for (const std::string& content : {std::string("not a catalogue at all"),
                                       std::string("\xde\x12\x04\x95\0\0\0\0\xff\xff\xff\x7f"
                                                   "\x40\0\0\0\x80\0\0\0",
                                                   20)}) {
        std::ofstream(bad, std::ios::binary) << content;
        EXPECT_FALSE(MoCatalogue::Load(bad)) << content.size();
    }
    fs::remove(bad);
    EXPECT_FALSE(MoCatalogue::Load(bad)); // missing
}

TEST(MoCatalogue, LanguagesAsGettextTakesThem) {
    using List = std::vector<std::string>;
    const struct {
        const char *language, *lcAll, *lcMessages, *lang;
        std::string system;
        List expected;
    } cases[] = {
        {nullptr, nullptr, nullptr, "de_DE.UTF-8", "", {"de_DE", "de"}},
        {"fr:de", nullptr, nullptr, "de_AT.UTF-8@euro", "", {"fr", "de", "de_AT"}},
        {"de", "C", nullptr, "de_DE.UTF-8", "", {}}, // the C locale translates nothing
        {nullptr, "", "pt_BR", "de_DE", "", {"pt_BR", "pt"}},
        {nullptr, nullptr, nullptr, nullptr, "de-CH", {"de_CH", "de"}}, // Windows' own
        {nullptr, nullptr, nullptr, nullptr, "", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CatalogueLanguages(c.language, c.lcAll, c.lcMessages, c.lang, c.system),
                  c.expected)
            << (c.language ? c.language : "-") << " " << (c.lang ? c.lang : "-");
}

} // namespace
} // namespace cport
