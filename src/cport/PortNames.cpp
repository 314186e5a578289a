#include "PortNames.h"

#include <algorithm>
#include <locale>

namespace cport {

namespace {

std::locale userLocale() {
    try {
        return std::locale("");
    } catch (const std::runtime_error&) {
        return std::locale::classic(); // the environment names a locale we lack
    }
}

} // namespace

void SortPortNames(std::vector<std::string>& names) {
    const std::locale loc = userLocale();
    const auto& ctype = std::use_facet<std::ctype<char>>(loc);
    const auto& collate = std::use_facet<std::collate<char>>(loc);
    auto folded = [&](std::string s) {
        ctype.tolower(s.data(), s.data() + s.size());
        return s;
    };
    std::vector<std::pair<std::string, std::string>> keyed;
    keyed.reserve(names.size());
    for (auto& n : names)
        keyed.emplace_back(folded(n), std::move(n));
    std::stable_sort(keyed.begin(), keyed.end(), [&](const auto& a, const auto& b) {
        return collate.compare(a.first.data(), a.first.data() + a.first.size(), b.first.data(),
                               b.first.data() + b.first.size()) < 0;
    });
    for (std::size_t i = 0; i < names.size(); ++i)
        names[i] = std::move(keyed[i].second);
}

} // namespace cport
