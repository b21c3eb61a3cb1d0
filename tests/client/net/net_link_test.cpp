#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "client/arena/local_player.h"
#include "client/core/error_log.h"
#include "client/core/game_values.h"
#include "client/core/numeric.h"
#include "client/net/net_bodies.h"
#include "client/net/net_dispatch.h"
#include "client/net/net_rings.h"
#include "client/net/socket_layer.h"
#include "client/net/socket_settings.h"
#include "tests/support/recording_present.h"
#include "client/screens/character_file.h"
#include "client/screens/character_state.h"
#include "client/screens/chat_buffer.h"
#include "platform/sock/sock_control.h"
#include "tests/support/game_service.h"
#include "tests/support/headless.h"
#include "tests/support/temp_dir.h"

namespace {

LRESULT NetProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SOCKET_DATAGRAM)
        return ProcessDatagramSocket(&DatagramLink, wParam, lParam);
    if (message == WM_SOCKET_STREAM)
        return ProcessStreamSocket(&StreamLink, wParam, lParam);
    return DefWindowProc(hwnd, message, wParam, lParam);
}

bool ConsoleHas(const std::string& text) {
    for (const ChatLine& l : ChatBuffer.lines)
        if (text == l.text)
            return true;
    return false;
}

class LinkTest : public HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        platform::ResetSocketControls();
        ResetSocketLinks();
        ResetNetFraming();
        ClearChatBuffer();
        g_debugLevel = 0;
        WNDCLASS wc{};
        wc.lpfnWndProc = NetProc;
        wc.lpszClassName = "NetTest";
        RegisterClass(&wc);
        CreateWindowEx(0, "NetTest", "t", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
        ASSERT_TRUE(service.Ok());
        service.AddAccount("mira", "secret");
        service.InstallAsMessageSource();
        std::strcpy(SocketAddress, "127.0.0.1");
        SocketPort = service.DatagramPort();
        SocketStreamPort = service.StreamPort();
        g_linkState = 2;
        SetGameValue(118, 0);
    }

    void TearDown() override {
        service.RemoveMessageSource();
        g_linkState = 1;
        ResetSocketLinks();
        platform::ResetSocketControls();
        HeadlessTest::TearDown();
    }

    bool ConnectStream() {
        ConnectionType = CONNECTION_STREAM;
        if (OpenStreamSocket(&StreamLink) != 0)
            return false;
        return PumpUntil([] { return StreamLink.connected == 1; });
    }

    static std::vector<uint8_t> Login(const char* account, const char* password) {
        ConnectBody c{{1, 1, 0, 0}, {}, {}, {}};
        std::strcpy(c.password, password);
        std::strcpy(c.account, account);
        std::vector<uint8_t> b(95);
        EncodeConnect(c, b.data());
        return b;
    }

    struct Taken {
        int code = -1, length = 0, source = 0, destination = 0;
        std::vector<uint8_t> body;
    };
    // Pumps until the stream frames in the receive ring hold one; reads datagrams too in type 6.
    bool TakeStream(Taken* t) {
        uint8_t body[kMaxFrameBody];
        return PumpUntil([&] {
            if (ConnectionType == CONNECTION_DATAGRAM)
                while (ReceiveDatagrams(&DatagramLink) > 0) {
                }
            if (!TakeStreamPacket(body, &t->code, &t->length, &t->source, &t->destination))
                return false;
            t->body.assign(body, body + t->length);
            return true;
        });
    }

    // Opens the all-datagram link and logs in; true once the service's answer was taken.
    bool LoginOverDatagrams() {
        ConnectionType = CONNECTION_DATAGRAM;
        if (OpenDatagramSocket(&DatagramLink) != 0)
            return false;
        SendPacket(Login("mira", "secret").data(), 15, 95, 0, 0);
        Taken t;
        return TakeStream(&t) && t.code == 130;
    }

    // Logs in and enters a place; the id of the connection reply, 0 when none came.
    uint16_t LoginAndEnter(uint8_t place) {
        SendPacket(Login("mira", "secret").data(), 15, 95, 0, 0);
        uint8_t enter[76] = {};
        enter[2] = place;
        SendPacket(enter, 184, 76, 0, 0);
        Taken t;
        if (!TakeStream(&t) || !TakeStream(&t) || t.code != 128)
            return 0;
        uint16_t id = 0;
        DecodeConnection(t.body.data(), t.body.size(), &id);
        return id;
    }

    GameService service;
    RecordingPresent present;  // console lines mark the chat panel
};

TEST_F(LinkTest, ConnectOverTheStreamIsAnsweredWithTheServerVersion) {
    ASSERT_TRUE(ConnectStream());
    EXPECT_EQ(OpenStreamSocket(&StreamLink), 0) << "a second open while connected changes nothing";
    std::vector<uint8_t> body = Login("Mira", "secret");
    EXPECT_EQ(SendPacket(body.data(), 15, 95, 0, 0), 95);
    ASSERT_TRUE(PumpUntil([&] { return !service.FramesOf(15).empty(); }));
    GameService::Frame f = service.FramesOf(15)[0];
    EXPECT_EQ(f.transport, GameService::TCP);
    EXPECT_TRUE(f.lead);
    EXPECT_TRUE(f.checksumOk);
    EXPECT_EQ(f.length, 95);
    EXPECT_EQ(f.destination, 0);
    EXPECT_EQ(f.body, body);

    Taken t;
    ASSERT_TRUE(TakeStream(&t));
    EXPECT_EQ(t.code, 130);
    ServerVersionBody v;
    ASSERT_TRUE(DecodeServerVersion(t.body.data(), t.body.size(), &v));
    EXPECT_STREQ(v.account, "mira");
    EXPECT_EQ(v.version[0], '1');  // the service answers with the client's own version
}

TEST_F(LinkTest, AWrongPasswordIsRefusedWithTheRefusalValue) {
    ASSERT_TRUE(ConnectStream());
    std::vector<uint8_t> body = Login("mira", "wrong");
    SendPacket(body.data(), 15, 95, 0, 0);
    Taken t;
    ASSERT_TRUE(TakeStream(&t));
    EXPECT_EQ(t.code, 132);
    EXPECT_EQ(static_cast<int8_t>(t.body[0]), 1);
}

TEST_F(LinkTest, AllDatagramLinkSendsStreamFramesInDatagramsAndReadsThemBack) {
    ConnectionType = CONNECTION_DATAGRAM;
    ASSERT_EQ(OpenDatagramSocket(&DatagramLink), 0);
    EXPECT_EQ(DatagramLink.connected, 1);
    std::vector<uint8_t> body = Login("mira", "secret");
    EXPECT_EQ(SendPacket(body.data(), 15, 95, 0, 0), 95);
    EXPECT_EQ(RingUsed(SendRing), 0) << "the datagram flush empties the ring";
    ASSERT_TRUE(PumpUntil([&] { return !service.FramesOf(15).empty(); }));
    GameService::Frame f = service.FramesOf(15)[0];
    EXPECT_EQ(f.transport, GameService::UDP);
    EXPECT_TRUE(f.lead);
    EXPECT_TRUE(f.checksumOk);
    Taken t;
    ASSERT_TRUE(TakeStream(&t));
    EXPECT_EQ(t.code, 130);
}

TEST_F(LinkTest, AFrameWrittenOneByteAtATimeIsTakenOnlyWhenWhole) {
    ASSERT_TRUE(ConnectStream());
    SendPacket(Login("mira", "secret").data(), 15, 95, 0, 0);
    Taken t;
    ASSERT_TRUE(TakeStream(&t));
    std::vector<uint8_t> frame = {0x00, 0x03, 0x00, 0x09, 130, 'a', 'b', 0};
    service.SendRaw(0, frame, true);
    ASSERT_TRUE(TakeStream(&t));
    EXPECT_EQ(t.code, 130);
    EXPECT_EQ(t.source, 9);
    EXPECT_EQ(t.body, std::vector<uint8_t>({'a', 'b', 0}));
}

// A stream send that would block, or takes only part of the frame, leaves the rest in the ring;
// it goes out with the next frame, and the service sees both whole.
TEST_F(LinkTest, AStreamSendThatBlocksOrIsPartialKeepsTheRestForTheNextFlush) {
    ASSERT_TRUE(ConnectStream());
    struct Case {
        const char* what;
        std::function<void()> limit;
        int left;
    } cases[] = {
        {"would block", [] { platform::FailNextSend(); }, 15},
        {"partial", [] { platform::LimitNextSend(4); }, 11},
    };
    uint8_t zero = 0;
    size_t frames = 0;
    for (const Case& c : cases) {
        c.limit();
        SendPacket(&zero, 17, 1, 0, 0);
        EXPECT_EQ(RingUsed(SendRing), c.left) << c.what;
        SendPacket(&zero, 16, 1, 0, 0);
        EXPECT_EQ(RingUsed(SendRing), 0) << c.what;
        frames += 2;
        ASSERT_TRUE(PumpUntil([&] { return service.Frames().size() == frames; })) << c.what;
        const std::vector<GameService::Frame> got = service.Frames();
        for (size_t k = frames - 2; k < frames; ++k) {
            EXPECT_EQ(got[k].code, k % 2 ? 16 : 17) << c.what;
            EXPECT_TRUE(got[k].lead) << c.what;
            EXPECT_TRUE(got[k].checksumOk) << c.what;
            EXPECT_EQ(got[k].sequence, k) << c.what;
        }
    }
}

TEST_F(LinkTest, ADatagramSendThatWouldBlockIsLostAndSaidOnce) {
    ConnectionType = CONNECTION_DATAGRAM;
    ASSERT_EQ(OpenDatagramSocket(&DatagramLink), 0);
    platform::FailNextSend();
    uint8_t zero = 0;
    SendPacket(&zero, 17, 1, 0, 0);
    EXPECT_EQ(RingUsed(SendRing), 0);
    EXPECT_TRUE(ConsoleHas("Socket is Write-Blocked!"));
    SendPacket(&zero, 16, 1, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return !service.Frames().empty(); }));
    PumpAWhile();
    ASSERT_EQ(service.Frames().size(), 1u);
    EXPECT_EQ(service.Frames()[0].code, 16);
}

TEST_F(LinkTest, TheDatagramFrameOfTheLinkSetUpNeverCarriesStreamBytesLeftInTheRing) {
    ASSERT_TRUE(ConnectStream());
    ASSERT_EQ(OpenDatagramSocket(&DatagramLink), 0);
    platform::FailNextSend();
    uint8_t zero = 0;
    SendPacket(&zero, 17, 1, 0, 0);  // blocked: waits in the ring
    ASSERT_EQ(RingUsed(SendRing), 15);
    DatagramAddressBody a{"127.0.0.1", 3109};
    uint8_t body[24];
    EncodeDatagramAddress(a, body);
    EXPECT_EQ(SendDatagramPacket(body, 188, 24, 0, 0xFFFF), 24);
    EXPECT_EQ(RingUsed(SendRing), 15) << "the stream's bytes stay for the stream";
    ASSERT_TRUE(PumpUntil([&] { return !service.FramesOf(188).empty(); }));
    GameService::Frame f = service.FramesOf(188)[0];
    EXPECT_EQ(f.transport, GameService::UDP);
    EXPECT_FALSE(f.lead);
    EXPECT_TRUE(f.checksumOk);
    EXPECT_TRUE(service.FramesOf(17).empty());
}

TEST_F(LinkTest, AConnectEndingInAnErrorLeavesTheLinkUnconnectedAndSaysNothing) {
    ConnectionType = CONNECTION_STREAM;
    SocketStreamPort = 1;  // nothing listens there
    ASSERT_EQ(OpenStreamSocket(&StreamLink), 0);
    PumpAWhile();
    EXPECT_EQ(StreamLink.connected, 0);
    ClearChatBuffer();
    ProcessStreamSocket(&StreamLink, StreamLink.socket, WSAMAKESELECTREPLY(FD_CONNECT, WSAECONNREFUSED));
    EXPECT_EQ(StreamLink.connected, 0);
    EXPECT_EQ(ChatBuffer.write, 0) << "no console line";
}

TEST_F(LinkTest, TheStreamLoaderRefusesALibraryTheDatagramSocketLoaded) {
    ASSERT_EQ(OpenDatagramSocket(&DatagramLink), 0);
    EXPECT_EQ(OpenStreamSocket(&StreamLink), 1);
    EXPECT_TRUE(ConsoleHas("DLL already initialized! Could not load."));
}

TEST_F(LinkTest, AMissingLibraryOrNameIsSaid) {
    TempDir dir;
    ASSERT_TRUE(OpenErrorLog(dir.File("error.log").c_str()));
    struct Row {
        const char* hide;
        bool withdraw;
        const char* line;
    };
    const Row rows[] = {
        {"", true, "Could not load WSOCK32.DLL"},
        {"WSAAsyncSelect", false, "Could not GetSockAddress to WSAASYNCSELECT!"},
        {"connect", false, "Could not GetSockAddress to connect!"},
        {"inet_ntoa", false, "Could not GetSockAddress to inet_ntoa!"},
    };
    for (const Row& r : rows) {
        ResetSocketLinks();
        platform::ResetSocketControls();
        ClearChatBuffer();
        platform::SetSocketLibraryPresent(!r.withdraw);
        platform::HideSocketFunction(r.hide);
        EXPECT_EQ(OpenStreamSocket(&StreamLink), 1) << r.line;
        EXPECT_TRUE(ConsoleHas(r.line)) << r.line;
    }
    CloseErrorLog();
    std::string log = dir.Read("error.log");
    EXPECT_NE(log.find("Could not GetSockAddress to inet_ntoa!\n"), std::string::npos);
    EXPECT_EQ(log.find("connect!"), std::string::npos) << "only the last name goes to error.log";
}

TEST_F(LinkTest, ClosingDatagramThenStreamKeepsTheLibraryUntilBothAreClosed) {
    ASSERT_TRUE(ConnectStream());
    ASSERT_EQ(OpenDatagramSocket(&DatagramLink), 0);
    CloseDatagramSocket(&DatagramLink);
    EXPECT_TRUE(ConsoleHas("Posting FD_CLOSE for Datagram Socket."));
    Pump();
    EXPECT_TRUE(ConsoleHas("Datagram Socket Connection Closed."));
    EXPECT_EQ(DatagramLink.socket, INVALID_SOCKET);
    EXPECT_NE(Winsock.library, nullptr) << "the stream still holds a socket";
    CloseStreamSocket(&StreamLink);
    Pump();
    EXPECT_TRUE(ConsoleHas("Received FD_CLOSE for Stream Socket."));
    EXPECT_TRUE(ConsoleHas("Stream Socket Connection Closed."));
    EXPECT_EQ(StreamLink.socket, INVALID_SOCKET);
    EXPECT_EQ(StreamLink.connected, 0);
    EXPECT_EQ(Winsock.library, nullptr);
    EXPECT_EQ(UnloadWinsock(), 1);
    EXPECT_EQ(platform::OpenSocketCount(), 0);
}

TEST_F(LinkTest, APeerCloseOrResetClosesTheStreamLink) {
    ASSERT_TRUE(ConnectStream());
    SendPacket(Login("mira", "secret").data(), 15, 95, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return service.ClientCount() == 1; }));
    service.CloseClient(0);
    ASSERT_TRUE(PumpUntil([] { return StreamLink.socket == INVALID_SOCKET; }));
    EXPECT_EQ(StreamLink.connected, 0);
    EXPECT_EQ(Winsock.library, nullptr);
}

TEST_F(LinkTest, AReadTakesNoMoreThanTheReceiveRingHasRoomFor) {
    ASSERT_TRUE(ConnectStream());
    SendPacket(Login("mira", "secret").data(), 15, 95, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return service.ClientCount() == 1; }));
    PumpAWhile();
    ResetReceiveRing();
    std::vector<uint8_t> filler(kRingSize - 1 - 10, 0);
    RingAppend(ReceiveRing, filler.data(), static_cast<int>(filler.size()));
    // Twenty frames of an unknown code, five bytes each.
    std::vector<uint8_t> frames;
    for (int i = 0; i < 20; ++i)
        frames.insert(frames.end(), {0, 0, 0, 9, 0xEE});
    service.SendRaw(0, frames);
    ASSERT_TRUE(PumpUntil([] { return RingFree(ReceiveRing) == 0; }));
    PumpAWhile();
    EXPECT_EQ(RingFree(ReceiveRing), 0);
    EXPECT_EQ(ReceiveRing.bytes[(ReceiveRing.write + kRingSize - 1) % kRingSize], 0xEE);
    // Room again: the read loop takes the rest, though the socket signalled it while the ring was
    // full and will not again until it is read.
    ResetReceiveRing();
    const uint32_t before = LinkStats.streamPackets;
    ASSERT_TRUE(PumpUntil([&] {
        BlockRead();
        return LinkStats.streamPackets - before == 18;
    })) << "the rest waited in the socket";
}

// A datagram from the service's port, raw.
std::vector<uint8_t> NetFrameDatagram(uint16_t sequence, uint8_t code, std::vector<uint8_t> body, size_t claimed) {
    std::vector<uint8_t> d = {static_cast<uint8_t>(claimed >> 8), static_cast<uint8_t>(claimed),
                              static_cast<uint8_t>(sequence >> 8), static_cast<uint8_t>(sequence), 0, 5, 0, 9, 0, code};
    d.insert(d.end(), body.begin(), body.end());
    return d;
}

TEST_F(LinkTest, TakeDatagramPacketDropsShortAndOverlongDatagramsAndStrangers) {
    ASSERT_TRUE(ConnectStream());
    ASSERT_EQ(OpenDatagramSocket(&DatagramLink), 0);
    SetGameValue(118, 9);
    SendPacket(Login("mira", "secret").data(), 15, 95, 0, 0);
    uint8_t enter[76] = {};
    SendPacket(enter, 184, 76, 0, 0);
    DatagramAddressBody a{};
    std::strcpy(a.address, "127.0.0.1");
    int port;
    GetLocalAddress(&DatagramLink, &port, a.address);
    a.port = static_cast<uint32_t>(port);
    uint8_t body[24];
    EncodeDatagramAddress(a, body);
    NetClientId = 1;
    SendDatagramPacket(body, 188, 24, 0, 0xFFFF);
    ASSERT_TRUE(PumpUntil([&] { return !service.FramesOf(188).empty(); }));

    // From a stranger on another loopback address: dropped.
    int stranger = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in from{};
    from.sin_family = AF_INET;
    from.sin_addr.s_addr = inet_addr("127.0.0.2");
    bool strangerBound = ::bind(stranger, reinterpret_cast<sockaddr*>(&from), sizeof from) == 0;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    to.sin_addr.s_addr = inet_addr("127.0.0.1");
    std::vector<uint8_t> good = NetFrameDatagram(3, 24, {1, 2, 3, 4, 5, 6, 7, 8}, 8);
    if (strangerBound)
        ::sendto(stranger, good.data(), good.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    ::close(stranger);

    service.SendRawDatagram(0, {1, 2, 3, 4, 5, 6, 7, 8, 9});                     // under 10 bytes
    service.SendRawDatagram(0, NetFrameDatagram(1, 24, {1, 2, 3}, 4));          // claims more than it holds
    service.SendRawDatagram(0, NetFrameDatagram(2, 24, std::vector<uint8_t>(2049, 0), 2049));  // over 2048
    service.SendRawDatagram(0, good);

    uint8_t out[kMaxFrameBody];
    int code = 0, length = 0, source = 0, destination = 0;
    ASSERT_TRUE(PumpUntil([&] { return TakeDatagramPacket(out, &code, &length, &source, &destination) == 1; }));
    EXPECT_EQ(code, 24);
    EXPECT_EQ(length, 8);
    EXPECT_EQ(source, 5);
    EXPECT_EQ(destination, 9);
    EXPECT_EQ(out[7], 8);
    EXPECT_EQ(LinkStats.datagramPackets, 1u) << "only the good one counts";
    EXPECT_EQ(LinkStats.datagramBytes, good.size());
    EXPECT_EQ(LinkStats.datagramsLost, 2u) << "sequences 1 and 2 never came";
    PumpAWhile();
    EXPECT_EQ(TakeDatagramPacket(out, &code, &length, &source, &destination), 0);
}

TEST_F(LinkTest, ReceiveDatagramsTakesOnlyDatagramsOfWholeStreamFramesThatFit) {
    ASSERT_TRUE(LoginOverDatagrams());
    std::vector<uint8_t> two = {0, 1, 0, 7, 133, 0xEE, 0, 0, 0, 7, 131};
    std::vector<uint8_t> ragged = {0, 1, 0, 7, 133, 0xEE, 0, 0};
    std::vector<uint8_t> tooLong = {0x07, 0xFC, 0, 7, 133};
    tooLong.resize(5 + 2044, 0);
    service.SendRawDatagram(0, ragged);
    service.SendRawDatagram(0, tooLong);
    service.SendRawDatagram(0, two);
    int n = 0;
    ASSERT_TRUE(PumpUntil([&] { return (n = ReceiveDatagrams(&DatagramLink)) > 0; }));
    EXPECT_EQ(n, static_cast<int>(two.size()));
    EXPECT_EQ(RingUsed(ReceiveRing), static_cast<int>(two.size()));

    // A datagram that does not fit in the ring stays in the socket until there is room.
    ResetReceiveRing();
    std::vector<uint8_t> filler(kRingSize - 1 - 5, 0);
    RingAppend(ReceiveRing, filler.data(), static_cast<int>(filler.size()));
    service.SendRawDatagram(0, two);
    PumpAWhile();
    EXPECT_EQ(ReceiveDatagrams(&DatagramLink), 0);
    ResetReceiveRing();
    EXPECT_EQ(ReceiveDatagrams(&DatagramLink), static_cast<int>(two.size()));
}

// The all-datagram link's service datagrams hold stream frames and have one reader, the receive
// ring. A datagram that arrives just after the ring's reader found the socket empty waits for
// the next read; it is never taken by the datagram-frame reader, which would lose it, or read
// its two frames as one message the service never sent.
TEST_F(LinkTest, AllDatagramFramesArrivingAfterTheDrainStillReachTheRingWhole) {
    ASSERT_TRUE(LoginOverDatagrams());
    ResetNetDispatch();
    const std::vector<uint8_t> two = {0, 0, 0xFF, 0xFF, 133, 0, 0, 0xFF, 0xFF, 131};  // game opened, world sent
    const int fd = static_cast<int>(DatagramLink.socket);
    platform::OnNextEmptyRead([&] {
        service.SendRawDatagram(0, two);
        pollfd p{fd, POLLIN, 0};
        ::poll(&p, 1, 2000);
    });
    DatagramRead();
    ASSERT_TRUE(PumpUntil([] {
        DatagramRead();
        return GameOpened && WorldSent;
    })) << "opened=" << GameOpened << " world=" << WorldSent;
    EXPECT_EQ(LinkStats.datagramPackets, 0u) << "no service datagram is read as a datagram frame";
    EXPECT_EQ(LinkStats.streamPackets, 3u) << "the login answer and both frames, each once";
}

TEST_F(LinkTest, AnOccupiedPort3109LeavesTheDatagramSocketOnAPortOfTheSystems) {
    int holder = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(3109);
    bool held = ::bind(holder, reinterpret_cast<sockaddr*>(&any), sizeof any) == 0;
    ASSERT_EQ(OpenDatagramSocket(&DatagramLink), 0);
    int port = 0;
    char address[20];
    GetLocalAddress(&DatagramLink, &port, address);
    ::close(holder);
    if (held)
        EXPECT_NE(port, 3109);
    EXPECT_NE(port, 0) << "the socket has a port to announce";
}

TEST_F(LinkTest, TheThreadedServiceAnswersTheSameHandshake) {
    service.RemoveMessageSource();
    service.StartThread();
    ASSERT_TRUE(ConnectStream());
    SendPacket(Login("mira", "secret").data(), 15, 95, 0, 0);
    uint8_t enter[76] = {};
    enter[2] = 255;
    SendPacket(enter, 184, 76, 0, 0);
    uint8_t open = 1;
    SendPacket(&open, 23, 1, 0, 0xFFFF);
    std::vector<int> codes;
    Taken t;
    while (codes.size() < 3 && TakeStream(&t))
        codes.push_back(t.code);
    EXPECT_EQ(codes, std::vector<int>({130, 128, 133}));
    service.StopThread();
    std::vector<std::string> capture = service.Capture();
    ASSERT_GE(capture.size(), 6u);
    EXPECT_NE(capture[0].find(" c t 1b1b005f"), std::string::npos) << capture[0];
}

TEST_F(LinkTest, ReplayAnswersACapturesClientFramesInOrder) {
    ASSERT_TRUE(ConnectStream());
    SendPacket(Login("mira", "secret").data(), 15, 95, 0, 0);
    Taken t;
    ASSERT_TRUE(TakeStream(&t));
    std::vector<std::string> capture = {"0 c t 00", "1 s t 0001ffff8008", "2 c t 00", "3 s t 0000ffff85"};
    service.Replay(capture);
    uint8_t zero = 0;
    SendPacket(&zero, 17, 1, 0, 0);
    ASSERT_TRUE(TakeStream(&t));
    EXPECT_EQ(t.code, 0x80);
    EXPECT_EQ(t.body, std::vector<uint8_t>({0x08}));
    SendPacket(&zero, 17, 1, 0, 0);
    ASSERT_TRUE(TakeStream(&t));
    EXPECT_EQ(t.code, 0x85);
}

TEST_F(LinkTest, AResetClosesTheStreamLinkThoughItsCloseCarriesAnError) {
    ASSERT_TRUE(ConnectStream());
    ProcessStreamSocket(&StreamLink, StreamLink.socket, WSAMAKESELECTREPLY(FD_CLOSE, WSAECONNRESET));
    EXPECT_EQ(StreamLink.socket, INVALID_SOCKET);
    EXPECT_EQ(StreamLink.connected, 0);
    EXPECT_TRUE(ConsoleHas("Stream Socket Connection Closed."));
}

TEST_F(LinkTest, ScriptedPlayersJoinTalkMoveAndLeave) {
    ASSERT_TRUE(ConnectStream());
    ASSERT_EQ(OpenDatagramSocket(&DatagramLink), 0);
    uint16_t id = LoginAndEnter(255);
    ASSERT_NE(id, 0);
    Taken t;
    NetClientId = id;
    EXPECT_EQ(id, service.ClientId(0));

    service.PlayerJoins(7, "Oren", 255, 1);
    ASSERT_TRUE(TakeStream(&t));
    ASSERT_EQ(t.code, 3);
    PlayerJoinedBody j;
    ASSERT_TRUE(DecodePlayerJoined(t.body.data(), t.body.size(), &j));
    EXPECT_EQ(j.id, 7);
    EXPECT_STREQ(j.name, "Oren");
    EXPECT_EQ(j.location, 255);

    service.PlayerChat(7, "well met");
    ASSERT_TRUE(TakeStream(&t));
    ASSERT_EQ(t.code, 7);
    EXPECT_EQ(t.source, 7);
    TwoIdBody c;
    ASSERT_TRUE(DecodeTwoIdBody(t.body.data(), t.body.size(), &c));
    EXPECT_STREQ(c.text, "well met");

    // The datagram link: the service learns the client's datagram address from its id.
    DatagramAddressBody a{};
    int port;
    GetLocalAddress(&DatagramLink, &port, a.address);
    a.port = static_cast<uint32_t>(port);
    uint8_t body[24];
    EncodeDatagramAddress(a, body);
    SendDatagramPacket(body, 188, 24, 0, 0xFFFF);
    ASSERT_TRUE(TakeStream(&t));
    ASSERT_EQ(t.code, 135);
    DatagramAddressBody there;
    ASSERT_TRUE(DecodeDatagramAddress(t.body.data(), t.body.size(), &there));
    EXPECT_EQ(there.port, service.DatagramPort());
    SetSockAddr(&DatagramLink, there.address, static_cast<int>(there.port));

    service.DropNextDatagrams(2);
    std::vector<uint8_t> state(12, 0x11);
    for (int i = 0; i < 3; ++i)
        service.PlayerState(7, state);
    uint8_t out[kMaxFrameBody];
    int code, length, source, destination;
    ASSERT_TRUE(PumpUntil([&] { return TakeDatagramPacket(out, &code, &length, &source, &destination) == 1; }));
    EXPECT_EQ(code, 1);
    EXPECT_EQ(source, 7);
    EXPECT_EQ(destination, id);
    EXPECT_EQ(LinkStats.lastDatagramSequence, 2u);
    EXPECT_EQ(LinkStats.datagramsLost, 1u) << "sequence 0 is the start; 1 was dropped";

    service.PlayerLeaves(7);
    ASSERT_TRUE(TakeStream(&t));
    EXPECT_EQ(t.code, 4);
    EXPECT_EQ(t.body[1], 7);
}

TEST_F(LinkTest, ASilentServiceRecordsButAnswersNothingAndARefusalValueIsSent) {
    service.AddAccount("barred", "x", 10);
    ASSERT_TRUE(ConnectStream());
    service.SetSilent(true);
    SendPacket(Login("mira", "secret").data(), 15, 95, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return service.Frames().size() == 1; }));
    PumpAWhile();
    EXPECT_EQ(RingUsed(ReceiveRing), 0);
    service.SetSilent(false);
    SendPacket(Login("barred", "x").data(), 15, 95, 0, 0);
    Taken t;
    ASSERT_TRUE(TakeStream(&t));
    EXPECT_EQ(t.code, 132);
    EXPECT_EQ(t.body[0], 10);
}

// A second client of the service, made of plain sockets: frames in, stream frames out.
class RawClient {
public:
    explicit RawClient(uint16_t port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ok_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    }
    ~RawClient() { ::close(fd_); }
    bool Ok() const { return ok_; }
    void Send(uint8_t code, std::vector<uint8_t> body, uint16_t destination) {
        std::vector<uint8_t> f = {0x1B, 0x1B, static_cast<uint8_t>(body.size() >> 8), static_cast<uint8_t>(body.size()),
                                  0, 0, 0, 0, static_cast<uint8_t>(destination >> 8), static_cast<uint8_t>(destination),
                                  0, code};
        f.insert(f.end(), body.begin(), body.end());
        f.insert(f.end(), {0, 0});
        ::send(fd_, f.data(), f.size(), MSG_NOSIGNAL);
    }
    // Whatever has arrived, without waiting.
    std::vector<uint8_t> Read() {
        uint8_t buf[4096];
        ssize_t n = ::recv(fd_, buf, sizeof buf, MSG_DONTWAIT);
        if (n > 0)
            in_.insert(in_.end(), buf, buf + n);
        return in_;
    }

private:
    int fd_ = -1;
    bool ok_ = false;
    std::vector<uint8_t> in_;
};

TEST_F(LinkTest, FramesForAllOrOnePlayerAreRelayedToThePlacesOtherClientsWithTheSenderAsSource) {
    ASSERT_TRUE(ConnectStream());
    uint16_t own = LoginAndEnter(255);
    ASSERT_NE(own, 0);
    Taken t;

    RawClient other(service.StreamPort());
    ASSERT_TRUE(other.Ok());
    std::vector<uint8_t> otherEnter(76, 0);
    otherEnter[2] = 255;
    other.Send(184, otherEnter, 0);
    ASSERT_TRUE(PumpUntil([&] { return other.Read().size() >= 7; })) << "its connection reply";
    uint16_t otherId = service.ClientId(1);
    ASSERT_NE(otherId, 0);

    std::vector<uint8_t> state(12, 0x21);
    SendPacket(state.data(), 1, 12, 0, 0xFFFF);
    ASSERT_TRUE(PumpUntil([&] { return other.Read().size() >= 7 + 17; }));
    std::vector<uint8_t> got = other.Read();
    std::vector<uint8_t> want = {0, 12, static_cast<uint8_t>(own >> 8), static_cast<uint8_t>(own), 1};
    want.insert(want.end(), state.begin(), state.end());
    EXPECT_EQ(std::vector<uint8_t>(got.begin() + 7, got.begin() + 24), want);

    // One player: only that one; to the service (0): nobody.
    uint8_t effect[8] = {0, 45, 0, 0, 0, 0, 0x75, 0x30};
    SendPacket(effect, 39, 8, 0, own);
    SendPacket(effect, 39, 8, 0, 0);
    SendPacket(effect, 39, 8, 0, otherId);
    ASSERT_TRUE(PumpUntil([&] { return other.Read().size() >= 24 + 13; }));
    PumpAWhile();
    EXPECT_EQ(other.Read().size(), 24u + 13u) << "the frames for itself and for the service were not relayed";

    other.Send(7, {0, 9, 0, 0, 0, 0, 0, 0, 'h', 'i', 0}, 0xFFFF);
    ASSERT_TRUE(TakeStream(&t));
    EXPECT_EQ(t.code, 7);
    EXPECT_EQ(t.source, otherId);
}

TEST_F(LinkTest, SteppedFromThePumpTheServiceCanMakeSilenceCostVirtualTime) {
    service.InstallAsMessageSource(10);
    DWORD before = GetTickCount();
    for (int i = 0; i < 5; ++i)
        Pump();
    EXPECT_GE(GetTickCount() - before, 50u);
}

TEST_F(LinkTest, OpeningTheDatagramSocketSaysItsBufferSizesAtDebugLevel2) {
    g_debugLevel = 2;
    ASSERT_EQ(OpenDatagramSocket(&DatagramLink), 0);
    EXPECT_TRUE(ConsoleHas("Client Datagram Socket Created."));
    EXPECT_TRUE(ConsoleHas("New Receive Buffer Size: 32768 bytes"));
    EXPECT_TRUE(ConsoleHas("New Send Buffer Size: 32768 bytes"));
    g_debugLevel = 0;
}

TEST_F(LinkTest, SavingACharacterOnlineSendsItsCopyToTheService) {
    TempDir dir;
    dir.Enter();
    ResetCharacterState();
    ResetGameValues();
    ASSERT_TRUE(ConnectStream());
    std::strcpy(g_login.account, "mira");
    SwapOddNibbles(g_login.account);
    std::strcpy(g_currentCharacter.name, "Thorn");
    SwapOddNibbles(g_currentCharacter.name);
    SetGameValue(5, 61);
    SetGameValue(114, 3);
    SetGameValue(0, 9);
    SetGameValue(1, 0x01020304);
    SetGameValue(25, 0x1234);
    LocalPlayer player{};
    player.figure_imagenum = 202;
    player.head_variant = 1;
    g_playMode = 2;
    const int saved = SaveCharacterFile(player, 2);
    g_playMode = 1;
    ASSERT_EQ(saved, 1);
    ASSERT_TRUE(PumpUntil([&] { return !service.FramesOf(87).empty(); }));
    const std::vector<uint8_t> b = service.FramesOf(87)[0].body;
    ASSERT_EQ(b.size(), 274u);
    // Account, slot, then the record: copy byte n is body byte n + 20; its 32-bit experience and
    // 16-bit values in network order.
    EXPECT_STREQ(reinterpret_cast<const char*>(b.data()), "mira");
    EXPECT_EQ(b[20], 2);
    EXPECT_STREQ(reinterpret_cast<const char*>(&b[24]), "Thorn");
    EXPECT_EQ(b[44], 61);
    EXPECT_EQ(b[92], 3);
    EXPECT_EQ(b[93], 9);
    EXPECT_EQ(b[96], 202);
    EXPECT_EQ(b[98], 0x10);
    EXPECT_EQ(std::vector<uint8_t>(b.begin() + 100, b.begin() + 106), (std::vector<uint8_t>{1, 2, 3, 4, 0x12, 0x34}));
    EXPECT_EQ(SlotRequestState[2], 2);
    ResetCharacterState();
}

TEST_F(LinkTest, TheServiceKeepsCharactersAndNamesPerAccount) {
    ASSERT_TRUE(ConnectStream());
    CharacterBody c{};
    std::strcpy(c.account, "mira");
    c.slot = 2;
    for (int i = 0; i < kCharacterRecordBytes; ++i)
        c.record[i] = static_cast<uint8_t>(i);
    std::vector<uint8_t> body(kCharacterBodySize);
    EncodeCharacter(c, body.data());
    SendPacket(body.data(), 87, kCharacterBodySize, 0, 0xFFFE);
    Taken t;
    ASSERT_TRUE(TakeStream(&t));
    EXPECT_EQ(t.code, 88);

    CharacterHeadBody ask{};
    std::strcpy(ask.account, "mira");
    ask.slot = 2;
    uint8_t req[24];
    EncodeRequestCharacter(ask, req);
    SendPacket(req, 84, 24, 0, 0xFFFE);
    ASSERT_TRUE(TakeStream(&t));
    ASSERT_EQ(t.code, 85);
    CharacterBody back;
    ASSERT_TRUE(DecodeCharacter(t.body.data(), t.body.size(), &back));
    EXPECT_EQ(back.slot, 2);
    EXPECT_EQ(std::memcmp(back.record, c.record, kCharacterRecordBytes), 0);
    ask.slot = 3;
    EncodeRequestCharacter(ask, req);
    SendPacket(req, 84, 24, 0, 0xFFFE);
    ASSERT_TRUE(TakeStream(&t));
    EXPECT_EQ(t.code, 86) << "an empty slot";

    NameQueryBody q{};
    std::strcpy(q.name, "thessaly");
    std::strcpy(q.account, "mira");
    uint8_t qb[54];
    EncodeNameQuery(q, qb);
    SendPacket(qb, 99, 54, 0, 0xFFFE);
    ASSERT_TRUE(TakeStream(&t));
    NameResponseBody r;
    ASSERT_TRUE(DecodeNameResponse(t.body.data(), t.body.size(), &r));
    EXPECT_EQ(t.code, 100);
    EXPECT_EQ(r.answer, 0);
    SendPacket(qb, 101, 54, 0, 0xFFFE);  // add
    SendPacket(qb, 106, 54, 0, 0xFFFE);  // check
    ASSERT_TRUE(TakeStream(&t));
    ASSERT_TRUE(DecodeNameResponse(t.body.data(), t.body.size(), &r));
    EXPECT_EQ(t.code, 107);
    EXPECT_EQ(r.answer, 1);
    EXPECT_STREQ(r.name, "thessaly");
}

}  // namespace
