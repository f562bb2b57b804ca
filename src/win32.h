// The one seam between the program and the platform.
//
// On Windows the program talks to the real Win32 API. Everywhere else it is built against
// winsim, the project's own in-memory stand-in for exactly the calls the program makes, so
// that the same product code runs under the host tests.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <shlobj.h>
#else
#include "winsim/winsim.h"
#endif

#include <stddef.h>

// Number of elements of a fixed array; the size of every bounded write comes from here or sizeof.
template <typename T, size_t N>
constexpr size_t CountOf(T (&)[N]) { return N; }
