#include "tests/support/world_fixture.h"

#include "client/present/camera_set.h"
#include "client/present/preburn_lights.h"
#include "client/present/tiles.h"
#include "client/present/world_rooms.h"
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

std::unique_ptr<present::RoomPortalDefs> BuildTestWorld(const char* levelDir, const present::GridLayers& g,
                                                       int textureOption) {
    present::SetWorldTextureMode(textureOption);
    present::SgxLoadTexturemaps(levelDir, textureOption);
    auto defs = std::make_unique<present::RoomPortalDefs>();
    present::LoadRoomsAndPortals(levelDir, defs.get());
    present::SgxPutPreburnLight();
    present::SgxLoadTileSGFTemplate(levelDir);
    present::BuildWorldRooms(*defs, g, levelDir);
    present::CreatePreburnLightObjects();
    present::CreateViewerLight();
    return defs;
}

void ReleaseTestWorld() { present::ReleaseWorldScene(); }

}  // namespace worldtest
