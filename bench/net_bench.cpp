// The network client's per-frame work: framing a message into the send ring, cutting service
// frames out of the receive ring, and reading a body by its layout.

#include <benchmark/benchmark.h>

#include <vector>

#include "client/arena/local_player.h"
#include "client/net/net_bodies.h"
#include "client/net/net_rings.h"
#include "client/net/socket_settings.h"

namespace {

void BM_SendPacketIntoRing(benchmark::State& state) {
    ResetNetFraming();
    ConnectionType = CONNECTION_SINGLE;  // nothing flushes: the ring is emptied by hand
    g_linkState = 2;
    std::vector<uint8_t> body(static_cast<size_t>(state.range(0)), 0x5A);
    for (auto _ : state) {
        if (RingFree(SendRing) < static_cast<int>(body.size()) + 14)
            ResetSendRing();
        benchmark::DoNotOptimize(SendPacket(body.data(), 1, static_cast<int>(body.size()), 0, 0xFFFF));
    }
    g_linkState = 1;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * (state.range(0) + 14));
}
BENCHMARK(BM_SendPacketIntoRing)->Arg(12)->Arg(274);

void BM_TakeStreamPackets(benchmark::State& state) {
    ResetNetFraming();
    std::vector<uint8_t> frame = {0, 12, 0, 7, 1};
    frame.resize(17, 0x33);
    uint8_t body[kMaxFrameBody];
    int code, length, source, destination;
    for (auto _ : state) {
        for (int i = 0; i < 100; ++i)
            RingAppend(ReceiveRing, frame.data(), static_cast<int>(frame.size()));
        while (TakeStreamPacket(body, &code, &length, &source, &destination))
            benchmark::DoNotOptimize(code);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * 100);
}
BENCHMARK(BM_TakeStreamPackets);

void BM_DecodePlayerState(benchmark::State& state) {
    const uint8_t wire[12] = {0x12, 0x34, 0x0F, 0xFF, 0x1F, 0xFF, 0x3F, 0xFF, 0x6A, 0xBC, 0x7F, 0x2B};
    PlayerStateBody b;
    for (auto _ : state) {
        benchmark::DoNotOptimize(DecodePlayerState(wire, sizeof wire, &b));
        benchmark::DoNotOptimize(b);
    }
}
BENCHMARK(BM_DecodePlayerState);

}  // namespace
