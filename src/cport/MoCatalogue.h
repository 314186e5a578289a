#pragma once

// A reader of compiled message catalogues (.mo files), for the platforms whose C
// library has no gettext (Windows): the same catalogues, found in the same
// places, give the same translations there.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace cport {

class MoCatalogue {
public:
    // The catalogue in `file`; nothing when it cannot be read or is no catalogue.
    static std::optional<MoCatalogue> Load(const std::filesystem::path& file);

    // The translation of `text`, or nullptr when the catalogue has none.
    const std::string* Find(std::string_view text) const;
    std::size_t Size() const { return entries_.size(); }

private:
    std::unordered_map<std::string, std::string> entries_;
};

// The languages whose catalogues to look for, first choice first, as gettext
// takes them from the environment: LANGUAGE (a colon-separated list), else the
// first of LC_ALL, LC_MESSAGES and LANG that is set, else the system's language
// ("de-DE" on Windows). "de_DE.UTF-8@euro" gives "de_DE" then "de"; "C" and
// "POSIX" mean no translation.
std::vector<std::string> CatalogueLanguages(const char* language, const char* lcAll,
                                            const char* lcMessages, const char* lang,
                                            const std::string& system);

} // namespace cport
