#pragma once

#include "StringTable.h"

#include <QString>

namespace lrf {

// A string-table entry as a QString.
inline QString LoadText(int number) {
    const std::string_view s = LoadStr(number);
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

} // namespace lrf
