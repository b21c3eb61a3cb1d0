#pragma once
// The send ring, the receive ring and the framing between them and the sockets: a message
// (code, body, destination) becomes a NetFrame in the send ring, flushed at once by connection
// type; whole frames are cut out of the receive ring and out of single datagrams into one packet
// form. Also the link statistics that the link timer turns into figures.

#include <cstdint>

constexpr int kRingSize = 32768;
constexpr int kMaxFrameBody = 2048;       // a sent body is cut to this
constexpr int kMaxStreamBody = 2043;      // what the 2048-byte work buffer holds after 5 header bytes
constexpr int kDatagramBufferSize = 2060;
constexpr int kNetFrameHeader = 10;
constexpr uint8_t kFrameLead = 0x1B;      // two of these go before each SendPacket frame
constexpr uint16_t kDestinationAll = 0xFFFF;
constexpr uint16_t kDestinationService = 0xFFFE;

struct NetRing {
    uint8_t bytes[kRingSize];
    int32_t write;
    int32_t read;
};

extern NetRing SendRing;
extern NetRing ReceiveRing;

int RingUsed(const NetRing& ring);
// One byte is kept free so that a full ring is not taken for an empty one.
int RingFree(const NetRing& ring);
// Appends count bytes; false and nothing appended when they do not fit.
bool RingAppend(NetRing& ring, const void* bytes, int count);

// The normalised form of a received frame.
struct ReceivedPacket {
    uint16_t length;
    uint16_t source;
    uint16_t destination;
    uint8_t code;
    uint8_t body[kMaxFrameBody];
};
extern ReceivedPacket ReceivedPacketBuffer;

// One counter for both senders; 0 at start, never reset.
extern uint32_t SendSequence;
// The id the connection reply gave this client; 0 before.
extern uint16_t NetClientId;

// Cumulative for the run.
struct LinkStatistics {
    uint32_t streamBytes;
    uint32_t streamPackets;
    uint32_t lastStreamTime;  // game clock of the last stream frame taken
    uint32_t datagramBytes;
    uint32_t datagramPackets;
    uint32_t datagramsLost;
    uint32_t lastDatagramTime;
    uint32_t lastDatagramSequence;
};
extern LinkStatistics LinkStats;

// The four counters the link timer reads and resets every 4 s.
struct LinkPeriod {
    uint32_t streamBytes;
    uint32_t datagramBytes;
    uint32_t datagramPackets;
    uint32_t datagramsLost;
};
extern LinkPeriod LinkPeriodCounters;

struct LinkFigures {
    int streamBytesPerSecond;
    int datagramBytesPerSecond;
    int lossPercent;
};
// The figures of the last 4 s; the four period counters start again from 0.
LinkFigures TakeLinkFigures();
// What TakeLinkFigures found last: the HUD shows it.
extern LinkFigures LastLinkFigures;

// 2 while connected to the service (client/arena's link state).
int SendPacket(const void* body, int code, int size, int flag, int destination);
int SendDatagramPacket(const void* body, int code, int size, int flag, int destination);
void PutSendByte(uint8_t byte);
int QueueStreamBytes(const void* bytes, int count);
int QueueDatagramBytes(const void* bytes, int count);
void ResetSendRing();
void ResetReceiveRing();

int ExtractRingPacket();
int TakeStreamPacket(uint8_t* body, int* code, int* length, int* source, int* destination);
int TakeDatagramPacket(uint8_t* body, int* code, int* length, int* source, int* destination);

// One received datagram of n bytes into the packet buffer and the statistics; 0 when it is
// refused (shorter than a header, or a length past its end or the body buffer).
int TakeDatagramBytes(const uint8_t* buffer, int n);
// True when the stream frames in a datagram walk exactly to its end, none over 2043 bytes.
bool IsWholeStreamDatagram(const uint8_t* bytes, int n);

// The datagram loss rule: counts the gap before sequence s and makes s the last one.
void CountDatagramSequence(uint32_t s);
// Forgets the statistics and the sequence (a fresh process's state, for tests).
void ResetNetFraming();
