#pragma once

#include "MeasureOptions.h"

#include <cstdio>

namespace lrf::measure {

// The whole program once its command line is read: the simulator when asked
// for, the outputs, the crash journal, the run, Ctrl+C and SIGTERM, and the
// progress bar. Needs the application object and the serial component's
// hand-over. Returns the exit status.
int RunMeasure(const MeasureOptions& options, std::FILE* out = stdout, std::FILE* err = stderr);

} // namespace lrf::measure
