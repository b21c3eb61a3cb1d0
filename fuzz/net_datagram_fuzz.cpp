// One datagram of the service, both ways it can come: a NetFrame for the datagram reader, and
// whole stream frames for the all-datagram link's ring; what is taken is read by its code.

#include <cstdint>

#include "client/net/net_rings.h"
#include "fuzz/net_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ResetNetFraming();
    int n = static_cast<int>(std::min<size_t>(size, kDatagramBufferSize));
    if (TakeDatagramBytes(data, n))
        DecodeByCodeExactly(ReceivedPacketBuffer.code, ReceivedPacketBuffer.body, ReceivedPacketBuffer.length);
    if (IsWholeStreamDatagram(data, n) && RingAppend(ReceiveRing, data, n)) {
        uint8_t body[kMaxFrameBody];
        int code, length, source, destination;
        while (TakeStreamPacket(body, &code, &length, &source, &destination))
            DecodeByCodeExactly(code, body, static_cast<size_t>(length));
    }
    return 0;
}
