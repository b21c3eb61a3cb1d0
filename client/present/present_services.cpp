// The game's side of the presentation services: each operation forwards to the installed
// implementation. It builds into the game's library, not the presentation's, so that game code and
// its tests link without the presentation.

#include "client/present/present_services.h"

#include <cstdio>
#include <cstdlib>

namespace {

PresentServices* g_services = nullptr;

PresentServices& Services(const char* operation) {
    if (!g_services) {
        std::fprintf(stderr, "%s: no presentation services installed\n", operation);
        std::fflush(stderr);
        std::abort();
    }
    return *g_services;
}

}  // namespace

PresentServices* InstallPresentServices(PresentServices* services) {
    PresentServices* previous = g_services;
    g_services = services;
    return previous;
}

PresentServices* InstalledPresentServices() { return g_services; }

void CreateRenderer(HWND window) { Services("CreateRenderer").CreateRenderer(window); }
void CreateSceneRoot() { Services("CreateSceneRoot").CreateSceneRoot(); }
void CreateCameras() { Services("CreateCameras").CreateCameras(); }
void ResetCameraViewports() { Services("ResetCameraViewports").ResetCameraViewports(); }
int SgxGetDirectDraw(IDirectDraw4** directDraw) { return Services("SgxGetDirectDraw").SgxGetDirectDraw(directDraw); }
void CreateScreenImage(HWND window, IDirectDrawSurface4* surface) {
    Services("CreateScreenImage").CreateScreenImage(window, surface);
}
void CreateCursorImage(HWND window, IDirectDrawSurface4* surface) {
    Services("CreateCursorImage").CreateCursorImage(window, surface);
}
int IsRendererReady() { return Services("IsRendererReady").IsRendererReady(); }
void ClearViewFrame() { Services("ClearViewFrame").ClearViewFrame(); }
void DrawScreenImage() { Services("DrawScreenImage").DrawScreenImage(); }
void BlitSurfaceToScreen(int left, int top, int right, int bottom, int transparent) {
    Services("BlitSurfaceToScreen").BlitSurfaceToScreen(left, top, right, bottom, transparent);
}
void DrawCursorImage(int x, int y) { Services("DrawCursorImage").DrawCursorImage(x, y); }
void RenderWorldView(int elapsed) { Services("RenderWorldView").RenderWorldView(elapsed); }
void ShowViewFrame() { Services("ShowViewFrame").ShowViewFrame(); }
void ReleaseRendererSurfaces() { Services("ReleaseRendererSurfaces").ReleaseRendererSurfaces(); }
void DestroySceneAndRenderer() { Services("DestroySceneAndRenderer").DestroySceneAndRenderer(); }
void SgxCreateWorld(const char* levelDir) { Services("SgxCreateWorld").SgxCreateWorld(levelDir); }
void SgxUpdateFrame() { Services("SgxUpdateFrame").SgxUpdateFrame(); }
void ShowStatistics() { Services("ShowStatistics").ShowStatistics(); }
int ToggleViewMode() { return Services("ToggleViewMode").ToggleViewMode(); }
void ResetHudAndFigures() { Services("ResetHudAndFigures").ResetHudAndFigures(); }
void SetWorldFog(int depth, int spare, int red, int green, int blue) {
    Services("SetWorldFog").SetWorldFog(depth, spare, red, green, blue);
}
void SetViewerLight(int on, int dimmer, int range) { Services("SetViewerLight").SetViewerLight(on, dimmer, range); }
int SetScreenTint(int red, int green, int blue, int centreOpacity, int edgeOpacity) {
    return Services("SetScreenTint").SetScreenTint(red, green, blue, centreOpacity, edgeOpacity);
}
void ShowScreenTint(int on) { Services("ShowScreenTint").ShowScreenTint(on); }
void SetWireframeMode(int on) { Services("SetWireframeMode").SetWireframeMode(on); }
void SetForcedLodLevel(int level) { Services("SetForcedLodLevel").SetForcedLodLevel(level); }
void ShowHud(int on) { Services("ShowHud").ShowHud(on); }
int CountNodesInRoomAt(int x, int y, int z) { return Services("CountNodesInRoomAt").CountNodesInRoomAt(x, y, z); }
int ListRoomsAtPoint(int x, int y, int z, char* text, size_t size) {
    return Services("ListRoomsAtPoint").ListRoomsAtPoint(x, y, z, text, size);
}
void WriteFrameStats(int a, int b, int c, int d, int e, int f) {
    Services("WriteFrameStats").WriteFrameStats(a, b, c, d, e, f);
}
void SetHudUpdateFlag(int32_t value) { Services("SetHudUpdateFlag").SetHudUpdateFlag(value); }
int32_t GetHudUpdateFlag() { return Services("GetHudUpdateFlag").GetHudUpdateFlag(); }
int SetPanelRedrawFlag(int panel, int value) { return Services("SetPanelRedrawFlag").SetPanelRedrawFlag(panel, value); }
void SetHudItemIcon(int item, int icon) { Services("SetHudItemIcon").SetHudItemIcon(item, icon); }
int CreateFigureForObject(int templateNumber, const char* name, float scale) {
    return Services("CreateFigureForObject").CreateFigureForObject(templateNumber, name, scale);
}
int PlaceObjectFigure(int figure, int x, int y, int z, int direction, int tilt, int update, int rebuildRotation,
                      int heightOffset) {
    return Services("PlaceObjectFigure")
        .PlaceObjectFigure(figure, x, y, z, direction, tilt, update, rebuildRotation, heightOffset);
}
int RemoveObjectFigure(int figure) { return Services("RemoveObjectFigure").RemoveObjectFigure(figure); }
void ShowObjectFigure(int figure) { Services("ShowObjectFigure").ShowObjectFigure(figure); }
void SetFigureFirstPersonVisibility(int figure, int flag) {
    Services("SetFigureFirstPersonVisibility").SetFigureFirstPersonVisibility(figure, flag);
}
void SetFigureTint(int figure, int opacity, int mode, int flag, int red, int green, int blue) {
    Services("SetFigureTint").SetFigureTint(figure, opacity, mode, flag, red, green, blue);
}
int SetFigureBodyTexture(int figure, int texture) {
    return Services("SetFigureBodyTexture").SetFigureBodyTexture(figure, texture);
}
int SetFigureHeadTexture(int figure, int texture) {
    return Services("SetFigureHeadTexture").SetFigureHeadTexture(figure, texture);
}
void AttachFigureLight(int figure, int dimmer, int range, int red, int green, int blue, int height) {
    Services("AttachFigureLight").AttachFigureLight(figure, dimmer, range, red, green, blue, height);
}
int UpdateFigureAnimation(int figure, float seconds, uint32_t boneMask) {
    return Services("UpdateFigureAnimation").UpdateFigureAnimation(figure, seconds, boneMask);
}
int UpdateObjectFigureAnimation(int objectSlot, int frameDelta, int visibility) {
    return Services("UpdateObjectFigureAnimation").UpdateObjectFigureAnimation(objectSlot, frameDelta, visibility);
}
int PlayObjectFigureAnimation(int objectSlot, int animation) {
    return Services("PlayObjectFigureAnimation").PlayObjectFigureAnimation(objectSlot, animation);
}
int IsFigureOnScreen(int figure, int x, int y, int z, int height, int radius, int either) {
    return Services("IsFigureOnScreen").IsFigureOnScreen(figure, x, y, z, height, radius, either);
}
int CreateFigureOverlayModel(int figure, int model, int part, int mode, int direction, int tilt) {
    return Services("CreateFigureOverlayModel").CreateFigureOverlayModel(figure, model, part, mode, direction, tilt);
}
int RemoveFigureOverlay(int figure) { return Services("RemoveFigureOverlay").RemoveFigureOverlay(figure); }
int SetFigureOverlayElement(int figure, int element) {
    return Services("SetFigureOverlayElement").SetFigureOverlayElement(figure, element);
}
int SetFigureOverlayColor(int figure, int red, int green, int blue) {
    return Services("SetFigureOverlayColor").SetFigureOverlayColor(figure, red, green, blue);
}
int CreateFigureBillboard(int figure) { return Services("CreateFigureBillboard").CreateFigureBillboard(figure); }
void SetFigureBillboardPixels(int billboard, const uint32_t* pixels) {
    Services("SetFigureBillboardPixels").SetFigureBillboardPixels(billboard, pixels);
}
void SetFigureBillboardHeight(int billboard, int height) {
    Services("SetFigureBillboardHeight").SetFigureBillboardHeight(billboard, height);
}
void RemoveFigureBillboard(int billboard) { Services("RemoveFigureBillboard").RemoveFigureBillboard(billboard); }
void RemoveObjectMapNode(int object) { Services("RemoveObjectMapNode").RemoveObjectMapNode(object); }
int PlaceThinWalls(int x1, int y1, int base, int x2, int y2, int top, int texture, int transparent, int mirrored) {
    return Services("PlaceThinWalls").PlaceThinWalls(x1, y1, base, x2, y2, top, texture, transparent, mirrored);
}
void SetThinModelCorners(int index, int x1, int y1, int base, int x2, int y2, int top) {
    Services("SetThinModelCorners").SetThinModelCorners(index, x1, y1, base, x2, y2, top);
}
void RemoveThinModel(int index) { Services("RemoveThinModel").RemoveThinModel(index); }
void SetShrineColor(int shrine, int alignment, int power) {
    Services("SetShrineColor").SetShrineColor(shrine, alignment, power);
}
void SetEarthbloodColor(int earthnode, int alignment, int bias) {
    Services("SetEarthbloodColor").SetEarthbloodColor(earthnode, alignment, bias);
}
int LoadModelTemplates(const char* directory, int offset) {
    return Services("LoadModelTemplates").LoadModelTemplates(directory, offset);
}
void LoadFigureTextures() { Services("LoadFigureTextures").LoadFigureTextures(); }
void FreeFigureResources() { Services("FreeFigureResources").FreeFigureResources(); }
int SetMenuFigureView(int a, int b, int c) { return Services("SetMenuFigureView").SetMenuFigureView(a, b, c); }
int LoadMenuFigure(const char* path) { return Services("LoadMenuFigure").LoadMenuFigure(path); }
int ActivateMenuFigureScene() { return Services("ActivateMenuFigureScene").ActivateMenuFigureScene(); }
void CreateMenuFigure(int templateNumber, int body, int head, int colour) {
    Services("CreateMenuFigure").CreateMenuFigure(templateNumber, body, head, colour);
}
void AnimateMenuFigure(int elapsed) { Services("AnimateMenuFigure").AnimateMenuFigure(elapsed); }
void DrawMenuFigureScene() { Services("DrawMenuFigureScene").DrawMenuFigureScene(); }
int DetachMenuFigure() { return Services("DetachMenuFigure").DetachMenuFigure(); }
int DestroyMenuFigureScene() { return Services("DestroyMenuFigureScene").DestroyMenuFigureScene(); }
