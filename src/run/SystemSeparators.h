#pragma once

#include "LocalTime.h"

class QLocale;

namespace lrf {

// A locale's decimal separator and the date and time separators of its short
// formats, for the records.
Separators LocaleSeparators(const QLocale& locale);
// LocaleSeparators of the system locale.
Separators SystemSeparators();

} // namespace lrf
