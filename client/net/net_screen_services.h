#pragma once
// What the network tables ask of the screens. The screens install their implementation; until
// then (and in tests that do not care) the calls do nothing.

class NetScreenServices {
public:
    virtual ~NetScreenServices() = default;
    // The in-game page is drawn again at its next turn.
    virtual void RequestPageRedraw() = 0;
    // The player leaves the validated sets of lobby tables 1 to 19.
    virtual void ClearTableValidation(int playerId) = 0;
};

// The installed services, or ones that do nothing.
NetScreenServices& NetScreens();
void InstallNetScreens(NetScreenServices* services);
