#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "client/core/config_file.h"
#include "client/net/socket_settings.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(SocketSettings, ProtocolChoosesTypeAndPortExactly) {
    struct Row {
        const char* protocol;
        int type, both, port;
    };
    const Row rows[] = {
        {"stream", 8, 0, 2222}, {"both", 6, 1, 1111},     {"orlop", 9, 0, 1111}, {"datagram", 6, 0, 1111},
        {"single", 0, 0, 1111}, {"Stream", 6, 0, 1111},   {"", 6, 0, 1111},      {"streams", 6, 0, 1111},
    };
    SocketPort = 1111;
    SocketStreamPort = 2222;
    for (const Row& r : rows) {
        ConnectionBothFlag = 7;
        ApplySocketProtocol(r.protocol);
        EXPECT_EQ(ConnectionType, r.type) << r.protocol;
        EXPECT_EQ(ConnectionBothFlag, r.both) << r.protocol;
        EXPECT_EQ(SocketPortInUse, r.port) << r.protocol;
    }
}

TEST(SocketSettings, SocketSectionOfMainDat) {
    TempDir dir;
    std::string path = dir.Path() + "/main.dat";
    FILE* f = std::fopen(path.c_str(), "w");
    std::fputs("[main]\nteam=None\n[socket]\nport=4321\nstream_port=4322\naddress=127.0.0.1\nprotocol=stream\n", f);
    std::fclose(f);
    LoadSocketConstants(path.c_str());
    GetConfigString(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0);
    EXPECT_EQ(SocketPort, 4321);
    EXPECT_EQ(SocketStreamPort, 4322);
    EXPECT_STREQ(SocketAddress, "127.0.0.1");
    EXPECT_EQ(ConnectionType, 8);
    EXPECT_EQ(SocketPortInUse, 4322);
}

}  // namespace
