#include "tests/support/world_fixture.h"

#include "client/present/camera_set.h"
#include "client/present/world_create.h"
#include "client/screens/main_menu.h"
#include "engine/core/sg_render.h"

namespace worldtest {

void StartDisplayOver(SgRender* render) {
    present::CameraSet& s = present::Cameras();
    s.display = SgRef<SgDisplay>(new SgDisplay);
    s.rendererFlag = 1;
    s.renderer = SgRef<SgRender>(render);
    s.display->SetRenderer(render);
    present::CreateSceneRoot();
    present::CreateCameras();
}

std::unique_ptr<present::RoomPortalDefs> BuildTestWorld(const char* levelDir, int textureOption) {
    WorldTextureOption = textureOption;
    present::SgxCreateWorld(levelDir);
    return std::make_unique<present::RoomPortalDefs>(present::WorldRoomDefs());
}

void ReleaseTestWorld() { present::ResetHudAndFigures(); }

void StopDisplay() {
    present::ResetHudAndFigures();
    present::DestroySceneAndRenderer();
    present::Cameras() = present::CameraSet{};
}

}  // namespace worldtest
