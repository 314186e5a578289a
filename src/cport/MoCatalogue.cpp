#include "MoCatalogue.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>

namespace cport {

namespace {

constexpr std::uint32_t kMagic = 0x950412deu;
constexpr std::uint32_t kMagicSwapped = 0xde120495u;

std::uint32_t Swap(std::uint32_t v) {
    return (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
}

// Adds "de_DE" and "de" for "de_DE.UTF-8@euro", unless already there.
void AddLanguage(std::string name, std::vector<std::string>& out) {
    name = name.substr(0, name.find_first_of(".@"));
    for (char& c : name)
        if (c == '-')
            c = '_';
    if (name.empty() || name == "C" || name == "POSIX")
        return;
    for (const std::string& candidate : {name, name.substr(0, name.find('_'))})
        if (std::find(out.begin(), out.end(), candidate) == out.end())
            out.push_back(candidate);
}

bool IsSet(const char* value) {
    return value && *value;
}

} // namespace

std::optional<MoCatalogue> MoCatalogue::Load(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return std::nullopt;
    const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (data.size() < 20)
        return std::nullopt;
    bool swapped = false;
    auto word = [&](std::size_t at, std::uint32_t& value) {
        if (at + 4 > data.size())
            return false;
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i)
            v = (v << 8) | static_cast<unsigned char>(data[at + static_cast<std::size_t>(i)]);
        value = swapped ? Swap(v) : v;
        return true;
    };
    std::uint32_t magic = 0;
    word(0, magic);
    if (magic == kMagicSwapped)
        swapped = true;
    else if (magic != kMagic)
        return std::nullopt;
    std::uint32_t count = 0, originals = 0, translations = 0;
    if (!word(8, count) || !word(12, originals) || !word(16, translations))
        return std::nullopt;
    auto text = [&](std::uint32_t table, std::uint32_t i, std::string& out) {
        std::uint32_t length = 0, offset = 0;
        if (!word(table + 8ull * i, length) || !word(table + 8ull * i + 4, offset) ||
            std::uint64_t{offset} + length > data.size())
            return false;
        out.assign(data, offset, length);
        return true;
    };
    MoCatalogue catalogue;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::string original, translation;
        if (!text(originals, i, original) || !text(translations, i, translation))
            return std::nullopt;
        // The header (empty text) and plural forms (texts holding a NUL) are not looked up.
        if (!original.empty() && original.find('\0') == std::string::npos)
            catalogue.entries_.emplace(std::move(original), std::move(translation));
    }
    return catalogue;
}

const std::string* MoCatalogue::Find(std::string_view text) const {
    const auto found = entries_.find(std::string(text));
    return found == entries_.end() ? nullptr : &found->second;
}

std::vector<std::string> CatalogueLanguages(const char* language, const char* lcAll,
                                            const char* lcMessages, const char* lang,
                                            const std::string& system) {
    std::string locale = IsSet(lcAll)        ? lcAll
                         : IsSet(lcMessages) ? lcMessages
                         : IsSet(lang)       ? lang
                                             : system;
    std::vector<std::string> out;
    const std::string base = locale.substr(0, locale.find_first_of(".@"));
    if (base == "C" || base == "POSIX")
        return out; // gettext translates nothing in the C locale, whatever LANGUAGE says
    if (IsSet(language)) {
        const std::string list = language;
        std::string::size_type start = 0;
        while (start <= list.size()) {
            const auto end = list.find(':', start);
            AddLanguage(list.substr(start, end - start), out);
            if (end == std::string::npos)
                break;
            start = end + 1;
        }
    }
    AddLanguage(locale, out);
    return out;
}

} // namespace cport
