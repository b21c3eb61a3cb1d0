#pragma once
// Records what the network tables ask of the screens, and installs itself while it lives.

#include <string>
#include <vector>

#include "client/net/net_screen_services.h"

class RecordingNetScreens : public NetScreenServices {
public:
    RecordingNetScreens() { InstallNetScreens(this); }
    ~RecordingNetScreens() override { InstallNetScreens(nullptr); }

    const char* IgnoredName(int n) override {
        return n >= 0 && n < static_cast<int>(ignored.size()) ? ignored[n].c_str() : "";
    }
    std::vector<std::string> ignored;
};
