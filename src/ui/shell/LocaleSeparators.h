#pragma once

#include "LocalTime.h"

class QLocale;

namespace lrf {

// A locale's decimal separator and the date and time separators of its short
// formats, for the records and file names.
Separators LocaleSeparators(const QLocale& locale);

// Looks up the system locale's separators and makes them the current ones
// (CurrentSeparators): at start and after every change of the system locale.
void RefreshCurrentSeparators();

} // namespace lrf
