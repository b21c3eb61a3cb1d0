#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "client/arena/local_player.h"
#include "client/core/error_log.h"
#include "client/core/game_values.h"
#include "client/net/net_rings.h"
#include "client/net/socket_layer.h"
#include "client/net/socket_settings.h"
#include "client/screens/chat_buffer.h"
#include "tests/support/headless.h"
#include "tests/support/temp_dir.h"

namespace {

std::vector<uint8_t> RingBytes(const NetRing& ring) {
    std::vector<uint8_t> v;
    for (int i = ring.read; i != ring.write; i = (i + 1) % kRingSize)
        v.push_back(ring.bytes[i]);
    return v;
}

class FramingTest : public HeadlessTest {
protected:
    void SetUp() override {
        HeadlessTest::SetUp();
        ResetNetFraming();
        ResetSocketLinks();
        ConnectionType = CONNECTION_SINGLE;  // frames stay in the send ring
        g_linkState = 2;
        SetGameValue(118, 77);
    }
    void TearDown() override {
        g_linkState = 1;
        ResetSocketLinks();
        HeadlessTest::TearDown();
    }
};

TEST_F(FramingTest, AnEmptyBodyMakesATwelveByteFrameAfterTheTwoLeadBytes) {
    SendSequence = 5;
    NetClientId = 0x0102;
    EXPECT_EQ(SendPacket(nullptr, 23, 0, 0, 0xFFFF), 0);
    const std::vector<uint8_t> want = {0x1B, 0x1B, 0x00, 0x00, 0x00, 0x05, 0x01, 0x02,
                                       0xFF, 0xFF, 0x00, 0x17, 0xB8, 0xAD};
    EXPECT_EQ(RingBytes(SendRing), want);
    EXPECT_EQ(SendSequence, 6u);
}

TEST_F(FramingTest, ABodyIsFramedWithItsChecksumHighByteFirst) {
    const uint8_t body[3] = {0xAA, 0xBB, 0xCC};
    EXPECT_EQ(SendPacket(body, 0x10F, 3, 1, 0), 3) << "the code's low byte only";
    const std::vector<uint8_t> want = {0x1B, 0x1B, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00,
                                       0x00, 0x00, 0x0F, 0xAA, 0xBB, 0xCC, 0xBB, 0x84};
    EXPECT_EQ(RingBytes(SendRing), want);
}

TEST_F(FramingTest, ABodyOver2048BytesIsCut) {
    std::vector<uint8_t> body(3000, 0x5A);
    EXPECT_EQ(SendPacket(body.data(), 7, 3000, 0, 0), 2048);
    std::vector<uint8_t> ring = RingBytes(SendRing);
    ASSERT_EQ(ring.size(), 2048u + 14);
    EXPECT_EQ(ring[2], 0x08);
    EXPECT_EQ(ring[3], 0x00);
}

TEST_F(FramingTest, NothingIsSentOrCountedWhileNotConnected) {
    g_linkState = 1;
    EXPECT_EQ(SendPacket(nullptr, 23, 1, 0, 0), 0);
    EXPECT_EQ(SendDatagramPacket(nullptr, 188, 24, 0, 0), 0);
    EXPECT_EQ(RingUsed(SendRing), 0);
    EXPECT_EQ(SendSequence, 0u);
}

TEST_F(FramingTest, OneSequenceRunsThroughBothSendersAndWrapsAfter255) {
    for (int i = 0; i < 200; ++i)
        SendPacket(nullptr, 17, 1, 0, 0);
    for (int i = 0; i < 55; ++i)
        SendDatagramPacket(nullptr, 188, 24, 0, 0xFFFF);  // no datagram socket: the number is spent
    EXPECT_EQ(SendSequence, 255u);
    SendRing.read = SendRing.write;
    SendPacket(nullptr, 17, 1, 0, 0);
    std::vector<uint8_t> ring = RingBytes(SendRing);
    EXPECT_EQ(ring[5], 255);
    SendPacket(nullptr, 17, 1, 0, 0);
    ring = RingBytes(SendRing);
    EXPECT_EQ(ring[15 + 4], 0) << "the 257th frame starts again at 0";
    EXPECT_EQ(ring[15 + 5], 0);
}

TEST_F(FramingTest, AFrameThatDoesNotFitIsNotQueuedAtAll) {
    std::vector<uint8_t> filler(kRingSize - 1 - 20, 0x11);
    ASSERT_TRUE(RingAppend(SendRing, filler.data(), static_cast<int>(filler.size())));
    std::vector<uint8_t> body(10, 0x22);
    // A frame of n body bytes takes n + 14 with its two lead bytes.
    for (int size : {10, 8, 7}) {
        EXPECT_EQ(SendPacket(body.data(), 7, size, 0, 0), 0) << size + 14 << " bytes do not fit in 20";
        EXPECT_EQ(RingUsed(SendRing), static_cast<int>(filler.size())) << size;
    }
    EXPECT_EQ(SendSequence, 0u);
    EXPECT_EQ(SendPacket(body.data(), 7, 6, 0, 0), 6) << "20 bytes do";
    EXPECT_EQ(RingFree(SendRing), 0);
    int used = RingUsed(SendRing);
    PutSendByte(0x33);
    EXPECT_EQ(RingUsed(SendRing), used) << "a full ring keeps what it holds";
    EXPECT_EQ(RingBytes(SendRing).front(), 0x11);
}

// A stream frame of the service: length, source, code, body.
std::vector<uint8_t> StreamFrame(uint16_t source, uint8_t code, std::vector<uint8_t> body) {
    std::vector<uint8_t> f = {static_cast<uint8_t>(body.size() >> 8), static_cast<uint8_t>(body.size()),
                              static_cast<uint8_t>(source >> 8), static_cast<uint8_t>(source), code};
    f.insert(f.end(), body.begin(), body.end());
    return f;
}

TEST_F(FramingTest, StreamFramesAreTakenWholeWhetherSplitOrMerged) {
    std::vector<uint8_t> a = StreamFrame(0x1234, 130, {1, 2, 3, 4, 5});
    std::vector<uint8_t> b = StreamFrame(9, 133, {});
    uint8_t body[kMaxFrameBody];
    int code, length, source, destination;

    RingAppend(ReceiveRing, a.data(), 4);
    EXPECT_EQ(TakeStreamPacket(body, &code, &length, &source, &destination), 0);
    RingAppend(ReceiveRing, a.data() + 4, static_cast<int>(a.size()) - 5);
    EXPECT_EQ(TakeStreamPacket(body, &code, &length, &source, &destination), 0) << "one byte still missing";
    std::vector<uint8_t> rest = {a.back()};
    rest.insert(rest.end(), b.begin(), b.end());
    RingAppend(ReceiveRing, rest.data(), static_cast<int>(rest.size()));

    ASSERT_EQ(TakeStreamPacket(body, &code, &length, &source, &destination), 1);
    EXPECT_EQ(code, 130);
    EXPECT_EQ(length, 5);
    EXPECT_EQ(source, 0x1234);
    EXPECT_EQ(destination, 77) << "a stream frame is for the own id";
    EXPECT_EQ(body[4], 5);
    ASSERT_EQ(TakeStreamPacket(body, &code, &length, &source, &destination), 1);
    EXPECT_EQ(code, 133);
    EXPECT_EQ(length, 0);
    EXPECT_EQ(TakeStreamPacket(body, &code, &length, &source, &destination), 0);
    EXPECT_EQ(LinkStats.streamPackets, 2u);
    EXPECT_EQ(LinkStats.streamBytes, 10u + 5u);
    EXPECT_EQ(LinkPeriodCounters.streamBytes, 15u);
}

TEST_F(FramingTest, AFrameAcrossTheRingsEndComesOutWhole) {
    ReceiveRing.read = ReceiveRing.write = kRingSize - 3;
    std::vector<uint8_t> a = StreamFrame(2, 7, {'h', 'i', 0});
    ASSERT_TRUE(RingAppend(ReceiveRing, a.data(), static_cast<int>(a.size())));
    EXPECT_LT(ReceiveRing.write, ReceiveRing.read);
    uint8_t body[kMaxFrameBody];
    int code, length, source, destination;
    ASSERT_EQ(TakeStreamPacket(body, &code, &length, &source, &destination), 1);
    EXPECT_EQ(code, 7);
    EXPECT_STREQ(reinterpret_cast<char*>(body), "hi");
    EXPECT_EQ(ReceiveRing.read, ReceiveRing.write);
}

TEST_F(FramingTest, AStreamFrameLongerThanTheWorkBufferClosesTheStreamLink) {
    TempDir dir;
    ASSERT_TRUE(OpenErrorLog(dir.File("error.log").c_str()));
    StreamLink.connected = 1;
    std::vector<uint8_t> ok = StreamFrame(2, 7, std::vector<uint8_t>(2043, 1));
    RingAppend(ReceiveRing, ok.data(), static_cast<int>(ok.size()));
    uint8_t body[kMaxFrameBody];
    int code, length, source, destination;
    EXPECT_EQ(TakeStreamPacket(body, &code, &length, &source, &destination), 1) << "2043 is the largest body";
    std::vector<uint8_t> bad = StreamFrame(2, 7, std::vector<uint8_t>(2044, 1));
    RingAppend(ReceiveRing, bad.data(), static_cast<int>(bad.size()));
    EXPECT_EQ(TakeStreamPacket(body, &code, &length, &source, &destination), 0);
    EXPECT_EQ(RingUsed(ReceiveRing), 0);
    EXPECT_EQ(StreamLink.connected, 0);
    CloseErrorLog();
    std::string log = dir.Read("error.log");
    EXPECT_NE(log.find("2044"), std::string::npos) << log;
}

// A datagram is taken only when it holds its frames to the last byte: stream frames (the
// all-datagram link) walk exactly to its end; a datagram frame holds its header and the body its
// length names (the checksum after it is not read).
TEST(DatagramFrames, ADatagramIsTakenOnlyWhenItHoldsItsWholeFrame) {
    using Bytes = std::vector<uint8_t>;
    struct StreamRow {
        const char* what;
        Bytes bytes;
        bool whole;
    } streamRows[] = {
        {"one frame", {0, 2, 0, 7, 133, 1, 2}, true},
        {"one byte short", {0, 2, 0, 7, 133, 1}, false},
        {"one byte over", {0, 2, 0, 7, 133, 1, 2, 3}, false},
        {"two frames", {0, 0, 0, 7, 133, 0, 1, 0, 7, 131, 9}, true},
        {"the second one byte short", {0, 0, 0, 7, 133, 0, 1, 0, 7, 131}, false},
        {"a header one byte short", {0, 0, 0, 7}, false},
        {"nothing", {}, false},
    };
    for (const StreamRow& r : streamRows)
        EXPECT_EQ(IsWholeStreamDatagram(r.bytes.data(), static_cast<int>(r.bytes.size())), r.whole) << r.what;

    ResetNetFraming();
    const Bytes header = {0, 3, 0, 1, 0, 5, 0, 9, 0, 24};
    struct FrameRow {
        const char* what;
        int bodyBytes;
        bool taken;
    } frameRows[] = {{"the whole body", 3, true}, {"with its checksum", 5, true}, {"one byte short", 2, false}};
    for (const FrameRow& r : frameRows) {
        Bytes d = header;
        d.resize(header.size() + static_cast<size_t>(r.bodyBytes), 0x44);
        EXPECT_EQ(TakeDatagramBytes(d.data(), static_cast<int>(d.size())), r.taken ? 1 : 0) << r.what;
    }
    EXPECT_EQ(TakeDatagramBytes(header.data(), 9), 0) << "a header one byte short";
    EXPECT_EQ(LinkStats.datagramPackets, 2u);
}

TEST(DatagramLoss, GapsAreCountedByTheSequenceRule) {
    struct Row {
        std::vector<uint32_t> sequences;
        uint32_t lost;
    };
    const Row rows[] = {
        {{10, 11, 14}, 2}, {{65534, 3}, 4}, {{65535, 0}, 0}, {{200, 150}, 0},
        {{50, 1}, 0},      {{1, 1}, 0},     {{7, 7}, 0},     {{60000, 100}, 0},  {{0, 10}, 9},
        {{65001, 499}, 1033}, {{65000, 3}, 0}, {{3, 7}, 3},
    };
    for (const Row& r : rows) {
        ResetNetFraming();
        LinkStats.lastDatagramSequence = r.sequences.front();
        for (size_t i = 1; i < r.sequences.size(); ++i)
            CountDatagramSequence(r.sequences[i]);
        EXPECT_EQ(LinkStats.datagramsLost, r.lost) << r.sequences.front() << " then " << r.sequences.back();
        EXPECT_EQ(LinkStats.lastDatagramSequence, r.sequences.back());
    }
}

TEST(LinkFigures, FourSecondsOfCountersBecomeRatesAndStartAgain) {
    ResetNetFraming();
    LinkPeriodCounters = LinkPeriod{4003, 803, 90, 10};
    LinkStats.streamBytes = 99999;
    LinkFigures f = TakeLinkFigures();
    EXPECT_EQ(f.streamBytesPerSecond, 1000);
    EXPECT_EQ(f.datagramBytesPerSecond, 200);
    EXPECT_EQ(f.lossPercent, 10);
    EXPECT_EQ(LinkPeriodCounters.streamBytes, 0u);
    EXPECT_EQ(LinkStats.streamBytes, 99999u) << "the run's counters stay";
    EXPECT_EQ(TakeLinkFigures().lossPercent, 0);
    LinkPeriodCounters = LinkPeriod{0, 0, 2, 1};
    EXPECT_EQ(TakeLinkFigures().lossPercent, 34) << "100 - 200 / 3";
}

}  // namespace
