#pragma once
// How the library table reaches our socket library.

#include "platform/win/win.h"

namespace platform {

constexpr const char* kSocketLibraryName = "wsock32";
// The library's function of that name; null for a name it lacks or one a test hid.
FARPROC SocketFunction(const char* name);

}  // namespace platform
