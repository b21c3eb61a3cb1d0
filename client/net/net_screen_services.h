#pragma once
// What the network tables ask of the screens. The screens install their implementation; until
// then (and in tests that do not care) the calls do nothing.

class NetScreenServices {
public:
    virtual ~NetScreenServices() = default;
    // Entry n (0 to 19) of the ignore list, lower case; empty when unused.
    virtual const char* IgnoredName(int) { return ""; }
};

// The installed services, or ones that do nothing.
NetScreenServices& NetScreens();
void InstallNetScreens(NetScreenServices* services);
