#include "LogColumns.h"

namespace lrf {

std::vector<std::string> LogColumnHeaderTexts() {
    std::vector<std::string> texts;
    texts.reserve(kLogColumnHeaders.size());
    for (const StringId id : kLogColumnHeaders)
        texts.emplace_back(LoadStr(id));
    return texts;
}

} // namespace lrf
