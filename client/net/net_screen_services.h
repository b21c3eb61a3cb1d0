#pragma once
// What the network tables ask of the screens. The screens install their implementation; until
// then (and in tests that do not care) the calls do nothing.

class NetScreenServices {
public:
    virtual ~NetScreenServices() = default;
    // The player leaves the validated sets of lobby tables 1 to 19.
    virtual void ClearTableValidation(int playerId) = 0;
    // The Tavern's page (1 lists, 2 an arena's page) and its selected arena (0 none).
    virtual int TavernPage() { return 0; }
    virtual void SetTavernPage(int) {}
    virtual int SelectedArena() { return 0; }
    virtual void ClearTavernSelection() {}
    // Entry n (0 to 19) of the ignore list, lower case; empty when unused.
    virtual const char* IgnoredName(int) { return ""; }
    // The screen loop that runs ends and this screen state follows.
    virtual void RequestNextScreen(int) {}
};

// The installed services, or ones that do nothing.
NetScreenServices& NetScreens();
void InstallNetScreens(NetScreenServices* services);
