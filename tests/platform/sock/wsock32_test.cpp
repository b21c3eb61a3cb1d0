#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/sock/sock_control.h"
#include "platform/sock/sock_internal.h"
#include "platform/sock/winsock.h"
#include "tests/support/headless.h"

namespace {

constexpr UINT kStreamMessage = WM_USER + 2;

struct Event {
    UINT message;
    WPARAM socket;
    int event;
    int error;
};
std::vector<Event> g_events;

LRESULT SocketProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_USER + 1 || message == WM_USER + 2)
        g_events.push_back({message, wParam, WSAGETSELECTEVENT(lParam), WSAGETSELECTERROR(lParam)});
    return DefWindowProc(hwnd, message, wParam, lParam);
}

class SockTest : public HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        platform::ResetSocketControls();
        g_events.clear();
        WNDCLASS wc{};
        wc.lpfnWndProc = SocketProc;
        wc.lpszClassName = "SockTest";
        RegisterClass(&wc);
        hwnd = CreateWindowEx(0, "SockTest", "t", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
        lib = LoadLibraryA("wsock32");
        ASSERT_NE(lib, nullptr);
        for (int i = 0; i < kWinsockFunctionCount; ++i) {
            *WinsockSlot(&ws, i) = GetProcAddress(lib, kWinsockFunctionNames[i]);
            ASSERT_NE(*WinsockSlot(&ws, i), nullptr) << kWinsockFunctionNames[i];
        }
    }

    void TearDown() override {
        for (int fd : posixFds)
            ::close(fd);
        FreeLibrary(lib);
        platform::ResetSocketControls();
        HeadlessTest::TearDown();
    }

    int Count(int event) const {
        int n = 0;
        for (const Event& e : g_events)
            n += e.event == event;
        return n;
    }

    int Listener(uint16_t* port) {
        int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        EXPECT_EQ(::listen(fd, 4), 0);
        socklen_t l = sizeof a;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &l);
        *port = ntohs(a.sin_port);
        posixFds.push_back(fd);
        return fd;
    }

    SOCKADDR_IN Loopback(uint16_t port) {
        SOCKADDR_IN a{};
        a.sin_family = WS_AF_INET;
        a.sin_port = (ws.htons)(port);
        a.sin_addr.S_un.S_addr = ws.inet_addr("127.0.0.1");
        return a;
    }

    // A connected stream pair: our socket (selected for every event) and the accepted POSIX end.
    SOCKET ConnectedStream(int* peer) {
        uint16_t port;
        int listener = Listener(&port);
        SOCKET s = ws.socket(WS_AF_INET, WS_SOCK_STREAM, 0);
        EXPECT_NE(s, INVALID_SOCKET);
        EXPECT_EQ(ws.WSAAsyncSelect(s, hwnd, kStreamMessage, FD_CONNECT), 0);
        SOCKADDR_IN a = Loopback(port);
        int r = ws.connect(s, reinterpret_cast<SOCKADDR*>(&a), sizeof a);
        if (r != 0)
            EXPECT_EQ(ws.WSAGetLastError(), WSAEWOULDBLOCK);
        EXPECT_TRUE(PumpUntil([&] { return Count(FD_CONNECT) == 1; }));
        *peer = ::accept(listener, nullptr, nullptr);
        posixFds.push_back(*peer);
        EXPECT_EQ(ws.WSAAsyncSelect(s, hwnd, kStreamMessage, FD_READ | FD_CLOSE), 0);
        return s;
    }

    HWND hwnd = nullptr;
    HMODULE lib = nullptr;
    WinsockFunctions ws{};
    std::vector<int> posixFds;
};

TEST_F(SockTest, LibraryIsFoundByNameAndTestsCanWithdrawItOrHideOneName) {
    EXPECT_NE(LoadLibraryA("WSOCK32.DLL"), nullptr);
    FreeLibrary(LoadLibraryA("WSOCK32.DLL"));
    EXPECT_EQ(GetProcAddress(lib, "WSAAsyncSelectX"), nullptr);

    platform::HideSocketFunction("inet_ntoa");
    EXPECT_EQ(GetProcAddress(lib, "inet_ntoa"), nullptr);
    EXPECT_NE(GetProcAddress(lib, "recv"), nullptr);

    platform::SetSocketLibraryPresent(false);
    EXPECT_EQ(LoadLibraryA("wsock32"), nullptr);
    EXPECT_NE(GetProcAddress(lib, "recv"), nullptr) << "a handle held stays usable";
    platform::SetSocketLibraryPresent(true);
    HMODULE again = LoadLibraryA("wsock32");
    EXPECT_EQ(again, lib);
    FreeLibrary(again);
}

TEST_F(SockTest, StartupGrantsOneOneAndByteOrderAndAddressTextsAreWindowsShaped) {
    WSADATA data;
    EXPECT_EQ(ws.WSAStartup(0x0101, &data), 0);
    EXPECT_EQ(data.wVersion, 0x0101);
    EXPECT_EQ(ws.WSAStartup(0x0001, &data), WSAVERNOTSUPPORTED);

    uint16_t s = (ws.htons)(0x1234);
    EXPECT_EQ(reinterpret_cast<uint8_t*>(&s)[0], 0x12);
    EXPECT_EQ((ws.ntohs)(s), 0x1234);
    uint32_t l = (ws.htonl)(0x01020304);
    EXPECT_EQ(reinterpret_cast<uint8_t*>(&l)[0], 0x01);
    EXPECT_EQ((ws.ntohl)(l), 0x01020304u);

    uint32_t a = ws.inet_addr("10.1.2.250");
    const uint8_t* b = reinterpret_cast<uint8_t*>(&a);
    EXPECT_EQ(b[0], 10);
    EXPECT_EQ(b[3], 250);
    EXPECT_EQ(ws.inet_addr("no.such.address"), WS_INADDR_NONE);
    IN_ADDR in;
    in.S_un.S_addr = a;
    EXPECT_STREQ(ws.inet_ntoa(in), "10.1.2.250");
    static_assert(offsetof(SOCKADDR_IN, sin_port) == 2 && offsetof(SOCKADDR_IN, sin_addr) == 4);
}

TEST_F(SockTest, OwnHostListsReachableAddressesBeforeLoopback) {
    char name[64];
    ASSERT_EQ(ws.gethostname(name, sizeof name), 0);
    HOSTENT* h = ws.gethostbyname(name);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->h_addrtype, WS_AF_INET);
    EXPECT_EQ(h->h_length, 4);
    bool seenLoopback = false;
    for (char** p = h->h_addr_list; *p; ++p) {
        bool loop = static_cast<uint8_t>((*p)[0]) == 127;
        EXPECT_FALSE(seenLoopback && !loop) << "a reachable address after a loopback one";
        seenLoopback |= loop;
    }
    HOSTENT* local = ws.gethostbyname("127.0.0.1");
    ASSERT_NE(local, nullptr);
    EXPECT_EQ(static_cast<uint8_t>(local->h_addr_list[0][0]), 127);
    EXPECT_EQ(ws.gethostbyname("host.that.does.not.resolve.invalid"), nullptr);
    char tiny[1];
    EXPECT_EQ(ws.gethostname(tiny, 1), SOCKET_ERROR);
}

// Whatever the host running the tests resolves its own name to: reachable addresses first, each
// address once.
TEST(OwnHost, ReachableAddressesComeBeforeLoopbackOnesEachOnce) {
    const auto a = [](const char* dotted) { return static_cast<uint32_t>(inet_addr(dotted)); };
    struct Row {
        const char* what;
        std::vector<uint32_t> found, listed;
    } rows[] = {
        {"loopback first", {a("127.0.1.1"), a("10.0.0.5")}, {a("10.0.0.5"), a("127.0.1.1")}},
        {"mixed with repeats",
         {a("127.0.0.1"), a("192.168.1.2"), a("127.0.1.1"), a("192.168.1.2"), a("10.0.0.5"), a("127.0.0.1")},
         {a("192.168.1.2"), a("10.0.0.5"), a("127.0.0.1"), a("127.0.1.1")}},
        {"loopback only", {a("127.0.0.1")}, {a("127.0.0.1")}},
        {"just below and above 127", {a("126.255.255.255"), a("127.255.255.255"), a("128.0.0.0")},
         {a("126.255.255.255"), a("128.0.0.0"), a("127.255.255.255")}},
        {"nothing", {}, {}},
    };
    for (const Row& r : rows)
        EXPECT_EQ(platform::ReachableFirst(r.found), r.listed) << r.what;
}

TEST_F(SockTest, ConnectPostsFdConnectOnceAndReadIsRearmedOnlyByRecv) {
    int peer;
    SOCKET s = ConnectedStream(&peer);
    ASSERT_EQ(g_events.size(), 1u);
    EXPECT_EQ(g_events[0].message, kStreamMessage);
    EXPECT_EQ(g_events[0].socket, s);
    EXPECT_EQ(g_events[0].error, 0);

    char buf[16];
    EXPECT_EQ(ws.recv(s, buf, sizeof buf, 0), SOCKET_ERROR) << "nothing waits yet";
    EXPECT_EQ(ws.WSAGetLastError(), WSAEWOULDBLOCK);
    g_events.clear();

    ASSERT_EQ(::send(peer, "0123456789", 10, 0), 10);
    EXPECT_TRUE(PumpUntil([&] { return Count(FD_READ) == 1; }));
    PumpAWhile();
    EXPECT_EQ(Count(FD_READ), 1) << "no second FD_READ before a recv";

    EXPECT_EQ(ws.recv(s, buf, 4, 0), 4);
    EXPECT_TRUE(PumpUntil([&] { return Count(FD_READ) == 2; })) << "data still waits after the recv";
    EXPECT_EQ(ws.recv(s, buf, sizeof buf, 0), 6);
    EXPECT_EQ(std::memcmp(buf, "456789", 6), 0);
    PumpAWhile();
    EXPECT_EQ(Count(FD_READ), 2) << "nothing waits any more";
    EXPECT_EQ(Count(FD_CLOSE), 0);

    ::shutdown(peer, SHUT_WR);
    EXPECT_TRUE(PumpUntil([&] { return Count(FD_CLOSE) == 1; }));
    PumpAWhile();
    EXPECT_EQ(Count(FD_CLOSE), 1) << "a close is posted once";
    EXPECT_EQ(g_events.back().error, 0);
    EXPECT_EQ(ws.recv(s, buf, sizeof buf, 0), 0);
    EXPECT_EQ(ws.closesocket(s), 0);
    EXPECT_EQ(platform::OpenSocketCount(), 0);
}

TEST_F(SockTest, DataBeforeThePeerClosesIsReadBeforeTheClose) {
    int peer;
    SOCKET s = ConnectedStream(&peer);
    g_events.clear();
    ::send(peer, "abc", 3, 0);
    ::close(peer);
    posixFds.pop_back();
    EXPECT_TRUE(PumpUntil([&] { return Count(FD_READ) == 1; }));
    EXPECT_EQ(Count(FD_CLOSE), 0);
    char buf[8];
    EXPECT_EQ(ws.recv(s, buf, sizeof buf, 0), 3);
    EXPECT_TRUE(PumpUntil([&] { return Count(FD_CLOSE) == 1; }));
}

TEST_F(SockTest, APeerResetPostsOneCloseCarryingTheResetError) {
    int peer;
    SOCKET s = ConnectedStream(&peer);
    (void)s;
    g_events.clear();
    linger lg{1, 0};
    ::setsockopt(peer, SOL_SOCKET, SO_LINGER, &lg, sizeof lg);
    ::close(peer);
    posixFds.pop_back();
    EXPECT_TRUE(PumpUntil([&] { return Count(FD_CLOSE) == 1; }));
    PumpAWhile();
    EXPECT_EQ(Count(FD_CLOSE), 1);
    EXPECT_EQ(g_events.back().error, WSAECONNRESET);
}

TEST_F(SockTest, ARefusedConnectEndsWithFdConnectCarrying10061AndNoClose) {
    uint16_t port;
    int l = Listener(&port);
    ::close(l);
    posixFds.pop_back();
    SOCKET s = ws.socket(WS_AF_INET, WS_SOCK_STREAM, 0);
    uint32_t on = 1;
    ASSERT_EQ(ws.ioctlsocket(s, WS_FIONBIO, &on), 0);
    ASSERT_EQ(ws.WSAAsyncSelect(s, hwnd, kStreamMessage, FD_CONNECT | FD_READ | FD_CLOSE), 0);
    SOCKADDR_IN a = Loopback(port);
    int r = ws.connect(s, reinterpret_cast<SOCKADDR*>(&a), sizeof a);
    if (r == SOCKET_ERROR && ws.WSAGetLastError() != WSAEWOULDBLOCK) {
        EXPECT_EQ(ws.WSAGetLastError(), WSAECONNREFUSED);
    } else {
        EXPECT_TRUE(PumpUntil([&] { return Count(FD_CONNECT) == 1; }));
        EXPECT_EQ(g_events[0].error, WSAECONNREFUSED);
    }
    PumpAWhile();
    EXPECT_EQ(Count(FD_CLOSE), 0);
    EXPECT_EQ(Count(FD_CONNECT), r == SOCKET_ERROR && ws.WSAGetLastError() == WSAECONNREFUSED ? 0 : 1);
}

TEST_F(SockTest, ControlsMakeTheNextSendWouldBlockAndTheNextConnectFail) {
    int peer;
    SOCKET s = ConnectedStream(&peer);
    platform::FailNextSend();
    EXPECT_EQ(ws.send(s, "xy", 2, 0), SOCKET_ERROR);
    EXPECT_EQ(ws.WSAGetLastError(), WSAEWOULDBLOCK);
    EXPECT_EQ(ws.send(s, "zw", 2, 0), 2);
    char buf[8];
    ASSERT_EQ(::recv(peer, buf, sizeof buf, 0), 2);
    EXPECT_EQ(std::memcmp(buf, "zw", 2), 0) << "the failed send sent nothing";

    SOCKET d = ws.socket(WS_AF_INET, WS_SOCK_DGRAM, 0);
    SOCKADDR_IN to = Loopback(9);
    platform::FailNextSend();
    EXPECT_EQ(ws.sendto(d, "q", 1, 0, reinterpret_cast<SOCKADDR*>(&to), sizeof to), SOCKET_ERROR);
    EXPECT_EQ(ws.WSAGetLastError(), WSAEWOULDBLOCK);

    SOCKET c = ws.socket(WS_AF_INET, WS_SOCK_STREAM, 0);
    platform::FailNextConnect(WSAECONNREFUSED);
    EXPECT_EQ(ws.connect(c, reinterpret_cast<SOCKADDR*>(&to), sizeof to), SOCKET_ERROR);
    EXPECT_EQ(ws.WSAGetLastError(), WSAECONNREFUSED);
    EXPECT_EQ(platform::OpenSocketCount(), 3);
}

TEST_F(SockTest, ADatagramNamesItsSenderAndOptionsReadBackAsSet) {
    SOCKET d = ws.socket(WS_AF_INET, WS_SOCK_DGRAM, 0);
    ASSERT_NE(d, INVALID_SOCKET);
    uint32_t on = 1;
    ASSERT_EQ(ws.ioctlsocket(d, WS_FIONBIO, &on), 0);
    int size = 32768;
    ASSERT_EQ(ws.setsockopt(d, WS_SOL_SOCKET, WS_SO_RCVBUF, reinterpret_cast<char*>(&size), sizeof size), 0);
    int got = 0, len = sizeof got;
    ASSERT_EQ(ws.getsockopt(d, WS_SOL_SOCKET, WS_SO_RCVBUF, reinterpret_cast<char*>(&got), &len), 0);
    EXPECT_EQ(got, 32768);

    SOCKADDR_IN me = Loopback(0);
    ASSERT_EQ(ws.bind(d, reinterpret_cast<SOCKADDR*>(&me), sizeof me), 0);
    int mlen = sizeof me;
    ASSERT_EQ(ws.getsockname(d, reinterpret_cast<SOCKADDR*>(&me), &mlen), 0);
    EXPECT_EQ(me.sin_family, WS_AF_INET);
    ASSERT_NE(me.sin_port, 0);

    char buf[64];
    SOCKADDR_IN from{};
    int flen = sizeof from;
    EXPECT_EQ(ws.recvfrom(d, buf, sizeof buf, 0, reinterpret_cast<SOCKADDR*>(&from), &flen), SOCKET_ERROR);
    EXPECT_EQ(ws.WSAGetLastError(), WSAEWOULDBLOCK);

    int sender = ::socket(AF_INET, SOCK_DGRAM, 0);
    posixFds.push_back(sender);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(sender, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    socklen_t sl = sizeof sa;
    ::getsockname(sender, reinterpret_cast<sockaddr*>(&sa), &sl);
    sockaddr_in dest{};
    dest.sin_family = AF_INET;
    dest.sin_port = me.sin_port;
    dest.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::sendto(sender, "hello", 5, 0, reinterpret_cast<sockaddr*>(&dest), sizeof dest), 5);

    int n = 0;
    ASSERT_TRUE(PumpUntil([&] {
        flen = sizeof from;
        n = ws.recvfrom(d, buf, sizeof buf, 0, reinterpret_cast<SOCKADDR*>(&from), &flen);
        return n > 0;
    }));
    EXPECT_EQ(n, 5);
    EXPECT_EQ(from.sin_family, WS_AF_INET);
    EXPECT_EQ(from.sin_port, sa.sin_port);
    EXPECT_STREQ(ws.inet_ntoa(from.sin_addr), "127.0.0.1");

    // A datagram selected for reads posts FD_READ on the datagram message as well.
    ASSERT_EQ(ws.WSAAsyncSelect(d, hwnd, WM_USER + 1, FD_READ), 0);
    ::sendto(sender, "x", 1, 0, reinterpret_cast<sockaddr*>(&dest), sizeof dest);
    EXPECT_TRUE(PumpUntil([&] { return Count(FD_READ) == 1; }));
    EXPECT_EQ(g_events.back().message, static_cast<UINT>(WM_USER + 1));
}

// Windows Sockets report a datagram longer than the buffer instead of cutting it silently: the
// buffer holds its start and the sender is named; a peek leaves it queued, a plain read takes it.
TEST_F(SockTest, ADatagramLongerThanTheBufferIsReportedAndTakenOnlyByAPlainRead) {
    SOCKET d = ws.socket(WS_AF_INET, WS_SOCK_DGRAM, 0);
    ASSERT_NE(d, INVALID_SOCKET);
    uint32_t on = 1;
    ASSERT_EQ(ws.ioctlsocket(d, WS_FIONBIO, &on), 0);
    SOCKADDR_IN me = Loopback(0);
    ASSERT_EQ(ws.bind(d, reinterpret_cast<SOCKADDR*>(&me), sizeof me), 0);
    int mlen = sizeof me;
    ASSERT_EQ(ws.getsockname(d, reinterpret_cast<SOCKADDR*>(&me), &mlen), 0);
    int sender = ::socket(AF_INET, SOCK_DGRAM, 0);
    posixFds.push_back(sender);
    sockaddr_in dest{};
    dest.sin_family = AF_INET;
    dest.sin_port = me.sin_port;
    dest.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::vector<char> big(3000);
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i);
    ASSERT_EQ(::sendto(sender, big.data(), big.size(), 0, reinterpret_cast<sockaddr*>(&dest), sizeof dest), 3000);
    ASSERT_EQ(::sendto(sender, "", 0, 0, reinterpret_cast<sockaddr*>(&dest), sizeof dest), 0);
    ASSERT_EQ(::sendto(sender, "ok", 2, 0, reinterpret_cast<sockaddr*>(&dest), sizeof dest), 2);

    constexpr int kPeek = 2;
    std::vector<char> buf(2060, 0);
    SOCKADDR_IN from{};
    int flen = sizeof from;
    for (int look = 0; look < 2; ++look) {
        EXPECT_EQ(ws.recvfrom(d, buf.data(), 2060, kPeek, reinterpret_cast<SOCKADDR*>(&from), &flen), SOCKET_ERROR);
        EXPECT_EQ(ws.WSAGetLastError(), WSAEMSGSIZE) << "a peek leaves it queued: look " << look;
    }
    EXPECT_EQ(buf[2059], static_cast<char>(2059 & 0xFF)) << "the buffer holds its start";
    EXPECT_STREQ(ws.inet_ntoa(from.sin_addr), "127.0.0.1");
    EXPECT_EQ(ws.recv(d, buf.data(), 2060, 0), SOCKET_ERROR);
    EXPECT_EQ(ws.WSAGetLastError(), WSAEMSGSIZE);
    // Taken: the empty datagram is next, a read of no bytes that is no error.
    EXPECT_EQ(ws.recvfrom(d, buf.data(), 2060, kPeek, nullptr, nullptr), 0);
    EXPECT_EQ(ws.recvfrom(d, buf.data(), 2060, 0, nullptr, nullptr), 0);
    EXPECT_EQ(ws.recvfrom(d, buf.data(), 2, 0, nullptr, nullptr), 2) << "one that fits exactly is whole";
    EXPECT_EQ(ws.recvfrom(d, buf.data(), 2060, 0, nullptr, nullptr), SOCKET_ERROR);
    EXPECT_EQ(ws.WSAGetLastError(), WSAEWOULDBLOCK);
    ws.closesocket(d);
}

}  // namespace
