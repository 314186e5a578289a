#pragma once

// The Windows API headers, base part only: the full header set defines macros
// such as SetPort that would rename the component's own members.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
