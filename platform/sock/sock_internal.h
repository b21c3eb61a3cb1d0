#pragma once
// How the library table reaches our socket library.

#include <cstdint>
#include <vector>

#include "platform/win/win.h"

namespace platform {

constexpr const char* kSocketLibraryName = "wsock32";
// The library's function of that name; null for a name it lacks or one a test hid.
FARPROC SocketFunction(const char* name);
// A host's resolved IPv4 addresses (network order) as gethostbyname lists them: each once, the
// reachable ones first and the loopback ones after, otherwise in the order found. The datagram
// socket binds to the first, which must be one the service can answer.
std::vector<uint32_t> ReachableFirst(const std::vector<uint32_t>& found);

}  // namespace platform
