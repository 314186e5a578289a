#pragma once

// Message-catalogue lookup of the component's texts: text domain "cport", with
// the catalogues under "locale" in the directory of the running program.

#include <string>

namespace cport {

// The translation of `text` in the "cport" domain, or `text` itself when no
// catalogue has it. Binds the domain at the first call.
std::string Translate(const char* text);

// The directory of the running program, without a trailing separator.
std::string ProgramDirectory();

} // namespace cport
