// The portal library's registration list: every class of the library registers here, once,
// before main. The library's link option `-u SgRegisterPortalClasses` makes every program that
// links engine_portal keep this file (see engine/core/sg_registry.h).

#include "engine/core/sg_registry.h"
#include "engine/render/portal/sg_portal.h"
#include "engine/render/portal/sg_room.h"

extern "C" void SgRegisterPortalClasses() {
    SgRoomGroup::Register();
    SgRoom::Register();
    SgWall::Register();
    SgPortal::Register();
}

namespace {

const bool g_registered = (SgRegisterPortalClasses(), true);

}  // namespace
