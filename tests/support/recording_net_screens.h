#pragma once
// Records what the network tables ask of the screens, and installs itself while it lives.

#include <string>
#include <vector>

#include "client/net/net_screen_services.h"

class RecordingNetScreens : public NetScreenServices {
public:
    RecordingNetScreens() { InstallNetScreens(this); }
    ~RecordingNetScreens() override { InstallNetScreens(nullptr); }

    void ClearTableValidation(int playerId) override { clearedValidations.push_back(playerId); }

    int TavernPage() override { return tavernPage; }
    void SetTavernPage(int page) override { tavernPage = page; pagesSet.push_back(page); }
    int SelectedArena() override { return selectedArena; }
    void ClearTavernSelection() override { selectedArena = 0; }
    const char* IgnoredName(int n) override {
        return n >= 0 && n < static_cast<int>(ignored.size()) ? ignored[n].c_str() : "";
    }
    void RequestNextScreen(int state) override { nextScreens.push_back(state); }
    int tavernPage = 0;
    int selectedArena = 0;
    std::vector<int> pagesSet;
    std::vector<std::string> ignored;
    std::vector<int> nextScreens;
    std::vector<int> clearedValidations;
};
