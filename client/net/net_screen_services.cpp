#include "client/net/net_screen_services.h"

namespace {

class NoScreens : public NetScreenServices {};

NoScreens noScreens;
NetScreenServices* installed = &noScreens;

}  // namespace

NetScreenServices& NetScreens() { return *installed; }

void InstallNetScreens(NetScreenServices* services) { installed = services ? services : &noScreens; }
