#pragma once

#include <QString>
#include <QStringList>

#include <string>

namespace lrf {

// Command-line arguments are bytes: a file name or a text need not be UTF-8.
// A byte that is no part of valid UTF-8 is held as the lone surrogate
// U+DC80..U+DCFF, so that ArgumentBytes gives back exactly the bytes given.
// On Windows the arguments come as UTF-16 from the system instead.
QString ArgumentText(const std::string& bytes);
// The bytes of a text made by ArgumentText; any other text as UTF-8.
std::string ArgumentBytes(const QString& text);
// The arguments as texts, the program's name first. Needs the application
// object on Windows, where it gives QCoreApplication::arguments().
QStringList ArgumentTexts(int argc, char** argv);

} // namespace lrf
