#pragma once
// The two links to the game service (a TCP stream socket and a UDP datagram socket) over the
// socket library loaded by name, their events as window messages, and the moves of bytes between
// the sockets and the rings.

#include <cstdint>

#include "platform/sock/winsock.h"

constexpr UINT WM_SOCKET_DATAGRAM = WM_USER + 1;
constexpr UINT WM_SOCKET_STREAM = WM_USER + 2;
constexpr int kDatagramBindPort = 3109;
constexpr int kSocketBufferSize = 32768;

struct SocketLink {
    SOCKET socket;              // INVALID_SOCKET when none
    SOCKADDR_IN remote;
    SOCKADDR_IN sender;         // of the last datagram read
    uint32_t remoteAddress;     // the remote address again, network order
    WSADATA wsaData;
    int32_t connected;
};

extern SocketLink DatagramLink;
extern SocketLink StreamLink;

// The socket library's handle (null when not loaded) and its 23 functions, found by name.
struct WinsockTable : WinsockFunctions {
    HMODULE library;
};
extern WinsockTable Winsock;

// 0 when the library was loaded now, 1 otherwise.
int LoadWinsockForDatagram();
int LoadWinsockForStream();
// 0 when a library was freed, 1 when none was loaded.
int UnloadWinsock();

// 0 on success (also when already connected), 1 on failure.
int OpenDatagramSocket(SocketLink* link);
int OpenStreamSocket(SocketLink* link);
int ProcessDatagramSocket(SocketLink* link, WPARAM wParam, LPARAM lParam);
int ProcessStreamSocket(SocketLink* link, WPARAM wParam, LPARAM lParam);
int FlushSendRingDatagram(SocketLink* link);
int FlushSendRingStream(SocketLink* link);
// One waiting datagram of whole stream frames into the receive ring; its byte count, or 0.
int ReceiveDatagrams(SocketLink* link);
int ReceiveStream(SocketLink* link);
// One datagram from the link's remote address; its byte count, or 0 when none waits.
int RecvDatagram(SocketLink* link, uint8_t* buffer, int size);
// Sends bytes in one datagram to the link's remote address, past the send ring.
int SendDatagramBytes(SocketLink* link, const void* bytes, int count);
int SetSockAddr(SocketLink* link, const char* address, int port);
// Local port (host order) and dotted address (20 bytes) of the link's socket.
int GetLocalAddress(SocketLink* link, int* port, char* address);
int CloseDatagramSocket(SocketLink* link);
int CloseStreamSocket(SocketLink* link);
// What FD_CLOSE does to the stream link; also used when the stream carries a frame too long.
void ShutStreamLink(SocketLink* link);
// Both links back to no socket, the library table empty (a fresh process's state, for tests).
void ResetSocketLinks();
