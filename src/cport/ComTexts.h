#pragma once

// Message-catalogue lookup of the component's texts: text domain "cport", with
// the catalogues under "locale" in the directory of the running program (the
// build tree, a program folder on Windows) or, where that folder is missing, in
// the installed place relative to the program (share/locale beside bin), so
// that an installation moved to another prefix still finds its own.

#include <string>

namespace cport {

// The translation of `text` in the "cport" domain, or `text` itself when no
// catalogue has it. Binds the domain at the first call.
std::string Translate(const char* text);

// The directory of the running program, without a trailing separator.
std::string ProgramDirectory();

// The catalogue directory the program in `programDirectory` uses, as above.
std::string CatalogueDirectory(const std::string& programDirectory);

} // namespace cport
