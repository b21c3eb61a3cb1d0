#pragma once
// Records what the network tables ask of the screens, and installs itself while it lives.

#include <vector>

#include "client/net/net_screen_services.h"

class RecordingNetScreens : public NetScreenServices {
public:
    RecordingNetScreens() { InstallNetScreens(this); }
    ~RecordingNetScreens() override { InstallNetScreens(nullptr); }

    void RequestPageRedraw() override { ++pageRedraws; }
    void ClearTableValidation(int playerId) override { clearedValidations.push_back(playerId); }

    int pageRedraws = 0;
    std::vector<int> clearedValidations;
};
