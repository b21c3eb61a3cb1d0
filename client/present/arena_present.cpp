#include "client/present/arena_present.h"

#include "client/present/camera_set.h"
#include "client/present/figure_animation.h"
#include "client/present/figure_attach.h"
#include "client/present/figure_lights.h"
#include "client/present/figure_loader.h"
#include "client/present/figure_objects.h"
#include "client/present/figure_textures.h"
#include "client/present/frame_update.h"
#include "client/present/hud_panels.h"
#include "client/present/lod_select.h"
#include "client/present/menu_figure.h"
#include "client/present/object_maps.h"
#include "client/present/rooms.h"
#include "client/present/screen_polys.h"
#include "client/present/screen_tint.h"
#include "client/present/thin_walls.h"
#include "client/present/world_create.h"

namespace {

class ArenaPresent final : public PresentServices {
public:
    void CreateRenderer(HWND window) override { present::CreateRenderer(window); }
    void CreateSceneRoot() override { present::CreateSceneRoot(); }
    void CreateCameras() override { present::CreateCameras(); }
    void ResetCameraViewports() override { present::ResetCameraViewports(); }
    int SgxGetDirectDraw(IDirectDraw4** directDraw) override { return present::SgxGetDirectDraw(directDraw); }
    void CreateScreenImage(HWND window, IDirectDrawSurface4* surface) override {
        present::CreateScreenImage(window, surface);
    }
    void CreateCursorImage(HWND window, IDirectDrawSurface4* surface) override {
        present::CreateCursorImage(window, surface);
    }
    int IsRendererReady() override { return present::IsRendererReady(); }
    void ClearViewFrame() override { present::ClearViewFrame(); }
    void DrawScreenImage() override { present::DrawScreenImage(); }
    void BlitSurfaceToScreen(int left, int top, int right, int bottom, int transparent) override {
        present::BlitSurfaceToScreen(left, top, right, bottom, transparent);
    }
    void DrawCursorImage(int x, int y) override { present::DrawCursorImage(x, y); }
    void RenderWorldView(int elapsed) override { present::RenderWorldView(elapsed); }
    void ShowViewFrame() override { present::ShowViewFrame(); }
    void ReleaseRendererSurfaces() override { present::ReleaseRendererSurfaces(); }
    void DestroySceneAndRenderer() override { present::DestroySceneAndRenderer(); }
    void SgxCreateWorld(const char* levelDir) override { present::SgxCreateWorld(levelDir); }
    void SgxUpdateFrame() override { present::SgxUpdateFrame(); }
    void ShowStatistics() override { present::ShowStatistics(); }
    int ToggleViewMode() override { return present::ToggleViewMode(); }
    void ResetHudAndFigures() override { present::ResetHudAndFigures(); }
    void SetWorldFog(int depth, int spare, int red, int green, int blue) override {
        present::SetWorldFog(depth, spare, red, green, blue);
    }
    void SetViewerLight(int on, int dimmer, int range) override { present::SetViewerLight(on, dimmer, range); }
    int SetScreenTint(int red, int green, int blue, int centreOpacity, int edgeOpacity) override {
        return present::SetScreenTint(red, green, blue, centreOpacity, edgeOpacity);
    }
    void ShowScreenTint(int on) override { present::ShowScreenTint(on); }
    void SetWireframeMode(int on) override { present::SetWireframeMode(on); }
    void SetForcedLodLevel(int level) override { present::SetForcedLodLevel(level); }
    void ShowHud(int on) override { present::ShowHud(on); }
    int CountNodesInRoomAt(int x, int y, int z) override { return present::CountNodesInRoomAt(x, y, z); }
    int ListRoomsAtPoint(int x, int y, int z, char* text, size_t size) override {
        return present::ListRoomsAtPoint(x, y, z, text, size);
    }
    void WriteFrameStats(int a, int b, int c, int d, int e, int f) override {
        present::WriteFrameStats(a, b, c, d, e, f);
    }
    void SetHudUpdateFlag(int32_t value) override { present::SetHudUpdateFlag(value); }
    int32_t GetHudUpdateFlag() override { return present::GetHudUpdateFlag(); }
    int SetPanelRedrawFlag(int panel, int value) override { return present::SetPanelRedrawFlag(panel, value); }
    void SetHudItemIcon(int item, int icon) override { present::SetHudItemIcon(item, icon); }
    int CreateFigureForObject(int templateNumber, const char* name, float scale) override {
        return present::CreateFigureForObject(templateNumber, name, scale);
    }
    int PlaceObjectFigure(int figure, int x, int y, int z, int direction, int tilt, int update, int rebuildRotation,
                          int heightOffset) override {
        return present::PlaceObjectFigure(figure, x, y, z, direction, tilt, update, rebuildRotation, heightOffset);
    }
    int RemoveObjectFigure(int figure) override { return present::RemoveObjectFigure(figure); }
    void ShowObjectFigure(int figure) override { present::ShowObjectFigure(figure); }
    void SetFigureFirstPersonVisibility(int figure, int flag) override {
        present::SetFigureFirstPersonVisibility(figure, flag);
    }
    void SetFigureTint(int figure, int opacity, int mode, int flag, int red, int green, int blue) override {
        present::SetFigureTint(figure, opacity, mode, flag, red, green, blue);
    }
    int SetFigureBodyTexture(int figure, int texture) override {
        return present::SetFigureBodyTexture(figure, texture);
    }
    int SetFigureHeadTexture(int figure, int texture) override {
        return present::SetFigureHeadTexture(figure, texture);
    }
    void AttachFigureLight(int figure, int dimmer, int range, int red, int green, int blue, int height) override {
        present::AttachFigureLight(figure, dimmer, range, red, green, blue, height);
    }
    int UpdateFigureAnimation(int figure, float seconds, uint32_t boneMask) override {
        return present::UpdateFigureAnimation(figure, seconds, boneMask);
    }
    int UpdateObjectFigureAnimation(int objectSlot, int frameDelta, int visibility) override {
        return present::UpdateObjectFigureAnimation(objectSlot, frameDelta, visibility);
    }
    int PlayObjectFigureAnimation(int objectSlot, int animation) override {
        return present::PlayObjectFigureAnimation(objectSlot, animation);
    }
    int IsFigureOnScreen(int figure, int x, int y, int z, int height, int radius, int either) override {
        return present::IsFigureOnScreen(figure, x, y, z, height, radius, either);
    }
    int CreateFigureOverlayModel(int figure, int model, int part, int mode, int direction, int tilt) override {
        return present::CreateFigureOverlayModel(figure, model, part, mode, direction, tilt);
    }
    int RemoveFigureOverlay(int figure) override { return present::RemoveFigureOverlay(figure); }
    int SetFigureOverlayElement(int figure, int element) override {
        return present::SetFigureOverlayElement(figure, element);
    }
    int SetFigureOverlayColor(int figure, int red, int green, int blue) override {
        return present::SetFigureOverlayColor(figure, red, green, blue);
    }
    int CreateFigureBillboard(int figure) override { return present::CreateFigureBillboard(figure); }
    void SetFigureBillboardPixels(int billboard, const uint32_t* pixels) override {
        present::SetFigureBillboardPixels(billboard, pixels);
    }
    void SetFigureBillboardHeight(int billboard, int height) override {
        present::SetFigureBillboardHeight(billboard, height);
    }
    void RemoveFigureBillboard(int billboard) override { present::RemoveFigureBillboard(billboard); }
    void RemoveObjectMapNode(int object) override { present::RemoveObjectMapNode(object); }
    int PlaceThinWalls(int x1, int y1, int base, int x2, int y2, int top, int texture, int transparent,
                       int mirrored) override {
        return present::PlaceThinWalls(x1, y1, base, x2, y2, top, texture, transparent, mirrored);
    }
    void SetThinModelCorners(int index, int x1, int y1, int base, int x2, int y2, int top) override {
        present::SetThinModelCorners(index, x1, y1, base, x2, y2, top);
    }
    void RemoveThinModel(int index) override { present::RemoveThinModel(index); }
    void SetShrineColor(int shrine, int alignment, int power) override {
        present::SetShrineColor(shrine, alignment, power);
    }
    void SetEarthbloodColor(int earthnode, int alignment, int bias) override {
        present::SetEarthbloodColor(earthnode, alignment, bias);
    }
    int LoadModelTemplates(const char* directory, int offset) override {
        return present::LoadModelTemplates(directory, offset);
    }
    void LoadFigureTextures() override { present::LoadFigureTextures(); }
    void FreeFigureResources() override { present::FreeFigureResources(); }
    int SetMenuFigureView(int a, int b, int c) override { return present::SetMenuFigureView(a, b, c); }
    int LoadMenuFigure(const char* path) override { return present::LoadMenuFigure(path); }
    int ActivateMenuFigureScene() override { return present::ActivateMenuFigureScene(); }
    void CreateMenuFigure(int templateNumber, int body, int head, int colour) override {
        present::CreateMenuFigure(templateNumber, body, head, colour);
    }
    void AnimateMenuFigure(int elapsed) override { present::AnimateMenuFigure(elapsed); }
    void DrawMenuFigureScene() override { present::DrawMenuFigureScene(); }
    int DetachMenuFigure() override { return present::DetachMenuFigure(); }
    int DestroyMenuFigureScene() override { return present::DestroyMenuFigureScene(); }
};

}  // namespace

std::unique_ptr<PresentServices> MakeArenaPresent() { return std::make_unique<ArenaPresent>(); }

void InstallArenaPresent() {
    static std::unique_ptr<PresentServices> services = MakeArenaPresent();
    InstallPresentServices(services.get());
}
