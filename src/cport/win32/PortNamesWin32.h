#pragma once

// The registry side of the Windows port list.

#include "WindowsApi.h"

#include <string>
#include <vector>

namespace cport::win32 {

// Replaces `names` with the data of every value of the registry key `subKey` under
// `root`, sorted as port names are. Each value's name and data must fit 256 units;
// on any failure `names` is left as it was and false is returned.
bool ReadRegisteredPortNames(HKEY root, const char* subKey, std::vector<std::string>& names);

} // namespace cport::win32
