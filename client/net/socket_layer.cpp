#include "client/net/socket_layer.h"

#include <cstdio>
#include <cstring>

#include "client/core/error_log.h"
#include "client/net/net_rings.h"
#include "client/net/socket_settings.h"
#include "client/screens/chat_buffer.h"
#include "platform/win/platform.h"

SocketLink DatagramLink{INVALID_SOCKET, {}, {}, 0, {}, 0};
SocketLink StreamLink{INVALID_SOCKET, {}, {}, 0, {}, 0};
WinsockTable Winsock;

namespace {

constexpr int kLineColor = 222;

void Say(const char* text) { PrintMessage(MSG_SYSTEM, text, kLineColor, 0); }

int LoadWinsock() {
    Winsock.library = LoadLibraryA("wsock32");
    if (!Winsock.library) {
        Say("Could not load WSOCK32.DLL");
        return 1;
    }
    for (int i = 0; i < kWinsockFunctionCount; ++i) {
        const char* name = kWinsockFunctionNames[i];
        *WinsockSlot(&Winsock, i) = GetProcAddress(Winsock.library, name);
        if (*WinsockSlot(&Winsock, i))
            continue;
        char line[80];
        std::snprintf(line, sizeof line, "Could not GetSockAddress to %s!", i == 0 ? "WSAASYNCSELECT" : name);
        Say(line);
        if (i == kWinsockFunctionCount - 1)
            ErrorLogWrite("Could not GetSockAddress to inet_ntoa!\n");
        return 1;
    }
    return 0;
}

bool LibraryReady() { return Winsock.library != nullptr && Winsock.WSAAsyncSelect != nullptr; }

// The library is shared: it goes only when neither link holds a socket any more.
void ReleaseWinsockIfUnused() {
    if (!Winsock.library || DatagramLink.socket != INVALID_SOCKET || StreamLink.socket != INVALID_SOCKET)
        return;
    FreeLibrary(Winsock.library);
    Winsock.library = nullptr;
}

int StartWinsock(SocketLink* link) {
    if (Winsock.WSAStartup(0x0101, &link->wsaData) != 0) {
        Say("WinSock Library not found! Install Winsock.");
        return 1;
    }
    if (link->wsaData.wVersion != 0x0101) {
        Say("Invalid Winsock Version! Install Winsock 1.1.");
        return 1;
    }
    return 0;
}

int ReadBufferSize(SOCKET s, int option) {
    int size = 0;
    int len = sizeof size;
    Winsock.getsockopt(s, WS_SOL_SOCKET, option, reinterpret_cast<char*>(&size), &len);
    return size;
}

// The first address of the own host at port 3109; when that cannot be had, any address and a
// port the system chooses, so that the socket has a local address to announce.
void BindDatagramSocket(SOCKET s) {
    SOCKADDR_IN local{};
    local.sin_family = WS_AF_INET;
    char host[64] = {};
    if (Winsock.gethostname(host, sizeof host) == 0) {
        HOSTENT* h = Winsock.gethostbyname(host);
        if (h && h->h_addr_list && h->h_addr_list[0]) {
            std::memcpy(&local.sin_addr.S_un.S_addr, h->h_addr_list[0], 4);
            local.sin_port = Winsock.htons(kDatagramBindPort);
            if (Winsock.bind(s, reinterpret_cast<SOCKADDR*>(&local), sizeof local) == 0)
                return;
        }
    }
    local.sin_addr.S_un.S_addr = WS_INADDR_ANY;
    local.sin_port = 0;
    Winsock.bind(s, reinterpret_cast<SOCKADDR*>(&local), sizeof local);
}

// Bytes from the read index to the write index, or to the ring's end when the write wrapped.
int FlushSpan(const NetRing& ring) {
    return ring.write >= ring.read ? ring.write - ring.read : kRingSize - ring.read;
}

// The service's datagrams come from the address and port the link sends to; another port of
// the same host is somebody else.
bool FromRemote(const SocketLink* link) {
    return link->sender.sin_addr.S_un.S_addr == link->remoteAddress && link->sender.sin_port == link->remote.sin_port;
}

}  // namespace

int LoadWinsockForDatagram() {
    if (Winsock.library)
        return 1;
    return LoadWinsock();
}

int LoadWinsockForStream() {
    if (Winsock.library) {
        Say("DLL already initialized! Could not load.");
        return 1;
    }
    return LoadWinsock();
}

int UnloadWinsock() {
    if (!Winsock.library)
        return 1;
    FreeLibrary(Winsock.library);
    Winsock.library = nullptr;
    return 0;
}

int OpenDatagramSocket(SocketLink* link) {
    if (link->connected == 1)
        return 0;
    LoadWinsockForDatagram();
    if (!LibraryReady())
        return 1;
    if (StartWinsock(link))
        return 1;
    link->socket = Winsock.socket(WS_AF_INET, WS_SOCK_DGRAM, 0);
    if (link->socket == INVALID_SOCKET) {
        char line[80];
        std::snprintf(line, sizeof line, "Unable to establish Local DGram Socket! Err=%d", Winsock.WSAGetLastError());
        Say(line);
        return 1;
    }
    PrintDebug("Client Datagram Socket Created.");
    PrintDebug("Receive Buffer Size: %d bytes", ReadBufferSize(link->socket, WS_SO_RCVBUF));
    PrintDebug("Send Buffer Size: %d bytes", ReadBufferSize(link->socket, WS_SO_SNDBUF));
    int size = kSocketBufferSize;
    Winsock.setsockopt(link->socket, WS_SOL_SOCKET, WS_SO_RCVBUF, reinterpret_cast<char*>(&size), sizeof size);
    Winsock.setsockopt(link->socket, WS_SOL_SOCKET, WS_SO_SNDBUF, reinterpret_cast<char*>(&size), sizeof size);
    PrintDebug("New Receive Buffer Size: %d bytes", ReadBufferSize(link->socket, WS_SO_RCVBUF));
    PrintDebug("New Send Buffer Size: %d bytes", ReadBufferSize(link->socket, WS_SO_SNDBUF));
    uint32_t on = 1;
    Winsock.ioctlsocket(link->socket, WS_FIONBIO, &on);
    BindDatagramSocket(link->socket);
    // The service's address from main.dat, so that an all-datagram link has somewhere to send
    // F_CONNECT; entering an arena sets it again.
    SetSockAddr(link, SocketAddress, SocketPort);
    if (Winsock.WSAAsyncSelect(link->socket, platform::MainWindow(), WM_SOCKET_DATAGRAM, FD_CLOSE) != 0)
        return 1;
    link->connected = 1;
    return 0;
}

int OpenStreamSocket(SocketLink* link) {
    if (link->connected == 1)
        return 0;
    if (LoadWinsockForStream() != 0)
        return 1;
    if (StartWinsock(link))
        return 1;
    link->socket = Winsock.socket(WS_AF_INET, WS_SOCK_STREAM, 0);
    if (link->socket == INVALID_SOCKET) {
        char line[80];
        std::snprintf(line, sizeof line, "Unable to establish Local Stream Socket! Err=%d", Winsock.WSAGetLastError());
        Say(line);
        return 1;
    }
    PrintDebug("Client Stream Socket Created.");
    uint32_t on = 1;
    Winsock.ioctlsocket(link->socket, WS_FIONBIO, &on);
    int noDelay = -1;
    Winsock.setsockopt(link->socket, WS_IPPROTO_TCP, WS_TCP_NODELAY, reinterpret_cast<char*>(&noDelay), sizeof noDelay);
    int port = ConnectionType == CONNECTION_STREAM ? SocketStreamPort : SocketPort;
    SetSockAddr(link, SocketAddress, port);
    PrintDebug("Attempting to connect to site at %s:%d.", SocketAddress, port);
    if (Winsock.WSAAsyncSelect(link->socket, platform::MainWindow(), WM_SOCKET_STREAM, FD_CONNECT) != 0)
        return 1;
    if (Winsock.connect(link->socket, reinterpret_cast<SOCKADDR*>(&link->remote), sizeof link->remote) != 0 &&
        Winsock.WSAGetLastError() != WSAEWOULDBLOCK)
        return 1;
    return 0;
}

void ShutStreamLink(SocketLink* link) {
    if (link->socket != INVALID_SOCKET) {
        Winsock.closesocket(link->socket);
        link->socket = INVALID_SOCKET;
        Say("Stream Socket Connection Closed.");
    }
    link->connected = 0;
    ReleaseWinsockIfUnused();
}

int ProcessStreamSocket(SocketLink* link, WPARAM wParam, LPARAM lParam) {
    int event = WSAGETSELECTEVENT(lParam);
    // A close carrying an error (a reset) still closes: the socket is dead either way.
    if (wParam != link->socket || !Winsock.library || (WSAGETSELECTERROR(lParam) && event != FD_CLOSE))
        return 0;
    if (event == FD_CONNECT) {
        PrintDebug("Stream Socket Connection Established!");
        Winsock.WSAAsyncSelect(link->socket, platform::MainWindow(), WM_SOCKET_STREAM, FD_READ | FD_CLOSE);
        link->connected = 1;
    } else if (event == FD_READ) {
        ReceiveStream(link);
    } else if (event == FD_CLOSE) {
        Say("Received FD_CLOSE for Stream Socket.");
        ShutStreamLink(link);
    }
    return 0;
}

int ProcessDatagramSocket(SocketLink* link, WPARAM wParam, LPARAM lParam) {
    Say("ProcessSocket for Datagram Socket.");
    if (wParam != link->socket) {
        Say("Bad Socket ID for Datagram Socket.");
        return 0;
    }
    if (WSAGETSELECTERROR(lParam)) {
        Say("Select Error for Datagram Socket.");
        return 0;
    }
    if (!Winsock.library) {
        Say("HINSTLIB error for Datagram Socket.");
        return 0;
    }
    if (WSAGETSELECTEVENT(lParam) != FD_CLOSE)
        return 0;
    Say("Received FD_CLOSE for Datagram Socket.");
    if (link->socket != INVALID_SOCKET) {
        Winsock.closesocket(link->socket);
        link->socket = INVALID_SOCKET;
        Say("Datagram Socket Connection Closed.");
    }
    link->connected = 0;
    ReleaseWinsockIfUnused();
    return 0;
}

int FlushSendRingDatagram(SocketLink* link) {
    if (SendRing.read == SendRing.write)
        return 0;
    if (link->socket != INVALID_SOCKET && Winsock.sendto) {
        int r = Winsock.sendto(link->socket, reinterpret_cast<const char*>(SendRing.bytes + SendRing.read),
                               FlushSpan(SendRing), 0, reinterpret_cast<SOCKADDR*>(&link->remote), sizeof link->remote);
        if (r == SOCKET_ERROR && Winsock.WSAGetLastError() == WSAEWOULDBLOCK)
            Say("Socket is Write-Blocked!");
    }
    // An unsent datagram is dropped: a late one is worse than none.
    SendRing.read = 0;
    SendRing.write = 0;
    return 0;
}

int FlushSendRingStream(SocketLink* link) {
    if (link->socket == INVALID_SOCKET || SendRing.read == SendRing.write)
        return 0;
    int r = Winsock.send(link->socket, reinterpret_cast<const char*>(SendRing.bytes + SendRing.read), FlushSpan(SendRing), 0);
    if (r == SOCKET_ERROR) {
        if (Winsock.WSAGetLastError() != WSAEWOULDBLOCK)
            SendRing.write = SendRing.read;
        return 0;
    }
    SendRing.read = (SendRing.read + r) % kRingSize;
    return 0;
}

int SendDatagramBytes(SocketLink* link, const void* bytes, int count) {
    if (link->socket == INVALID_SOCKET || !Winsock.sendto)
        return 0;
    int r = Winsock.sendto(link->socket, static_cast<const char*>(bytes), count, 0,
                           reinterpret_cast<SOCKADDR*>(&link->remote), sizeof link->remote);
    if (r == SOCKET_ERROR) {
        if (Winsock.WSAGetLastError() == WSAEWOULDBLOCK)
            Say("Socket is Write-Blocked!");
        return 0;
    }
    return r;
}

namespace {

constexpr int kMsgPeek = 2;
// Datagrams read and dropped in one call at most, so that a flood cannot hold a frame.
constexpr int kDatagramTries = 64;

// One recvfrom of the link's socket. A datagram too long for the buffer counts as read (-1, with
// nothing of it used); nothing waiting or an error is 0 with *none set.
int ReadDatagram(SocketLink* link, uint8_t* buffer, int size, int flags, bool* none) {
    int fromLen = sizeof link->sender;
    int n = Winsock.recvfrom(link->socket, reinterpret_cast<char*>(buffer), size, flags,
                             reinterpret_cast<SOCKADDR*>(&link->sender), &fromLen);
    *none = false;
    if (n != SOCKET_ERROR)
        return n;
    if (Winsock.WSAGetLastError() == WSAEMSGSIZE)
        return -1;
    *none = true;
    return 0;
}

}  // namespace

int RecvDatagram(SocketLink* link, uint8_t* buffer, int size) {
    if (link->socket == INVALID_SOCKET || !Winsock.recvfrom)
        return 0;
    // Empty datagrams, ones longer than the buffer and ones from anyone but the service are read
    // and dropped.
    for (int tries = 0; tries < kDatagramTries; ++tries) {
        bool none = false;
        int n = ReadDatagram(link, buffer, size, 0, &none);
        if (none)
            return 0;
        if (n > 0 && FromRemote(link))
            return n;
    }
    return 0;
}

int ReceiveDatagrams(SocketLink* link) {
    if (link->socket == INVALID_SOCKET || !Winsock.recvfrom)
        return 0;
    uint8_t buffer[kDatagramBufferSize];
    for (int tries = 0; tries < kDatagramTries; ++tries) {
        // A look first: a datagram that does not fit in the ring waits in the socket.
        bool none = false;
        int n = ReadDatagram(link, buffer, sizeof buffer, kMsgPeek, &none);
        if (none)
            return 0;
        bool good = n > 0 && FromRemote(link) && IsWholeStreamDatagram(buffer, n);
        if (good && n > RingFree(ReceiveRing))
            return 0;
        // Taken off the queue whatever it held: an empty or overlong datagram left there would
        // stop every later read at it.
        n = ReadDatagram(link, buffer, sizeof buffer, 0, &none);
        if (none)
            return 0;
        if (good && n > 0) {
            RingAppend(ReceiveRing, buffer, n);
            return n;
        }
    }
    return 0;
}

int ReceiveStream(SocketLink* link) {
    if (link->socket == INVALID_SOCKET || !Winsock.recv)
        return 0;
    int room = RingFree(ReceiveRing);
    if (room <= 0)
        return 0;
    uint8_t buffer[kDatagramBufferSize];
    int n = Winsock.recv(link->socket, reinterpret_cast<char*>(buffer), room < kDatagramBufferSize ? room : kDatagramBufferSize, 0);
    if (n <= 0) {
        if (n < 0)
            Winsock.WSAGetLastError();
        return 0;
    }
    RingAppend(ReceiveRing, buffer, n);
    return n;
}

int SetSockAddr(SocketLink* link, const char* address, int port) {
    if (!Winsock.htons || !Winsock.inet_addr)
        return 0;  // no library: nothing to address
    std::memset(&link->remote, 0, sizeof link->remote);
    link->remote.sin_family = WS_AF_INET;
    link->remote.sin_port = Winsock.htons(static_cast<uint16_t>(port));
    link->remote.sin_addr.S_un.S_addr = Winsock.inet_addr(address);
    link->remoteAddress = link->remote.sin_addr.S_un.S_addr;
    return 1;
}

int GetLocalAddress(SocketLink* link, int* port, char* address) {
    if (!Winsock.getsockname || !Winsock.ntohs || !Winsock.inet_ntoa) {
        *port = 0;
        address[0] = '\0';
        return 0;
    }
    SOCKADDR_IN local{};
    int len = sizeof local;
    Winsock.getsockname(link->socket, reinterpret_cast<SOCKADDR*>(&local), &len);
    *port = Winsock.ntohs(local.sin_port);
    std::snprintf(address, 20, "%s", Winsock.inet_ntoa(local.sin_addr));
    return 1;
}

int CloseDatagramSocket(SocketLink* link) {
    Say("Posting FD_CLOSE for Datagram Socket.");
    PostMessage(platform::MainWindow(), WM_SOCKET_DATAGRAM, link->socket, WSAMAKESELECTREPLY(FD_CLOSE, 0));
    return 0;
}

int CloseStreamSocket(SocketLink* link) {
    Say("Posting FD_CLOSE for Stream Socket.");
    PostMessage(platform::MainWindow(), WM_SOCKET_STREAM, link->socket, WSAMAKESELECTREPLY(FD_CLOSE, 0));
    return 0;
}

void ResetSocketLinks() {
    for (SocketLink* link : {&DatagramLink, &StreamLink}) {
        if (link->socket != INVALID_SOCKET && Winsock.closesocket)
            Winsock.closesocket(link->socket);
        *link = SocketLink{INVALID_SOCKET, {}, {}, 0, {}, 0};
    }
    if (Winsock.library)
        FreeLibrary(Winsock.library);
    Winsock = WinsockTable{};
}
