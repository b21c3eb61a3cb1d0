// What a hostile sender can do to the links of a client in the Tavern, through real loopback
// sockets: after each attack the service sends a canary, F_WORLD_STATE for an arena the client
// does not know, which a client that still reads answers with a request for that arena (code 50).

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "tests/client/net/net_messages_fixture.h"

namespace {

using namespace netmsg;

class HostileTest : public NetWaitTest {
protected:
    void TearDown() override {
        for (int fd : strangers)
            ::close(fd);
        NetWaitTest::TearDown();
    }

    // Logged in and in the Tavern over the connection type.
    void EnterTheTavern(int type) {
        ASSERT_TRUE(Open(type));
        SendConnect();
        ASSERT_EQ(WaitForServiceReply(), 1);
        g_screenState = 2;
        ASSERT_EQ(EnterTavern(nullptr), 1);
    }

    void SendCanary(uint8_t arena) {
        Bytes state(80);
        state[0] = arena;
        service.Send(0, 26, state);
    }

    // The Tavern's frames read the links through BlockRead; true once the canary was answered.
    bool CanaryAnswered(uint8_t arena) {
        for (int frame = 0; frame < 3000; ++frame) {
            BlockRead();
            for (const GameService::Frame& f : service.FramesOf(50))
                if (f.body == Bytes{0, 0, 0, arena})
                    return true;
        }
        return false;
    }

    // A datagram socket on the given loopback address (127.0.0.1 is the service's host) at a port
    // of the system's choosing, which is not the service's.
    int Stranger(const char* host = "127.0.0.1") {
        int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        strangers.push_back(fd);
        sockaddr_in from{};
        from.sin_family = AF_INET;
        from.sin_addr.s_addr = inet_addr(host);
        EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from), 0) << host;
        return fd;
    }

    static int PortOf(int fd) {
        sockaddr_in a{};
        socklen_t len = sizeof a;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
        return ntohs(a.sin_port);
    }

    // S_DATAGRAM_ESTABLISHED's body naming the socket's port on the service's host.
    static Bytes EstablishBody(int fd) {
        Bytes b(24);
        PutText(b, 0, "127.0.0.1");
        Put16(b, 22, PortOf(fd));
        return b;
    }

    // A datagram from the socket to the client's datagram socket.
    static void SendFrom(int fd, const Bytes& bytes) {
        int port = 0;
        char address[20] = {};
        GetLocalAddress(&DatagramLink, &port, address);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(static_cast<uint16_t>(port));
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(::sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to),
                  static_cast<ssize_t>(bytes.size()));
    }

    void SendFromStranger(const Bytes& bytes, const char* host = "127.0.0.1") { SendFrom(Stranger(host), bytes); }

    std::vector<int> strangers;
};

// In the all-datagram link the waits, the Tavern and the menu read only datagrams; none of these
// may stop the reading.
TEST_F(HostileTest, NoDatagramStopsTheAllDatagramLinkFromReading) {
    EnterTheTavern(CONNECTION_DATAGRAM);
    struct Attack {
        const char* what;
        std::function<void()> send;
    };
    // A whole stream frame as the service would send it: a canary of its own for arena 99, which
    // the client must not answer from a stranger.
    Bytes frame = {0, 80, 0, 0, 26};
    frame.resize(5 + 80);
    frame[5] = 99;
    const std::vector<Attack> attacks = {
        {"an empty datagram from the service's port", [&] { service.SendRawDatagram(0, {}); }},
        {"an empty datagram from a stranger", [&] { SendFromStranger({}); }},
        {"a datagram longer than the client's buffer", [&] { service.SendRawDatagram(0, Bytes(3000, 0)); }},
        {"a frame from another host", [&] { SendFromStranger(frame, "127.0.0.2"); }},
        {"a datagram that is no whole frame", [&] { service.SendRawDatagram(0, Bytes{0, 9, 1}); }},
    };
    uint8_t arena = 60;
    for (const Attack& attack : attacks) {
        attack.send();
        SendCanary(++arena);
        EXPECT_TRUE(CanaryAnswered(arena)) << attack.what;
    }
    for (const GameService::Frame& f : service.FramesOf(50))
        EXPECT_NE(f.body, (Bytes{0, 0, 0, 99})) << "a stranger's frame was taken";
    EXPECT_EQ(DatagramLink.connected, 1) << "the link stays";
}

// S_DATAGRAM_ESTABLISHED names where the client's datagrams go. Taken from anyone but the
// service, or outside the link's set-up, it would hand the link to whoever named himself.
TEST_F(HostileTest, NoEstablishMessageOutsideTheLinksSetUpMovesTheLink) {
    EnterTheTavern(CONNECTION_DATAGRAM);
    const int thief = Stranger();
    const Bytes named = EstablishBody(thief);
    Bytes frame = {0, 24, 0xFF, 0xFF, 135};
    frame.insert(frame.end(), named.begin(), named.end());
    struct Attack {
        const char* what;
        std::function<void()> send;
    };
    const std::vector<Attack> attacks = {
        {"from another port of the service's host", [&] { SendFrom(thief, frame); }},
        {"from the service, unasked", [&] { service.Send(0, 135, named); }},
    };
    uint8_t arena = 70;
    for (const Attack& attack : attacks) {
        attack.send();
        SendCanary(++arena);
        EXPECT_TRUE(CanaryAnswered(arena)) << attack.what;
        SendKeepAlive();
        SendPing();
        uint8_t got[64];
        EXPECT_LT(::recv(thief, got, sizeof got, MSG_DONTWAIT), 0) << attack.what << ": the thief got a frame";
    }
    EXPECT_EQ(DatagramEstablished, 0);
}

// The service may name another datagram port while the link is set up; from then on its
// datagrams come from there and the client's go there, and the old port is anybody's.
TEST_F(HostileTest, TheDatagramLinkMovesOnlyToThePortItsSetUpNames) {
    EnterTheTavern(CONNECTION_DATAGRAM);
    const int moved = Stranger();
    const Bytes named = EstablishBody(moved);
    service.OnCode(F_ESTABLISH_DATAGRAM, [&](GameService& s, const GameService::Frame& f) {
        s.Send(f.client, 135, named);
        return true;
    });
    ASSERT_EQ(WaitForDatagramLink(), 1);

    const auto arenaFrame = [](uint8_t arena) {
        Bytes f = {0, 52, 0xFF, 0xFF, 25};
        f.resize(5 + 52);
        f[5] = arena;
        return f;
    };
    service.SendRawDatagram(0, arenaFrame(4));
    SendFrom(moved, arenaFrame(5));
    EXPECT_TRUE(PumpUntil([] {
        BlockRead();
        return FindArenaIndex(5) > 0;
    }));
    EXPECT_EQ(FindArenaIndex(4), 0) << "the old port is no longer the service";

    SendKeepAlive();
    pollfd p{moved, POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 2000), 1);
    uint8_t got[64] = {};
    ASSERT_EQ(::recv(moved, got, sizeof got, 0), 15);
    EXPECT_EQ(got[11], F_KEEP_ALIVE);
}

// More than the receive ring holds in one write: the socket must be read again once the frames
// made room, or no read event ever comes again.
TEST_F(HostileTest, ABurstLargerThanTheReceiveRingLeavesTheStreamReading) {
    EnterTheTavern(CONNECTION_STREAM);
    Bytes burst;
    constexpr int kFrames = 400;
    for (int i = 0; i < kFrames; ++i) {
        const Bytes frame = {0, 95, 0xFF, 0xFF, 0xEE};  // 95 body bytes of an unknown code
        burst.insert(burst.end(), frame.begin(), frame.end());
        burst.insert(burst.end(), 95, static_cast<uint8_t>(i));
    }
    ASSERT_GT(burst.size(), static_cast<size_t>(kRingSize));
    const uint32_t before = LinkStats.streamPackets;
    service.SendRaw(0, burst);
    SendCanary(61);
    EXPECT_TRUE(CanaryAnswered(61));
    EXPECT_EQ(LinkStats.streamPackets - before, static_cast<uint32_t>(kFrames + 1)) << "every frame was taken";
    EXPECT_EQ(StreamLink.connected, 1);
}

}  // namespace
