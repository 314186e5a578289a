#include "PortNames.h"

#include <algorithm>
#include <locale>
#include <numeric>

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

std::vector<std::size_t> PortNameOrder(const std::vector<std::string>& names) {
    const std::locale loc = userLocale();
    const auto& ctype = std::use_facet<std::ctype<char>>(loc);
    const auto& collate = std::use_facet<std::collate<char>>(loc);
    std::vector<std::string> keys;
    keys.reserve(names.size());
    for (std::string key : names) {
        ctype.tolower(key.data(), key.data() + key.size());
        keys.push_back(std::move(key));
    }
    std::vector<std::size_t> order(names.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return collate.compare(keys[a].data(), keys[a].data() + keys[a].size(), keys[b].data(),
                               keys[b].data() + keys[b].size()) < 0;
    });
    return order;
}

void SortPortNames(std::vector<std::string>& names) {
    std::vector<std::string> sorted;
    sorted.reserve(names.size());
    for (std::size_t i : PortNameOrder(names))
        sorted.push_back(std::move(names[i]));
    names = std::move(sorted);
}

} // namespace cport
