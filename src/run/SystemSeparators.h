#pragma once

#include "LocalTime.h"

class QLocale;

namespace lrf {

// A locale's decimal separator and the date and time separators of its short
// formats, for the records.
Separators LocaleSeparators(const QLocale& locale);
// LocaleSeparators of the system locale, looked up now.
Separators SystemSeparators();

// Looks the system locale's separators up and makes them the current ones
// (CurrentSeparators), which the records use: when the program starts and after
// every change of the system locale, rather than at every record.
void RefreshCurrentSeparators();

} // namespace lrf
