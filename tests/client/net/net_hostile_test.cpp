// What a hostile sender can do to the links of a client in the Tavern, through real loopback
// sockets: after each attack the service sends a canary, F_WORLD_STATE for an arena the client
// does not know, which a client that still reads answers with a request for that arena (code 50).

#include <arpa/inet.h>
#include <netinet/in.h>
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

    // A datagram to the client's datagram socket from a port that is not the service's, on the
    // given loopback address (127.0.0.1 is the service's host).
    void SendFromStranger(const Bytes& bytes, const char* host = "127.0.0.1") {
        int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        strangers.push_back(fd);
        sockaddr_in from{};
        from.sin_family = AF_INET;
        from.sin_addr.s_addr = inet_addr(host);
        ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from), 0) << host;
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
