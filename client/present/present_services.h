#pragma once
// What the game asks of the arena presentation: the display and the frame, the arena world, the
// HUD, the figures of world objects, thin-wall models, the figure tables and the menu preview.
// Each operation is a free function that forwards to the one installed implementation, so game
// code and its tests link without the presentation library; calling one with none installed ends
// the program naming it.
//
// Figure handles are numbers 1..499 of the presentation's figure table (0 = none). Colours are
// 0..255 per channel.

#include <cstddef>
#include <cstdint>

#include "platform/ddraw/ddraw.h"

class PresentServices {
public:
    virtual ~PresentServices() = default;

    // Display, frame and renderer.
    virtual void CreateRenderer(HWND window) = 0;
    virtual void CreateSceneRoot() = 0;
    virtual void CreateCameras() = 0;
    virtual void ResetCameraViewports() = 0;
    virtual int SgxGetDirectDraw(IDirectDraw4** directDraw) = 0;
    virtual void CreateScreenImage(HWND window, IDirectDrawSurface4* surface) = 0;
    virtual void CreateCursorImage(HWND window, IDirectDrawSurface4* surface) = 0;
    virtual int IsRendererReady() = 0;
    virtual void ClearViewFrame() = 0;
    virtual void DrawScreenImage() = 0;
    virtual void BlitSurfaceToScreen(int left, int top, int right, int bottom, int transparent) = 0;
    virtual void DrawCursorImage(int x, int y) = 0;
    virtual void RenderWorldView(int elapsed) = 0;
    virtual void ShowViewFrame() = 0;
    virtual void ReleaseRendererSurfaces() = 0;
    virtual void DestroySceneAndRenderer() = 0;

    // Arena frame and world.
    virtual void SgxCreateWorld(const char* levelDir) = 0;
    virtual void SgxUpdateFrame() = 0;
    virtual void ShowStatistics() = 0;
    virtual int ToggleViewMode() = 0;
    virtual void ResetHudAndFigures() = 0;
    virtual void SetWorldFog(int depth, int spare, int red, int green, int blue) = 0;
    virtual void SetViewerLight(int on, int dimmer, int range) = 0;
    virtual int SetScreenTint(int red, int green, int blue, int centreOpacity, int edgeOpacity) = 0;
    virtual void ShowScreenTint(int on) = 0;
    virtual void SetWireframeMode(int on) = 0;
    virtual void SetForcedLodLevel(int level) = 0;
    virtual void ShowHud(int on) = 0;
    virtual int CountNodesInRoomAt(int x, int y, int z) = 0;
    virtual int ListRoomsAtPoint(int x, int y, int z, char* text, size_t size) = 0;
    virtual void WriteFrameStats(int a, int b, int c, int d, int e, int f) = 0;
    virtual void SetHudUpdateFlag(int32_t value) = 0;
    virtual int32_t GetHudUpdateFlag() = 0;

    // HUD panels.
    virtual int SetPanelRedrawFlag(int panel, int value) = 0;
    virtual void SetHudItemIcon(int item, int icon) = 0;

    // Figures of world objects.
    virtual int CreateFigureForObject(int templateNumber, const char* name, float scale) = 0;
    virtual int PlaceObjectFigure(int figure, int x, int y, int z, int direction, int tilt, int update,
                                  int rebuildRotation, int heightOffset) = 0;
    virtual int RemoveObjectFigure(int figure) = 0;
    virtual void ShowObjectFigure(int figure) = 0;
    virtual void SetFigureFirstPersonVisibility(int figure, int flag) = 0;
    virtual void SetFigureTint(int figure, int opacity, int mode, int flag, int red, int green, int blue) = 0;
    virtual int SetFigureBodyTexture(int figure, int texture) = 0;
    virtual int SetFigureHeadTexture(int figure, int texture) = 0;
    virtual void AttachFigureLight(int figure, int dimmer, int range, int red, int green, int blue,
                                   int height) = 0;
    virtual int UpdateFigureAnimation(int figure, float seconds, uint32_t boneMask) = 0;
    virtual int UpdateObjectFigureAnimation(int objectSlot, int frameDelta, int visibility) = 0;
    virtual int PlayObjectFigureAnimation(int objectSlot, int animation) = 0;
    virtual int IsFigureOnScreen(int figure, int x, int y, int z, int height, int radius, int either) = 0;
    virtual int CreateFigureOverlayModel(int figure, int model, int part, int mode, int direction,
                                         int tilt) = 0;
    virtual int RemoveFigureOverlay(int figure) = 0;
    virtual int SetFigureOverlayElement(int figure, int element) = 0;
    virtual int SetFigureOverlayColor(int figure, int red, int green, int blue) = 0;
    virtual int CreateFigureBillboard(int figure) = 0;
    virtual void SetFigureBillboardPixels(int billboard, const uint32_t* pixels) = 0;
    virtual void SetFigureBillboardHeight(int billboard, int height) = 0;
    virtual void RemoveFigureBillboard(int billboard) = 0;
    virtual void RemoveObjectMapNode(int object) = 0;

    // Thin-wall models and fixtures.
    virtual int PlaceThinWalls(int x1, int y1, int base, int x2, int y2, int top, int texture, int transparent,
                               int mirrored) = 0;
    virtual void SetThinModelCorners(int index, int x1, int y1, int base, int x2, int y2, int top) = 0;
    virtual void RemoveThinModel(int index) = 0;
    virtual void SetShrineColor(int shrine, int alignment, int power) = 0;
    virtual void SetEarthbloodColor(int earthnode, int alignment, int bias) = 0;

    // The figure tables.
    virtual int LoadModelTemplates(const char* directory, int offset) = 0;
    virtual void LoadFigureTextures() = 0;
    virtual void FreeFigureResources() = 0;

    // Menu preview figure.
    virtual int SetMenuFigureView(int a, int b, int c) = 0;
    virtual int LoadMenuFigure(const char* path) = 0;
    virtual int ActivateMenuFigureScene() = 0;
    virtual void CreateMenuFigure(int templateNumber, int body, int head, int colour) = 0;
    virtual void AnimateMenuFigure(int elapsed) = 0;
    virtual void DrawMenuFigureScene() = 0;
    virtual int DetachMenuFigure() = 0;
    virtual int DestroyMenuFigureScene() = 0;
};

// Installs the implementation every operation below forwards to (null uninstalls); returns the
// one installed before. The caller keeps ownership.
PresentServices* InstallPresentServices(PresentServices* services);
PresentServices* InstalledPresentServices();

// ---- Display, frame and renderer --------------------------------------------------------------
// Creates the display and renderer for the window and sets the ready flag, also when creation
// fails (then "Renderer Creation Failed!" / "Error" is shown and there is no renderer).
void CreateRenderer(HWND window);
void CreateSceneRoot();
void CreateCameras();
void ResetCameraViewports();
// Non-zero when the renderer has a DirectDraw object, stored in *directDraw (one reference for the
// caller).
int SgxGetDirectDraw(IDirectDraw4** directDraw);
// Wrap the surface as the renderer's screen image (the 800 x 600 back buffer) or cursor image
// (16 x 16), replacing an earlier one.
void CreateScreenImage(HWND window, IDirectDrawSurface4* surface);
void CreateCursorImage(HWND window, IDirectDrawSurface4* surface);
int IsRendererReady();
void ClearViewFrame();
// The whole screen image at 0, 0, opaque.
void DrawScreenImage();
// That rectangle of the screen image at (left, top); non-zero transparent skips colour-key pixels.
void BlitSurfaceToScreen(int left, int top, int right, int bottom, int transparent);
void DrawCursorImage(int x, int y);
// Draws the world through the active camera; elapsed in tenths of a millisecond.
void RenderWorldView(int elapsed);
void ShowViewFrame();
void ReleaseRendererSurfaces();
void DestroySceneAndRenderer();

// ---- Arena frame and world ---------------------------------------------------------------------
void SgxCreateWorld(const char* levelDir);
void SgxUpdateFrame();
void ShowStatistics();
// Eye view to chase view and back (any other mode goes to the eye); returns the new mode.
int ToggleViewMode();
void ResetHudAndFigures();
// Depth (hundredths) 0 switches the fog off.
void SetWorldFog(int depth, int spare, int red, int green, int blue);
// A dimmer or range (hundredths) of 0 keeps that setting.
void SetViewerLight(int on, int dimmer, int range);
int SetScreenTint(int red, int green, int blue, int centreOpacity, int edgeOpacity);
void ShowScreenTint(int on);
void SetWireframeMode(int on);
// 0 lets distance choose.
void SetForcedLodLevel(int level);
void ShowHud(int on);
// Number of scene nodes in the room that holds the point (world units).
int CountNodesInRoomAt(int x, int y, int z);
// Appends "#%d " for each room whose bounds hold the point, never past size bytes; returns 1.
int ListRoomsAtPoint(int x, int y, int z, char* text, size_t size);
// Six zeros switch frame.txt logging on or off; otherwise one line while it is on.
void WriteFrameStats(int a, int b, int c, int d, int e, int f);
// The HUD update switch (1 at start): 0 stops the HUD panel updates.
void SetHudUpdateFlag(int32_t value);
int32_t GetHudUpdateFlag();

// ---- HUD panels --------------------------------------------------------------------------------
// Sets panel 0..19's redraw flag and returns the previous one; -1 sets all 20 to 1 and returns 0.
int SetPanelRedrawFlag(int panel, int value);
// Item 0..7; icon n above 0 is cell n - 1 of the icon atlases; -1 hides the item.
void SetHudItemIcon(int item, int icon);

// ---- Figures of world objects ------------------------------------------------------------------
// A figure of the model template, or 0 (no scene, no template, table full).
int CreateFigureForObject(int templateNumber, const char* name, float scale);
int PlaceObjectFigure(int figure, int x, int y, int z, int direction, int tilt, int update, int rebuildRotation,
                      int heightOffset);
int RemoveObjectFigure(int figure);
void ShowObjectFigure(int figure);
// 0 hides the whole figure; non-zero shows it without its model, ground marker and billboard.
void SetFigureFirstPersonVisibility(int figure, int flag);
void SetFigureTint(int figure, int opacity, int mode, int flag, int red, int green, int blue);
// Texture 0..49.
int SetFigureBodyTexture(int figure, int texture);
int SetFigureHeadTexture(int figure, int texture);
void AttachFigureLight(int figure, int dimmer, int range, int red, int green, int blue, int height);
// Bone mask: bit i for bone i, 0xFFFFFFFF all bones.
int UpdateFigureAnimation(int figure, float seconds, uint32_t boneMask);
// Frame delta in tenths of a millisecond; visibility 0, 1 or 2.
int UpdateObjectFigureAnimation(int objectSlot, int frameDelta, int visibility);
int PlayObjectFigureAnimation(int objectSlot, int animation);
int IsFigureOnScreen(int figure, int x, int y, int z, int height, int radius, int either);
int CreateFigureOverlayModel(int figure, int model, int part, int mode, int direction, int tilt);
int RemoveFigureOverlay(int figure);
// Element 0..9.
int SetFigureOverlayElement(int figure, int element);
int SetFigureOverlayColor(int figure, int red, int green, int blue);
// A billboard number 1..49, or 0.
int CreateFigureBillboard(int figure);
// 256 pixels (16 rows of 16) of 32 bits; null changes nothing.
void SetFigureBillboardPixels(int billboard, const uint32_t* pixels);
// Height in hundredths above the figure's origin.
void SetFigureBillboardHeight(int billboard, int height);
void RemoveFigureBillboard(int billboard);
void RemoveObjectMapNode(int object);

// ---- Thin-wall models and fixtures -------------------------------------------------------------
// Coordinates and heights in hundredths of world units; a model index 1..499, or 0.
int PlaceThinWalls(int x1, int y1, int base, int x2, int y2, int top, int texture, int transparent, int mirrored);
void SetThinModelCorners(int index, int x1, int y1, int base, int x2, int y2, int top);
void RemoveThinModel(int index);
void SetShrineColor(int shrine, int alignment, int power);
void SetEarthbloodColor(int earthnode, int alignment, int bias);

// ---- The figure tables -------------------------------------------------------------------------
// ("sgfs", 0) then ("figures", 200).
int LoadModelTemplates(const char* directory, int offset);
void LoadFigureTextures();
void FreeFigureResources();

// ---- Menu preview figure -----------------------------------------------------------------------
int SetMenuFigureView(int a, int b, int c);
int LoadMenuFigure(const char* path);
int ActivateMenuFigureScene();
// Body 0..2, head 0..3, colour 0..3.
void CreateMenuFigure(int templateNumber, int body, int head, int colour);
// Game-clock units since the previous frame (0 on the first).
void AnimateMenuFigure(int elapsed);
void DrawMenuFigureScene();
int DetachMenuFigure();
int DestroyMenuFigureScene();
