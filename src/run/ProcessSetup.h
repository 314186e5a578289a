#pragma once

#include <QtGlobal>

namespace lrf {

// What both programs settle for their whole process before Qt starts.
inline void PrepareProcess() {
#ifdef _WIN32
    // Qt keeps a compiled-pattern stack per thread for its regular expressions
    // (file name filters use them); with the mingw runtime that stack is freed
    // after its allocator when the process ends, which crashes the ending
    // program. Without the compiler the few patterns match as fast.
    qputenv("QT_ENABLE_REGEXP_JIT", "0");
#endif
}

} // namespace lrf
