// Service bytes on the stream: appended to the receive ring in pieces whose sizes the input
// chooses, every whole frame taken and read by its code. No frame may be read past the ring or
// the work buffer, and an overlong one shuts the link instead of being copied.

#include <cstdint>

#include "client/net/net_rings.h"
#include "client/net/socket_layer.h"
#include "fuzz/net_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ResetNetFraming();
    if (size < 2)
        return 0;
    // The first byte sets the piece size (1 to 256): one byte per read up to whole reads. The
    // second starts the ring up to 4 KB before its end, so that frames cross it.
    size_t piece = static_cast<size_t>(data[0]) + 1;
    ReceiveRing.read = ReceiveRing.write = kRingSize - 1 - data[1] * 16;
    uint8_t body[kMaxFrameBody];
    int code, length, source, destination;
    for (size_t at = 2; at < size; at += piece) {
        size_t n = std::min(piece, size - at);
        RingAppend(ReceiveRing, data + at, static_cast<int>(n));
        while (TakeStreamPacket(body, &code, &length, &source, &destination))
            DecodeByCodeExactly(code, body, static_cast<size_t>(length));
    }
    return 0;
}
