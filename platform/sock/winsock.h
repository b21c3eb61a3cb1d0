#pragma once
// Our Windows Sockets 1.1: the types, constants and function signatures of the socket library the
// game loads by name ("wsock32"), declared here so that no game code sees a system socket header.
// The library itself (platform/sock/wsock32.cpp) runs over POSIX sockets; values that are public
// facts (address family, option numbers, error numbers, event bits) keep their Windows values.

#include <cstdint>

#include "platform/win/win.h"

using SOCKET = uint32_t;
constexpr SOCKET INVALID_SOCKET = 0xFFFFFFFFu;
constexpr int SOCKET_ERROR = -1;

// An IPv4 address in network order, readable as one word or as four bytes.
struct IN_ADDR {
    union {
        struct {
            uint8_t s_b1, s_b2, s_b3, s_b4;
        } S_un_b;
        uint32_t S_addr;
    } S_un;
};

// 16 bytes: family 2, port in network order, address, eight zero bytes.
struct SOCKADDR_IN {
    int16_t sin_family;
    uint16_t sin_port;
    IN_ADDR sin_addr;
    char sin_zero[8];
};

struct SOCKADDR {
    uint16_t sa_family;
    char sa_data[14];
};

static_assert(sizeof(SOCKADDR_IN) == 16 && sizeof(SOCKADDR) == 16);

struct HOSTENT {
    char* h_name;
    char** h_aliases;
    int16_t h_addrtype;
    int16_t h_length;
    char** h_addr_list;  // null-ended list of h_length-byte addresses in network order
};

constexpr int WSADESCRIPTION_LEN = 256;
constexpr int WSASYS_STATUS_LEN = 128;

struct WSADATA {
    WORD wVersion;
    WORD wHighVersion;
    char szDescription[WSADESCRIPTION_LEN + 1];
    char szSystemStatus[WSASYS_STATUS_LEN + 1];
    unsigned short iMaxSockets;
    unsigned short iMaxUdpDg;
    char* lpVendorInfo;
};

constexpr int WS_AF_INET = 2;
constexpr int WS_SOCK_STREAM = 1;
constexpr int WS_SOCK_DGRAM = 2;
constexpr int WS_IPPROTO_TCP = 6;
constexpr int WS_IPPROTO_UDP = 17;
constexpr int WS_SOL_SOCKET = 0xFFFF;
constexpr int WS_SO_REUSEADDR = 0x0004;
constexpr int WS_SO_SNDBUF = 0x1001;
constexpr int WS_SO_RCVBUF = 0x1002;
constexpr int WS_SO_ERROR = 0x1007;
constexpr int WS_TCP_NODELAY = 0x0001;
constexpr long WS_FIONBIO = static_cast<long>(0x8004667Eu);
constexpr long WS_FIONREAD = 0x4004667F;
constexpr uint32_t WS_INADDR_ANY = 0;
constexpr uint32_t WS_INADDR_NONE = 0xFFFFFFFFu;

// WSAAsyncSelect events: the low word of lParam; the high word carries an error number.
constexpr long FD_READ = 0x01;
constexpr long FD_WRITE = 0x02;
constexpr long FD_OOB = 0x04;
constexpr long FD_ACCEPT = 0x08;
constexpr long FD_CONNECT = 0x10;
constexpr long FD_CLOSE = 0x20;

inline WORD WSAGETSELECTEVENT(LPARAM lParam) { return static_cast<WORD>(lParam & 0xFFFF); }
inline WORD WSAGETSELECTERROR(LPARAM lParam) { return static_cast<WORD>((lParam >> 16) & 0xFFFF); }
inline LPARAM WSAMAKESELECTREPLY(long event, int error) {
    return static_cast<LPARAM>((static_cast<uint32_t>(error) << 16) | (static_cast<uint32_t>(event) & 0xFFFF));
}

// Error numbers of WSAGetLastError.
constexpr int WSAEINTR = 10004;
constexpr int WSAEBADF = 10009;
constexpr int WSAEACCES = 10013;
constexpr int WSAEFAULT = 10014;
constexpr int WSAEINVAL = 10022;
constexpr int WSAEMFILE = 10024;
constexpr int WSAEWOULDBLOCK = 10035;
constexpr int WSAEINPROGRESS = 10036;
constexpr int WSAEALREADY = 10037;
constexpr int WSAENOTSOCK = 10038;
constexpr int WSAEDESTADDRREQ = 10039;
constexpr int WSAEMSGSIZE = 10040;
constexpr int WSAEPROTONOSUPPORT = 10043;
constexpr int WSAEOPNOTSUPP = 10045;
constexpr int WSAEAFNOSUPPORT = 10047;
constexpr int WSAEADDRINUSE = 10048;
constexpr int WSAEADDRNOTAVAIL = 10049;
constexpr int WSAENETDOWN = 10050;
constexpr int WSAENETUNREACH = 10051;
constexpr int WSAECONNABORTED = 10053;
constexpr int WSAECONNRESET = 10054;
constexpr int WSAENOBUFS = 10055;
constexpr int WSAEISCONN = 10056;
constexpr int WSAENOTCONN = 10057;
constexpr int WSAESHUTDOWN = 10058;
constexpr int WSAETIMEDOUT = 10060;
constexpr int WSAECONNREFUSED = 10061;
constexpr int WSAEHOSTUNREACH = 10065;
constexpr int WSAVERNOTSUPPORTED = 10092;
constexpr int WSANOTINITIALISED = 10093;
constexpr int WSAHOST_NOT_FOUND = 11001;

// The 23 functions, as GetProcAddress hands them out.
using PFN_WSAAsyncSelect = int (*)(SOCKET s, HWND hwnd, UINT message, long events);
using PFN_closesocket = int (*)(SOCKET s);
using PFN_send = int (*)(SOCKET s, const char* buf, int len, int flags);
using PFN_sendto = int (*)(SOCKET s, const char* buf, int len, int flags, const SOCKADDR* to, int tolen);
using PFN_recv = int (*)(SOCKET s, char* buf, int len, int flags);
using PFN_recvfrom = int (*)(SOCKET s, char* buf, int len, int flags, SOCKADDR* from, int* fromlen);
using PFN_WSAStartup = int (*)(WORD version, WSADATA* data);
using PFN_WSAGetLastError = int (*)();
using PFN_socket = SOCKET (*)(int af, int type, int protocol);
using PFN_ioctlsocket = int (*)(SOCKET s, long cmd, uint32_t* argp);
using PFN_htons = uint16_t (*)(uint16_t v);
using PFN_htonl = uint32_t (*)(uint32_t v);
using PFN_ntohs = uint16_t (*)(uint16_t v);
using PFN_ntohl = uint32_t (*)(uint32_t v);
using PFN_inet_addr = uint32_t (*)(const char* text);
using PFN_connect = int (*)(SOCKET s, const SOCKADDR* name, int namelen);
using PFN_setsockopt = int (*)(SOCKET s, int level, int name, const char* value, int len);
using PFN_getsockopt = int (*)(SOCKET s, int level, int name, char* value, int* len);
using PFN_getsockname = int (*)(SOCKET s, SOCKADDR* name, int* namelen);
using PFN_bind = int (*)(SOCKET s, const SOCKADDR* name, int namelen);
using PFN_gethostname = int (*)(char* name, int namelen);
using PFN_gethostbyname = HOSTENT* (*)(const char* name);
using PFN_inet_ntoa = char* (*)(IN_ADDR in);

// The table a program fills by name, in the order it looks the names up.
struct WinsockFunctions {
    PFN_WSAAsyncSelect WSAAsyncSelect;
    PFN_closesocket closesocket;
    PFN_send send;
    PFN_sendto sendto;
    PFN_recv recv;
    PFN_recvfrom recvfrom;
    PFN_WSAStartup WSAStartup;
    PFN_WSAGetLastError WSAGetLastError;
    PFN_socket socket;
    PFN_ioctlsocket ioctlsocket;
    PFN_htons htons;
    PFN_htonl htonl;
    PFN_ntohs ntohs;
    PFN_ntohl ntohl;
    PFN_inet_addr inet_addr;
    PFN_connect connect;
    PFN_setsockopt setsockopt;
    PFN_getsockopt getsockopt;
    PFN_getsockname getsockname;
    PFN_bind bind;
    PFN_gethostname gethostname;
    PFN_gethostbyname gethostbyname;
    PFN_inet_ntoa inet_ntoa;
};

constexpr int kWinsockFunctionCount = 23;
constexpr const char* kWinsockFunctionNames[kWinsockFunctionCount] = {
    "WSAAsyncSelect", "closesocket", "send",       "sendto",      "recv",       "recvfrom",
    "WSAStartup",     "WSAGetLastError", "socket", "ioctlsocket", "htons",      "htonl",
    "ntohs",          "ntohl",       "inet_addr",  "connect",     "setsockopt", "getsockopt",
    "getsockname",    "bind",        "gethostname", "gethostbyname", "inet_ntoa"};

// Slot i of the table, for filling it by name.
inline FARPROC* WinsockSlot(WinsockFunctions* table, int i) { return reinterpret_cast<FARPROC*>(table) + i; }
