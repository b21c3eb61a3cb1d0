#pragma once
// main.dat [socket]: where the service is and which transport carries the frames.

enum ConnectionTypes {
    CONNECTION_SINGLE = 0,    // no transport sends; frames stay in the send ring
    CONNECTION_DATAGRAM = 6,  // everything by datagram
    CONNECTION_STREAM = 8,    // frames on the stream, fast traffic by datagram
    CONNECTION_ORLOP = 9,     // no transport of ours sends either
};

extern int ConnectionType;
// Set by the protocol "both": the driver retries over the stream when the datagram link fails.
extern int ConnectionBothFlag;
extern int SocketPort;        // [socket] port: the datagram port
extern int SocketStreamPort;  // [socket] stream_port
extern int SocketPortInUse;
constexpr int kSocketAddressSize = 20;  // 19 characters
extern char SocketAddress[kSocketAddressSize];

// Reads port, stream_port, address and protocol of [socket] from the settings file; the
// protocol is compared exactly ("Stream" is not "stream").
void LoadSocketConstants(const char* mainDat = "main.dat");
// Connection type and port in use for one protocol text.
void ApplySocketProtocol(const char* protocol);
