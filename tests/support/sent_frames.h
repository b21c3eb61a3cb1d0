#pragma once
// The frames the client queued in its send ring (a "single" connection keeps them there), read
// without taking them out.

#include <cstdint>
#include <vector>

#include "client/arena/local_player.h"
#include "client/net/net_catalogue.h"
#include "client/net/net_rings.h"
#include "client/net/socket_settings.h"

struct SentFrame {
    int code, destination;
    std::vector<uint8_t> body;
};

inline std::vector<SentFrame> SentFrames() {
    std::vector<SentFrame> out;
    int i = SendRing.read;
    auto at = [&](int k) { return SendRing.bytes[(i + k) % kRingSize]; };
    while ((SendRing.write - i + kRingSize) % kRingSize >= kNetFrameHeader + 2) {
        if (at(0) == kFrameLead && at(1) == kFrameLead)
            i = (i + 2) % kRingSize;
        const int length = at(0) << 8 | at(1);
        SentFrame s{at(9), at(6) << 8 | at(7), {}};
        for (int k = 0; k < length; ++k)
            s.body.push_back(at(kNetFrameHeader + k));
        out.push_back(s);
        i = (i + kNetFrameHeader + length + 2) % kRingSize;
    }
    return out;
}

inline std::vector<int> SentCodes() {
    std::vector<int> codes;
    for (const SentFrame& s : SentFrames())
        codes.push_back(s.code);
    return codes;
}

// The effect numbers of the F_REMOVE_PLAYER_EFFECT frames sent, in order.
inline std::vector<int> RemovedEffects() {
    std::vector<int> effects;
    for (const SentFrame& f : SentFrames())
        if (f.code == F_REMOVE_PLAYER_EFFECT && !f.body.empty())
            effects.push_back(f.body[0]);
    return effects;
}

// Online for its lifetime over a "single" connection, so what is sent stays readable; the send
// ring starts empty.
class OnlineSends {
public:
    OnlineSends() : link_(g_linkState), type_(ConnectionType) {
        g_linkState = 2;
        ConnectionType = CONNECTION_SINGLE;
        ResetSendRing();
    }
    ~OnlineSends() {
        g_linkState = link_;
        ConnectionType = type_;
        ResetSendRing();
    }
    OnlineSends(const OnlineSends&) = delete;
    OnlineSends& operator=(const OnlineSends&) = delete;

private:
    int link_, type_;
};
