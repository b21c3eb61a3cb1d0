#pragma once
// Our stand-in for the Internet calls the updater makes: a session opened with an agent name, a
// URL opened for reading, reads in blocks, handles closed. HTTP and HTTPS only.
//
// A read of n bytes waits until n bytes are there or the data has ended, so only the end of the
// data gives a short read, and a read of 0 bytes means the end. A status outside 200..299 is a
// failed open; a connection that breaks or ends before its announced length is a failed read.
// While a call waits for the network the wait hook runs (platform below), which lets the
// caller keep its windows served and give the call up. Data arrives on a thread of the session's
// own, up to a buffer's worth ahead of the reads; the calls and the hook run on the caller's.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/win/win.h"

struct InternetObject;
using HINTERNET = InternetObject*;
using DWORD_PTR = uintptr_t;

// Access types: the system's configured proxy (the proxy variables of the environment), a
// direct connection, or the named proxy with its bypass list.
constexpr DWORD INTERNET_OPEN_TYPE_PRECONFIG = 0;
constexpr DWORD INTERNET_OPEN_TYPE_DIRECT = 1;
constexpr DWORD INTERNET_OPEN_TYPE_PROXY = 3;

HINTERNET InternetOpenA(const char* agent, DWORD accessType, const char* proxy, const char* proxyBypass, DWORD flags);
// Sends the request and waits for the answer's status. Null on failure.
HINTERNET InternetOpenUrlA(HINTERNET session, const char* url, const char* headers, DWORD headersLength, DWORD flags,
                           DWORD_PTR context);
BOOL InternetReadFile(HINTERNET file, void* buffer, DWORD bytesToRead, DWORD* bytesRead);
// Closing a session closes the requests still open in it.
BOOL InternetCloseHandle(HINTERNET handle);

namespace platform {

// Runs about every 20 ms while an Internet call waits for the network; returning false gives
// the call up (it fails). Null for none.
using InternetWaitHook = std::function<bool()>;
void SetInternetWaitHook(InternetWaitHook hook);

// For tests: makes InternetOpenA fail as on a system without Internet services.
void SetInternetUnavailable(bool unavailable);

// Text with the bytes that may not stand in a URL escaped as %XX (controls, space, non-ASCII and
// "\"<>\\^`{|}"), and those of extra too. Opening a URL escapes it so itself.
std::string EscapeForUrl(std::string_view text, const char* extra = "");

}  // namespace platform
