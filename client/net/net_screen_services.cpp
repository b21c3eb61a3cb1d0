#include "client/net/net_screen_services.h"

#include "client/screens/notice_lines.h"

namespace {

class NoScreens : public NetScreenServices {
public:
    void RequestPageRedraw() override { ::RequestPageRedraw(); }
    int TeamColorIndex(int team) override { return ::TeamColorIndex(team); }
    void ClearTableValidation(int) override {}
};

NoScreens noScreens;
NetScreenServices* installed = &noScreens;

}  // namespace

NetScreenServices& NetScreens() { return *installed; }

void InstallNetScreens(NetScreenServices* services) { installed = services ? services : &noScreens; }
