#pragma once
// The presentation services as a test double: every call is logged with its arguments
// ("Name(arg, arg)"; texts quoted, floats with %g, pointers as "ptr" or "null"), results can be
// scripted per operation, and the display group works for real enough to look at:
//
//   RecordingPresent present;          // installed for its lifetime (end the last one made first)
//   present.Script("CreateFigureForObject", 7);
//   ... game code ...
//   EXPECT_EQ(present.Count("ShowViewFrame"), 1u);
//   EXPECT_EQ(present.ShownPixel(10, 10), 0xFFFF);
//
// SgxGetDirectDraw hands out a real DirectDraw object of the headless platform (unless
// directDrawAvailable is false), so the screen code can make its surfaces. The frame operations
// compose an 800 x 600 frame of 16-bit pixels from the screen and cursor images handed over
// (black is transparent), and ShowViewFrame copies it to `shown` and moves the virtual clock on
// by frameStepMs. Without a scripted result, IsRendererReady answers whether CreateRenderer ran,
// CreateFigureForObject, CreateFigureBillboard and PlaceThinWalls hand out 1, 2, 3 ..., and every
// other operation answers 0.

#include <cstdint>
#include <deque>
#include <initializer_list>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "client/present/present_services.h"

class RecordingPresent : public PresentServices {
public:
    static constexpr int kWidth = 800;
    static constexpr int kHeight = 600;

    RecordingPresent() { previous_ = InstallPresentServices(this); }
    ~RecordingPresent() override;
    RecordingPresent(const RecordingPresent&) = delete;
    RecordingPresent& operator=(const RecordingPresent&) = delete;

    std::vector<std::string> calls;
    // Off for long runs that only need the answers (fuzzers, benchmarks).
    bool record = true;
    // The calls of one operation, in order, and how many.
    std::vector<std::string> Named(std::string_view name) const;
    size_t Count(std::string_view name) const;
    // Names only, in order.
    std::vector<std::string> Names() const;

    // The next call of the operation answers value (queued; each used once).
    void Script(const std::string& operation, int value) { scripted_[operation].push_back(value); }

    bool directDrawAvailable = true;
    uint64_t frameStepMs = 10;
    int rendererReady = 0;
    std::vector<uint16_t> frame = std::vector<uint16_t>(kWidth * kHeight);
    std::vector<uint16_t> shown = std::vector<uint16_t>(kWidth * kHeight);
    int shownCount = 0;
    uint16_t ShownPixel(int x, int y) const { return shown[static_cast<size_t>(y) * kWidth + x]; }
    IDirectDrawSurface4* screenImage = nullptr;
    IDirectDrawSurface4* cursorImage = nullptr;

    void CreateRenderer(HWND window) override;
    void CreateSceneRoot() override;
    void CreateCameras() override;
    void ResetCameraViewports() override;
    int SgxGetDirectDraw(IDirectDraw4** directDraw) override;
    void CreateScreenImage(HWND window, IDirectDrawSurface4* surface) override;
    void CreateCursorImage(HWND window, IDirectDrawSurface4* surface) override;
    int IsRendererReady() override;
    void ClearViewFrame() override;
    void DrawScreenImage() override;
    void BlitSurfaceToScreen(int left, int top, int right, int bottom, int transparent) override;
    void DrawCursorImage(int x, int y) override;
    void RenderWorldView(int elapsed) override;
    void ShowViewFrame() override;
    void ReleaseRendererSurfaces() override;
    void DestroySceneAndRenderer() override;
    void SgxCreateWorld(const char* levelDir) override;
    void SgxUpdateFrame() override;
    void ShowStatistics() override;
    int ToggleViewMode() override;
    void ResetHudAndFigures() override;
    void SetWorldFog(int depth, int spare, int red, int green, int blue) override;
    void SetViewerLight(int on, int dimmer, int range) override;
    int SetScreenTint(int red, int green, int blue, int centreOpacity, int edgeOpacity) override;
    void ShowScreenTint(int on) override;
    void SetWireframeMode(int on) override;
    void SetForcedLodLevel(int level) override;
    void ShowHud(int on) override;
    int CountNodesInRoomAt(int x, int y, int z) override;
    int ListRoomsAtPoint(int x, int y, int z, char* text, size_t size) override;
    void WriteFrameStats(int a, int b, int c, int d, int e, int f) override;
    void SetHudUpdateFlag(int32_t value) override;
    int32_t GetHudUpdateFlag() override;
    int SetPanelRedrawFlag(int panel, int value) override;
    void SetHudItemIcon(int item, int icon) override;
    int CreateFigureForObject(int templateNumber, const char* name, float scale) override;
    int PlaceObjectFigure(int figure, int x, int y, int z, int direction, int tilt, int update, int rebuildRotation,
                          int heightOffset) override;
    int RemoveObjectFigure(int figure) override;
    void ShowObjectFigure(int figure) override;
    void SetFigureFirstPersonVisibility(int figure, int flag) override;
    void SetFigureTint(int figure, int opacity, int mode, int flag, int red, int green, int blue) override;
    int SetFigureBodyTexture(int figure, int texture) override;
    int SetFigureHeadTexture(int figure, int texture) override;
    void AttachFigureLight(int figure, int dimmer, int range, int red, int green, int blue, int height) override;
    int UpdateFigureAnimation(int figure, float seconds, uint32_t boneMask) override;
    int UpdateObjectFigureAnimation(int objectSlot, int frameDelta, int visibility) override;
    int PlayObjectFigureAnimation(int objectSlot, int animation) override;
    int IsFigureOnScreen(int figure, int x, int y, int z, int height, int radius, int either) override;
    int CreateFigureOverlayModel(int figure, int model, int part, int mode, int direction, int tilt) override;
    int RemoveFigureOverlay(int figure) override;
    int SetFigureOverlayElement(int figure, int element) override;
    int SetFigureOverlayColor(int figure, int red, int green, int blue) override;
    int CreateFigureBillboard(int figure) override;
    void SetFigureBillboardPixels(int billboard, const uint32_t* pixels) override;
    void SetFigureBillboardHeight(int billboard, int height) override;
    void RemoveFigureBillboard(int billboard) override;
    void RemoveObjectMapNode(int object) override;
    int PlaceThinWalls(int x1, int y1, int base, int x2, int y2, int top, int texture, int transparent,
                       int mirrored) override;
    void SetThinModelCorners(int index, int x1, int y1, int base, int x2, int y2, int top) override;
    void RemoveThinModel(int index) override;
    void SetShrineColor(int shrine, int alignment, int power) override;
    void SetEarthbloodColor(int earthnode, int alignment, int bias) override;
    int LoadModelTemplates(const char* directory, int offset) override;
    void LoadFigureTextures() override;
    void FreeFigureResources() override;
    int SetMenuFigureView(int a, int b, int c) override;
    int LoadMenuFigure(const char* path) override;
    int ActivateMenuFigureScene() override;
    void CreateMenuFigure(int templateNumber, int body, int head, int colour) override;
    void AnimateMenuFigure(int elapsed) override;
    void DrawMenuFigureScene() override;
    int DetachMenuFigure() override;
    int DestroyMenuFigureScene() override;

private:
    void Log(const char* operation, std::initializer_list<std::string> args);
    int Answer(const char* operation, int fallback);
    void Compose(IDirectDrawSurface4* source, int left, int top, int right, int bottom, int x, int y,
                 bool transparent);

    PresentServices* previous_ = nullptr;
    std::map<std::string, std::deque<int>, std::less<>> scripted_;
    IDirectDraw4* directDraw_ = nullptr;
    int nextFigure_ = 1;
    int nextBillboard_ = 1;
    int nextThin_ = 1;
};
