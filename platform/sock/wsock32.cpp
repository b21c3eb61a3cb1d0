// Our Windows Sockets 1.1 over POSIX sockets. The game finds these 23 functions by name through
// LoadLibraryA("wsock32") and GetProcAddress. Socket events reach the window the game names in
// WSAAsyncSelect: a message source polls the selected sockets whenever the pump runs and posts
// (message, socket, event | error << 16) as the Windows library would: FD_CONNECT once when a
// connect ends, FD_READ again only after a recv, FD_CLOSE once when the peer closes or resets.

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <map>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

#include "platform/sock/sock_control.h"
#include "platform/sock/sock_internal.h"
#include "platform/sock/winsock.h"
#include "platform/win/platform.h"

namespace platform {
namespace {

struct SockState {
    bool stream = false;
    HWND hwnd = nullptr;
    UINT message = 0;
    long events = 0;
    bool connecting = false;      // a non-blocking connect is under way
    bool connectEnded = false;    // it ended at once; FD_CONNECT still to post
    bool readArmed = true;        // FD_READ may be posted (re-armed by recv)
    bool closeReported = false;
};

struct Library {
    std::map<int, SockState> sockets;
    int sourceHandle = 0;
    std::string hidden;
    bool failNextSend = false;
    int limitNextSend = -1;  // -1: no limit
    std::function<void()> onEmptyRead;
    int failNextConnect = 0;
};

Library& Lib() {
    static Library lib;
    return lib;
}

thread_local int lastError = 0;

int WsaFromErrno(int e) {
    switch (e) {
    case 0: return 0;
    case EAGAIN:
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
    case EINPROGRESS: return WSAEWOULDBLOCK;
    case EALREADY: return WSAEALREADY;
    case EINTR: return WSAEINTR;
    case EBADF: return WSAENOTSOCK;
    case ENOTSOCK: return WSAENOTSOCK;
    case EACCES: return WSAEACCES;
    case EFAULT: return WSAEFAULT;
    case EINVAL: return WSAEINVAL;
    case EMFILE: return WSAEMFILE;
    case EMSGSIZE: return WSAEMSGSIZE;
    case EPROTONOSUPPORT: return WSAEPROTONOSUPPORT;
    case EOPNOTSUPP: return WSAEOPNOTSUPP;
    case EAFNOSUPPORT: return WSAEAFNOSUPPORT;
    case EADDRINUSE: return WSAEADDRINUSE;
    case EADDRNOTAVAIL: return WSAEADDRNOTAVAIL;
    case ENETDOWN: return WSAENETDOWN;
    case ENETUNREACH: return WSAENETUNREACH;
    case ECONNABORTED: return WSAECONNABORTED;
    case ECONNRESET: return WSAECONNRESET;
    case EPIPE: return WSAESHUTDOWN;
    case ENOBUFS: return WSAENOBUFS;
    case EISCONN: return WSAEISCONN;
    case ENOTCONN: return WSAENOTCONN;
    case EDESTADDRREQ: return WSAEDESTADDRREQ;
    case ETIMEDOUT: return WSAETIMEDOUT;
    case ECONNREFUSED: return WSAECONNREFUSED;
    case EHOSTUNREACH: return WSAEHOSTUNREACH;
    default: return WSAEINVAL;
    }
}

int Fail(int wsaError) {
    lastError = wsaError;
    return SOCKET_ERROR;
}

int FailErrno() { return Fail(WsaFromErrno(errno)); }

SockState* Find(SOCKET s) {
    auto it = Lib().sockets.find(static_cast<int>(s));
    return it == Lib().sockets.end() ? nullptr : &it->second;
}

bool ToPosix(const SOCKADDR* in, int len, sockaddr_in* out) {
    if (!in || len < static_cast<int>(sizeof(SOCKADDR_IN)))
        return false;
    SOCKADDR_IN a;
    std::memcpy(&a, in, sizeof a);
    if (a.sin_family != WS_AF_INET)
        return false;
    std::memset(out, 0, sizeof *out);
    out->sin_family = AF_INET;
    out->sin_port = a.sin_port;
    out->sin_addr.s_addr = a.sin_addr.S_un.S_addr;
    return true;
}

void FromPosix(const sockaddr_in& in, SOCKADDR* out, int* len) {
    SOCKADDR_IN a{};
    a.sin_family = WS_AF_INET;
    a.sin_port = in.sin_port;
    a.sin_addr.S_un.S_addr = in.sin_addr.s_addr;
    std::memcpy(out, &a, sizeof a);
    *len = sizeof a;
}

void Post(const SockState& st, int fd, long event, int error) {
    PostMessage(st.hwnd, st.message, static_cast<WPARAM>(fd), WSAMAKESELECTREPLY(event, error));
}

// One look at every selected socket; runs at the start of each PeekMessage and GetMessage.
void PollSockets() {
    std::vector<pollfd> fds;
    for (auto& [fd, st] : Lib().sockets) {
        if (!st.events || !st.hwnd)
            continue;
        short want = POLLIN;
        if (st.connecting)
            want |= POLLOUT;
        fds.push_back({fd, want, 0});
    }
    if (fds.empty() || ::poll(fds.data(), fds.size(), 0) < 0)
        return;
    for (const pollfd& p : fds) {
        SockState* st = Find(static_cast<SOCKET>(p.fd));
        if (!st)
            continue;
        if (st->connectEnded) {
            st->connectEnded = false;
            if (st->events & FD_CONNECT)
                Post(*st, p.fd, FD_CONNECT, 0);
        }
        if (st->connecting) {
            if (!(p.revents & (POLLOUT | POLLERR | POLLHUP)))
                continue;
            int err = 0;
            socklen_t len = sizeof err;
            ::getsockopt(p.fd, SOL_SOCKET, SO_ERROR, &err, &len);
            st->connecting = false;
            if (st->events & FD_CONNECT)
                Post(*st, p.fd, FD_CONNECT, WsaFromErrno(err));
            if (err) {
                st->closeReported = true;  // a failed connect never reports a close
                continue;
            }
        }
        if (!(p.revents & (POLLIN | POLLHUP | POLLERR)))
            continue;
        if (!st->stream) {
            if (st->readArmed && (st->events & FD_READ)) {
                st->readArmed = false;
                Post(*st, p.fd, FD_READ, 0);
            }
            continue;
        }
        char c;
        ssize_t n = ::recv(p.fd, &c, 1, MSG_PEEK | MSG_DONTWAIT);
        if (n > 0) {
            if (st->readArmed && (st->events & FD_READ)) {
                st->readArmed = false;
                Post(*st, p.fd, FD_READ, 0);
            }
        } else if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
            if (!st->closeReported && (st->events & FD_CLOSE)) {
                st->closeReported = true;
                Post(*st, p.fd, FD_CLOSE, n == 0 ? 0 : WsaFromErrno(errno));
            }
        }
    }
}

// The source is installed again on each select: resetting the windowing forgets it.
void UpdateSource() {
    RemoveMessageSource(Lib().sourceHandle);
    Lib().sourceHandle = 0;
    for (auto& [fd, st] : Lib().sockets) {
        if (st.events && st.hwnd) {
            Lib().sourceHandle = AddMessageSource(PollSockets);
            return;
        }
    }
}

// ---- The 23 functions ------------------------------------------------------------------------

int WS_WSAAsyncSelect(SOCKET s, HWND hwnd, UINT message, long events) {
    SockState* st = Find(s);
    if (!st)
        return Fail(WSAENOTSOCK);
    int flags = ::fcntl(static_cast<int>(s), F_GETFL);
    if (flags >= 0)
        ::fcntl(static_cast<int>(s), F_SETFL, flags | O_NONBLOCK);
    st->hwnd = hwnd;
    st->message = message;
    st->events = events;
    st->readArmed = true;
    UpdateSource();
    return 0;
}

int WS_closesocket(SOCKET s) {
    if (!Find(s))
        return Fail(WSAENOTSOCK);
    Lib().sockets.erase(static_cast<int>(s));
    ::close(static_cast<int>(s));
    UpdateSource();
    return 0;
}

// What send and sendto refuse before anything goes out; 0 when the send may go ahead.
int RefuseSend(SOCKET s, int len) {
    if (!Find(s))
        return Fail(WSAENOTSOCK);
    if (Lib().failNextSend) {
        Lib().failNextSend = false;
        return Fail(WSAEWOULDBLOCK);
    }
    return len < 0 ? Fail(WSAEINVAL) : 0;
}

int WS_send(SOCKET s, const char* buf, int len, int flags) {
    if (RefuseSend(s, len))
        return SOCKET_ERROR;
    if (Lib().limitNextSend >= 0) {
        len = std::min(len, Lib().limitNextSend);
        Lib().limitNextSend = -1;
    }
    ssize_t n = ::send(static_cast<int>(s), buf, static_cast<size_t>(len), (flags & 1 ? MSG_OOB : 0) | MSG_NOSIGNAL);
    return n < 0 ? FailErrno() : static_cast<int>(n);
}

int WS_sendto(SOCKET s, const char* buf, int len, int flags, const SOCKADDR* to, int tolen) {
    if (RefuseSend(s, len))
        return SOCKET_ERROR;
    sockaddr_in a;
    if (to && !ToPosix(to, tolen, &a))
        return Fail(WSAEFAULT);
    ssize_t n = ::sendto(static_cast<int>(s), buf, static_cast<size_t>(len), (flags & 1 ? MSG_OOB : 0) | MSG_NOSIGNAL,
                         to ? reinterpret_cast<sockaddr*>(&a) : nullptr, to ? sizeof a : 0);
    return n < 0 ? FailErrno() : static_cast<int>(n);
}

// One read of the socket. A datagram longer than the buffer fills it and fails with WSAEMSGSIZE,
// as Windows Sockets do (Linux would cut it silently): taken off the queue by a plain read, left
// there by a peek.
int Receive(const SockState& st, SOCKET s, char* buf, int len, int flags, sockaddr_in* from) {
    int posixFlags = flags & 2 ? MSG_PEEK : 0;
    if (!st.stream)
        posixFlags |= MSG_TRUNC;  // the datagram's whole length, not what was copied
    socklen_t alen = sizeof *from;
    ssize_t n = ::recvfrom(static_cast<int>(s), buf, static_cast<size_t>(len), posixFlags,
                           reinterpret_cast<sockaddr*>(from), &alen);
    if (n < 0) {
        const int e = FailErrno();
        if (lastError == WSAEWOULDBLOCK && Lib().onEmptyRead) {
            std::function<void()> action = std::move(Lib().onEmptyRead);
            Lib().onEmptyRead = nullptr;
            action();
            lastError = WSAEWOULDBLOCK;
        }
        return e;
    }
    if (!st.stream && n > len)
        return Fail(WSAEMSGSIZE);
    return static_cast<int>(n);
}

int WS_recv(SOCKET s, char* buf, int len, int flags) {
    SockState* st = Find(s);
    if (!st)
        return Fail(WSAENOTSOCK);
    if (len < 0)
        return Fail(WSAEINVAL);
    st->readArmed = true;
    sockaddr_in a{};
    return Receive(*st, s, buf, len, flags, &a);
}

int WS_recvfrom(SOCKET s, char* buf, int len, int flags, SOCKADDR* from, int* fromlen) {
    SockState* st = Find(s);
    if (!st)
        return Fail(WSAENOTSOCK);
    if (len < 0 || (from && (!fromlen || *fromlen < static_cast<int>(sizeof(SOCKADDR_IN)))))
        return Fail(WSAEFAULT);
    st->readArmed = true;
    sockaddr_in a{};
    int n = Receive(*st, s, buf, len, flags, &a);
    // Windows names the sender of a datagram too long for the buffer as well.
    if (from && (n >= 0 || lastError == WSAEMSGSIZE))
        FromPosix(a, from, fromlen);
    return n;
}

int WS_WSAStartup(WORD version, WSADATA* data) {
    if (!data)
        return WSAEFAULT;
    std::memset(data, 0, sizeof *data);
    data->wVersion = 0x0101;
    data->wHighVersion = 0x0101;
    std::snprintf(data->szDescription, sizeof data->szDescription, "Sockets 1.1 over POSIX");
    std::snprintf(data->szSystemStatus, sizeof data->szSystemStatus, "Running");
    data->iMaxSockets = 32767;
    data->iMaxUdpDg = 65467;
    // 1.1 is all this library speaks: a caller asking for less is refused.
    if ((version & 0xFF) < 1 || ((version & 0xFF) == 1 && (version >> 8) < 1))
        return WSAVERNOTSUPPORTED;
    return 0;
}

int WS_WSAGetLastError() { return lastError; }

SOCKET WS_socket(int af, int type, int protocol) {
    if (af != WS_AF_INET) {
        Fail(WSAEAFNOSUPPORT);
        return INVALID_SOCKET;
    }
    int t = type == WS_SOCK_STREAM ? SOCK_STREAM : type == WS_SOCK_DGRAM ? SOCK_DGRAM : -1;
    if (t < 0 || (protocol != 0 && protocol != (t == SOCK_STREAM ? WS_IPPROTO_TCP : WS_IPPROTO_UDP))) {
        Fail(WSAEPROTONOSUPPORT);
        return INVALID_SOCKET;
    }
    int fd = ::socket(AF_INET, t | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        FailErrno();
        return INVALID_SOCKET;
    }
    SockState st;
    st.stream = t == SOCK_STREAM;
    Lib().sockets[fd] = st;
    return static_cast<SOCKET>(fd);
}

int WS_ioctlsocket(SOCKET s, long cmd, uint32_t* argp) {
    if (!Find(s))
        return Fail(WSAENOTSOCK);
    if (!argp)
        return Fail(WSAEFAULT);
    int fd = static_cast<int>(s);
    if (cmd == WS_FIONBIO) {
        int flags = ::fcntl(fd, F_GETFL);
        if (flags < 0 || ::fcntl(fd, F_SETFL, *argp ? flags | O_NONBLOCK : flags & ~O_NONBLOCK) < 0)
            return FailErrno();
        return 0;
    }
    if (cmd == WS_FIONREAD) {
        int n = 0;
        if (::ioctl(fd, FIONREAD, &n) < 0)
            return FailErrno();
        *argp = static_cast<uint32_t>(n);
        return 0;
    }
    return Fail(WSAEINVAL);
}

uint16_t WS_htons(uint16_t v) { return htons(v); }
uint32_t WS_htonl(uint32_t v) { return htonl(v); }
uint16_t WS_ntohs(uint16_t v) { return ntohs(v); }
uint32_t WS_ntohl(uint32_t v) { return ntohl(v); }

uint32_t WS_inet_addr(const char* text) {
    in_addr a;
    if (!text || !::inet_aton(text, &a))
        return WS_INADDR_NONE;
    return a.s_addr;
}

int WS_connect(SOCKET s, const SOCKADDR* name, int namelen) {
    SockState* st = Find(s);
    if (!st)
        return Fail(WSAENOTSOCK);
    if (int e = Lib().failNextConnect) {
        Lib().failNextConnect = 0;
        return Fail(e);
    }
    sockaddr_in a;
    if (!ToPosix(name, namelen, &a))
        return Fail(WSAEFAULT);
    if (::connect(static_cast<int>(s), reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
        st->connectEnded = true;
        return 0;
    }
    if (errno == EINPROGRESS) {
        st->connecting = true;
        return Fail(WSAEWOULDBLOCK);
    }
    return FailErrno();
}

bool MapOption(int level, int name, int* plevel, int* pname) {
    if (level == WS_SOL_SOCKET) {
        *plevel = SOL_SOCKET;
        switch (name) {
        case WS_SO_REUSEADDR: *pname = SO_REUSEADDR; return true;
        case WS_SO_SNDBUF: *pname = SO_SNDBUF; return true;
        case WS_SO_RCVBUF: *pname = SO_RCVBUF; return true;
        case WS_SO_ERROR: *pname = SO_ERROR; return true;
        default: return false;
        }
    }
    if (level == WS_IPPROTO_TCP && name == WS_TCP_NODELAY) {
        *plevel = IPPROTO_TCP;
        *pname = TCP_NODELAY;
        return true;
    }
    return false;
}

int WS_setsockopt(SOCKET s, int level, int name, const char* value, int len) {
    if (!Find(s))
        return Fail(WSAENOTSOCK);
    int plevel, pname;
    if (!MapOption(level, name, &plevel, &pname))
        return Fail(WSAEINVAL);
    if (!value || len < static_cast<int>(sizeof(int)))
        return Fail(WSAEFAULT);
    int v;
    std::memcpy(&v, value, sizeof v);
    if (pname == TCP_NODELAY || pname == SO_REUSEADDR)
        v = v != 0;
    if (::setsockopt(static_cast<int>(s), plevel, pname, &v, sizeof v) < 0)
        return FailErrno();
    return 0;
}

int WS_getsockopt(SOCKET s, int level, int name, char* value, int* len) {
    if (!Find(s))
        return Fail(WSAENOTSOCK);
    int plevel, pname;
    if (!MapOption(level, name, &plevel, &pname))
        return Fail(WSAEINVAL);
    if (!value || !len || *len < static_cast<int>(sizeof(int)))
        return Fail(WSAEFAULT);
    int v = 0;
    socklen_t l = sizeof v;
    if (::getsockopt(static_cast<int>(s), plevel, pname, &v, &l) < 0)
        return FailErrno();
    // Linux reports twice the buffer size asked for (its bookkeeping); callers see what they set.
    if (pname == SO_SNDBUF || pname == SO_RCVBUF)
        v /= 2;
    if (pname == SO_ERROR)
        v = WsaFromErrno(v);
    std::memcpy(value, &v, sizeof v);
    *len = sizeof v;
    return 0;
}

int WS_getsockname(SOCKET s, SOCKADDR* name, int* namelen) {
    if (!Find(s))
        return Fail(WSAENOTSOCK);
    if (!name || !namelen || *namelen < static_cast<int>(sizeof(SOCKADDR_IN)))
        return Fail(WSAEFAULT);
    sockaddr_in a{};
    socklen_t l = sizeof a;
    if (::getsockname(static_cast<int>(s), reinterpret_cast<sockaddr*>(&a), &l) < 0)
        return FailErrno();
    FromPosix(a, name, namelen);
    return 0;
}

int WS_bind(SOCKET s, const SOCKADDR* name, int namelen) {
    if (!Find(s))
        return Fail(WSAENOTSOCK);
    sockaddr_in a;
    if (!ToPosix(name, namelen, &a))
        return Fail(WSAEFAULT);
    if (::bind(static_cast<int>(s), reinterpret_cast<sockaddr*>(&a), sizeof a) < 0)
        return FailErrno();
    return 0;
}

int WS_gethostname(char* name, int namelen) {
    char buf[256] = {};
    if (!name || namelen <= 0 || ::gethostname(buf, sizeof buf - 1) < 0)
        return Fail(WSAEFAULT);
    if (std::strlen(buf) + 1 > static_cast<size_t>(namelen))
        return Fail(WSAEFAULT);
    std::memcpy(name, buf, std::strlen(buf) + 1);
    return 0;
}

// The own host's addresses with loopback ones last: a program that binds the first address of
// its host wants the one its peers can reach.
HOSTENT* WS_gethostbyname(const char* name) {
    struct Storage {
        HOSTENT host{};
        std::string name;
        std::vector<uint32_t> addrs;
        std::vector<char*> list;
        char* aliases[1] = {nullptr};
    };
    thread_local Storage st;
    if (!name) {
        Fail(WSAEFAULT);
        return nullptr;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_flags = AI_CANONNAME;
    addrinfo* res = nullptr;
    if (::getaddrinfo(name, nullptr, &hints, &res) != 0 || !res) {
        Fail(WSAHOST_NOT_FOUND);
        return nullptr;
    }
    std::vector<uint32_t> found;
    for (addrinfo* p = res; p; p = p->ai_next)
        found.push_back(reinterpret_cast<sockaddr_in*>(p->ai_addr)->sin_addr.s_addr);
    st.name = res->ai_canonname ? res->ai_canonname : name;
    ::freeaddrinfo(res);
    st.addrs = ReachableFirst(found);
    st.list.clear();
    for (uint32_t& a : st.addrs)
        st.list.push_back(reinterpret_cast<char*>(&a));
    st.list.push_back(nullptr);
    st.host.h_name = st.name.data();
    st.host.h_aliases = st.aliases;
    st.host.h_addrtype = WS_AF_INET;
    st.host.h_length = 4;
    st.host.h_addr_list = st.list.data();
    return &st.host;
}

char* WS_inet_ntoa(IN_ADDR in) {
    thread_local char buf[16];
    const uint8_t* b = &in.S_un.S_un_b.s_b1;
    std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
    return buf;
}

struct Export {
    const char* name;
    FARPROC fn;
};

template <typename F>
FARPROC Proc(F f) {
    return reinterpret_cast<FARPROC>(f);
}

const Export kExports[] = {
    {"WSAAsyncSelect", Proc(&WS_WSAAsyncSelect)}, {"closesocket", Proc(&WS_closesocket)},
    {"send", Proc(&WS_send)},                     {"sendto", Proc(&WS_sendto)},
    {"recv", Proc(&WS_recv)},                     {"recvfrom", Proc(&WS_recvfrom)},
    {"WSAStartup", Proc(&WS_WSAStartup)},         {"WSAGetLastError", Proc(&WS_WSAGetLastError)},
    {"socket", Proc(&WS_socket)},                 {"ioctlsocket", Proc(&WS_ioctlsocket)},
    {"htons", Proc(&WS_htons)},                   {"htonl", Proc(&WS_htonl)},
    {"ntohs", Proc(&WS_ntohs)},                   {"ntohl", Proc(&WS_ntohl)},
    {"inet_addr", Proc(&WS_inet_addr)},           {"connect", Proc(&WS_connect)},
    {"setsockopt", Proc(&WS_setsockopt)},         {"getsockopt", Proc(&WS_getsockopt)},
    {"getsockname", Proc(&WS_getsockname)},       {"bind", Proc(&WS_bind)},
    {"gethostname", Proc(&WS_gethostname)},       {"gethostbyname", Proc(&WS_gethostbyname)},
    {"inet_ntoa", Proc(&WS_inet_ntoa)},
};

}  // namespace

std::vector<uint32_t> ReachableFirst(const std::vector<uint32_t>& found) {
    std::vector<uint32_t> outer, loop;
    for (uint32_t a : found) {
        if (std::find(outer.begin(), outer.end(), a) != outer.end() || std::find(loop.begin(), loop.end(), a) != loop.end())
            continue;
        ((ntohl(a) >> 24) == 127 ? loop : outer).push_back(a);
    }
    outer.insert(outer.end(), loop.begin(), loop.end());
    return outer;
}

FARPROC SocketFunction(const char* name) {
    if (!name || Lib().hidden == name)
        return nullptr;
    for (const Export& e : kExports)
        if (std::strcmp(e.name, name) == 0)
            return e.fn;
    return nullptr;
}

void SetSocketLibraryPresent(bool present) {
    if (present)
        RegisterModule(kSocketLibraryName, SocketFunction, false);
    else
        UnregisterModule(kSocketLibraryName);
}

void HideSocketFunction(const std::string& name) { Lib().hidden = name; }
void FailNextSend() { Lib().failNextSend = true; }
void LimitNextSend(int bytes) { Lib().limitNextSend = bytes; }
void OnNextEmptyRead(std::function<void()> action) { Lib().onEmptyRead = std::move(action); }
void FailNextConnect(int wsaError) { Lib().failNextConnect = wsaError; }

void ResetSocketControls() {
    for (auto& [fd, st] : Lib().sockets)
        ::close(fd);
    Lib().sockets.clear();
    UpdateSource();
    Lib().hidden.clear();
    Lib().failNextSend = false;
    Lib().limitNextSend = -1;
    Lib().onEmptyRead = nullptr;
    Lib().failNextConnect = 0;
    lastError = 0;
    SetSocketLibraryPresent(true);
}

int OpenSocketCount() { return static_cast<int>(Lib().sockets.size()); }

}  // namespace platform
