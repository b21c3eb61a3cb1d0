#include "client/net/socket_settings.h"

#include <cstring>

#include "client/core/config_file.h"

int ConnectionType = CONNECTION_DATAGRAM;
int ConnectionBothFlag = 0;
int SocketPort = 1234;
int SocketStreamPort = 1234;
int SocketPortInUse = 1234;
char SocketAddress[kSocketAddressSize] = "0.0.0.0";

void ApplySocketProtocol(const char* protocol) {
    ConnectionBothFlag = 0;
    SocketPortInUse = SocketPort;
    if (std::strcmp(protocol, "stream") == 0) {
        ConnectionType = CONNECTION_STREAM;
        SocketPortInUse = SocketStreamPort;
    } else if (std::strcmp(protocol, "both") == 0) {
        ConnectionType = CONNECTION_DATAGRAM;
        ConnectionBothFlag = 1;
    } else if (std::strcmp(protocol, "orlop") == 0) {
        ConnectionType = CONNECTION_ORLOP;
    } else if (std::strcmp(protocol, "single") == 0) {
        ConnectionType = CONNECTION_SINGLE;
    } else {
        ConnectionType = CONNECTION_DATAGRAM;
    }
}

void LoadSocketConstants(const char* mainDat) {
    GetConfigInt(mainDat, "socket", "port", &SocketPort, 1234, 0);
    GetConfigInt(mainDat, "socket", "stream_port", &SocketStreamPort, 1234, 0);
    GetConfigString(mainDat, "socket", "address", SocketAddress, sizeof SocketAddress, "0.0.0.0", 0);
    char protocol[32];
    GetConfigString(mainDat, "socket", "protocol", protocol, sizeof protocol, "datagram", 0);
    ApplySocketProtocol(protocol);
}
