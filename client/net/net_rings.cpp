#include "client/net/net_rings.h"

#include <algorithm>
#include <cstring>

#include "client/arena/local_player.h"
#include "client/core/error_log.h"
#include "client/core/game_clock.h"
#include "client/core/game_values.h"
#include "client/core/numeric.h"
#include "client/net/socket_layer.h"
#include "client/net/socket_settings.h"

NetRing SendRing;
NetRing ReceiveRing;
ReceivedPacket ReceivedPacketBuffer;
uint32_t SendSequence = 0;
uint16_t NetClientId = 0;
LinkStatistics LinkStats;
LinkPeriod LinkPeriodCounters;

namespace {

constexpr int kOwnIdValue = 118;

void PutU16(uint8_t* at, uint32_t v) {
    at[0] = static_cast<uint8_t>(v >> 8);
    at[1] = static_cast<uint8_t>(v);
}

uint16_t GetU16(const uint8_t* at) { return static_cast<uint16_t>((at[0] << 8) | at[1]); }

// Builds the frame into out (size + 12 bytes); the size after the cap.
int BuildFrame(uint8_t* out, const void* body, int code, int size, int destination) {
    size = std::clamp(size, 0, kMaxFrameBody);
    PutU16(out, static_cast<uint32_t>(size));
    PutU16(out + 2, SendSequence);
    PutU16(out + 4, NetClientId);
    PutU16(out + 6, static_cast<uint32_t>(destination));
    out[8] = 0;
    out[9] = static_cast<uint8_t>(code);
    if (size && body)
        std::memcpy(out + kNetFrameHeader, body, static_cast<size_t>(size));
    else if (size)
        std::memset(out + kNetFrameHeader, 0, static_cast<size_t>(size));
    PutU16(out + kNetFrameHeader + size, DataChecksum(out, static_cast<size_t>(size + kNetFrameHeader)));
    return size;
}

void StepSequence() {
    if (++SendSequence > 255)
        SendSequence = 0;
}

uint8_t RingByte(const NetRing& ring, int offset) { return ring.bytes[(ring.read + offset) % kRingSize]; }

}  // namespace

int RingUsed(const NetRing& ring) { return (ring.write - ring.read + kRingSize) % kRingSize; }

int RingFree(const NetRing& ring) { return kRingSize - 1 - RingUsed(ring); }

bool RingAppend(NetRing& ring, const void* bytes, int count) {
    if (count < 0 || count > RingFree(ring))
        return false;
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    int first = std::min(count, kRingSize - ring.write);
    std::memcpy(ring.bytes + ring.write, p, static_cast<size_t>(first));
    std::memcpy(ring.bytes, p + first, static_cast<size_t>(count - first));
    ring.write = (ring.write + count) % kRingSize;
    return true;
}

LinkFigures LastLinkFigures;

LinkFigures TakeLinkFigures() {
    LinkPeriod& c = LinkPeriodCounters;
    LinkFigures f{};
    f.streamBytesPerSecond = static_cast<int>(c.streamBytes / 4);
    f.datagramBytesPerSecond = static_cast<int>(c.datagramBytes / 4);
    uint64_t sum = uint64_t(c.datagramPackets) + c.datagramsLost;
    f.lossPercent = sum ? static_cast<int>(100 - (uint64_t(c.datagramPackets) * 100) / sum) : 0;
    c = LinkPeriod{};
    LastLinkFigures = f;
    return f;
}

void PutSendByte(uint8_t byte) { RingAppend(SendRing, &byte, 1); }

int QueueStreamBytes(const void* bytes, int count) {
    RingAppend(SendRing, bytes, count);
    if (ConnectionType == CONNECTION_DATAGRAM)
        FlushSendRingDatagram(&DatagramLink);
    else if (ConnectionType == CONNECTION_STREAM)
        FlushSendRingStream(&StreamLink);
    return count;
}

int QueueDatagramBytes(const void* bytes, int count) {
    // Past the send ring: bytes a blocked stream left there must not go out in this datagram.
    SendDatagramBytes(&DatagramLink, bytes, count);
    return count;
}

int SendPacket(const void* body, int code, int size, int flag, int destination) {
    (void)flag;
    if (g_linkState != 2)
        return 0;
    uint8_t frame[kMaxFrameBody + 14];
    frame[0] = kFrameLead;
    frame[1] = kFrameLead;
    size = BuildFrame(frame + 2, body, code, size, destination);
    // A frame that does not fit is not queued at all: half a frame would desynchronise the stream.
    if (size + 14 > RingFree(SendRing))
        return 0;
    PutSendByte(kFrameLead);
    PutSendByte(kFrameLead);
    QueueStreamBytes(frame + 2, size + 12);
    StepSequence();
    return size;
}

int SendDatagramPacket(const void* body, int code, int size, int flag, int destination) {
    (void)flag;
    if (g_linkState != 2)
        return 0;
    uint8_t frame[kMaxFrameBody + 12];
    size = BuildFrame(frame, body, code, size, destination);
    QueueDatagramBytes(frame, size + 12);
    StepSequence();
    return size;
}

void ResetSendRing() { SendRing.read = SendRing.write = 0; }
void ResetReceiveRing() { ReceiveRing.read = ReceiveRing.write = 0; }

int ExtractRingPacket() {
    int used = RingUsed(ReceiveRing);
    if (used < 2)
        return 0;
    int length = (RingByte(ReceiveRing, 0) << 8) | RingByte(ReceiveRing, 1);
    if (length > kMaxStreamBody) {
        // No frame of the service is that long: the stream is out of step and cannot recover.
        LogMessage(LOG_ERROR, "Stream frame of %d body bytes refused; stream link closed.\n", length);
        ResetReceiveRing();
        ShutStreamLink(&StreamLink);
        return 0;
    }
    int frameSize = length + 5;
    if (used < frameSize)
        return 0;
    uint8_t work[kMaxFrameBody];
    for (int i = 0; i < frameSize; ++i)
        work[i] = RingByte(ReceiveRing, i);
    ReceiveRing.read = (ReceiveRing.read + frameSize) % kRingSize;
    ReceivedPacket& p = ReceivedPacketBuffer;
    p.length = static_cast<uint16_t>(length);
    p.source = GetU16(work + 2);
    p.destination = static_cast<uint16_t>(GetGameValue(kOwnIdValue));
    p.code = work[4];
    std::memcpy(p.body, work + 5, static_cast<size_t>(length));
    LinkStats.streamBytes += static_cast<uint32_t>(frameSize);
    LinkPeriodCounters.streamBytes += static_cast<uint32_t>(frameSize);
    ++LinkStats.streamPackets;
    LinkStats.lastStreamTime = ReadGameClock();
    return 1;
}

namespace {

void HandOut(uint8_t* body, int* code, int* length, int* source, int* destination) {
    const ReceivedPacket& p = ReceivedPacketBuffer;
    *code = p.code;
    *length = p.length;
    *source = p.source;
    *destination = p.destination;
    if (body)
        std::memcpy(body, p.body, p.length);
}

}  // namespace

int TakeStreamPacket(uint8_t* body, int* code, int* length, int* source, int* destination) {
    if (!ExtractRingPacket())
        return 0;
    HandOut(body, code, length, source, destination);
    return 1;
}

void CountDatagramSequence(uint32_t s) {
    uint32_t p = LinkStats.lastDatagramSequence;
    uint32_t lost = 0;
    if (s != 1) {
        if (s > p && s != p + 1)
            lost = s - p - 1;
        else if (s < p && p > 65000 && s < 500)
            lost = s - p + 65535;
    }
    LinkStats.datagramsLost += lost;
    LinkPeriodCounters.datagramsLost += lost;
    LinkStats.lastDatagramSequence = s;
}

int TakeDatagramBytes(const uint8_t* buffer, int n) {
    int len = n >= 2 ? GetU16(buffer) : 0;
    // Too short for a header, or a length past its own end or the body buffer: dropped.
    if (n < kNetFrameHeader || len > n - kNetFrameHeader || len > kMaxFrameBody)
        return 0;
    LinkStats.datagramBytes += static_cast<uint32_t>(n);
    LinkPeriodCounters.datagramBytes += static_cast<uint32_t>(n);
    ReceivedPacket& p = ReceivedPacketBuffer;
    p.length = static_cast<uint16_t>(len);
    uint16_t sequence = GetU16(buffer + 2);
    p.source = GetU16(buffer + 4);
    p.destination = GetU16(buffer + 6);
    p.code = buffer[9];
    std::memcpy(p.body, buffer + kNetFrameHeader, static_cast<size_t>(len));
    ++LinkStats.datagramPackets;
    ++LinkPeriodCounters.datagramPackets;
    LinkStats.lastDatagramTime = ReadGameClock();
    CountDatagramSequence(sequence);
    return 1;
}

bool IsWholeStreamDatagram(const uint8_t* bytes, int n) {
    int at = 0;
    while (at < n) {
        if (n - at < 5)
            return false;
        int length = GetU16(bytes + at);
        if (length > kMaxStreamBody || length + 5 > n - at)
            return false;
        at += length + 5;
    }
    return n > 0;
}

int TakeDatagramPacket(uint8_t* body, int* code, int* length, int* source, int* destination) {
    uint8_t buffer[kDatagramBufferSize];
    for (int tries = 0; tries < 64; ++tries) {
        int n = RecvDatagram(&DatagramLink, buffer, sizeof buffer);
        if (n <= 0)
            return 0;
        if (!TakeDatagramBytes(buffer, n))
            continue;
        HandOut(body, code, length, source, destination);
        return 1;
    }
    return 0;
}

void ResetNetFraming() {
    SendSequence = 0;
    NetClientId = 0;
    LinkStats = LinkStatistics{};
    LinkPeriodCounters = LinkPeriod{};
    ResetSendRing();
    ResetReceiveRing();
}
