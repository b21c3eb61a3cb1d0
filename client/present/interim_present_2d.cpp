// Interim, until the arena presentation is built: the 2D screens are composed into an 800 x 600
// frame surface and shown through the primary surface in the game's window. No scene exists.

#include "client/present/interim_present_2d.h"

#include <algorithm>
#include <cstring>


namespace {

constexpr int kFrameWidth = 800;
constexpr int kFrameHeight = 600;
constexpr int kCursorSize = 16;

class InterimPresent2D final : public PresentServices {
public:
    void CreateRenderer(HWND window) override {
        window_ = window;
        ready_ = 1;
        if (!OpenDisplay()) {
            CloseDisplay();
            MessageBox(window, "Renderer Creation Failed!", "Error", MB_OK);
        }
    }
    void CreateSceneRoot() override {}
    void CreateCameras() override {}
    void ResetCameraViewports() override {}
    int SgxGetDirectDraw(IDirectDraw4** directDraw) override {
        if (!directDraw_ || !directDraw)
            return 0;
        directDraw_->AddRef();
        *directDraw = directDraw_;
        return 1;
    }
    void CreateScreenImage(HWND window, IDirectDrawSurface4* surface) override {
        Replace(window, screen_, surface);
    }
    void CreateCursorImage(HWND window, IDirectDrawSurface4* surface) override {
        Replace(window, cursor_, surface);
    }
    int IsRendererReady() override { return ready_; }
    void ClearViewFrame() override {
        if (!frame_)
            return;
        DDBLTFX fx{};
        fx.dwSize = sizeof(fx);
        fx.dwFillColor = 0;
        frame_->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
    }
    void DrawScreenImage() override { BlitSurfaceToScreen(0, 0, kFrameWidth, kFrameHeight, 0); }
    void BlitSurfaceToScreen(int left, int top, int right, int bottom, int transparent) override {
        Draw(screen_, RECT{left, top, right, bottom}, left, top, transparent != 0);
    }
    void DrawCursorImage(int x, int y) override {
        Draw(cursor_, RECT{0, 0, kCursorSize, kCursorSize}, x, y, true);
    }
    void RenderWorldView(int) override {}
    void ShowViewFrame() override {
        if (!frame_ || !primary_)
            return;
        RECT dest{0, 0, kFrameWidth, kFrameHeight};
        POINT origin{0, 0};
        if (window_ && ClientToScreen(window_, &origin))
            dest = RECT{origin.x, origin.y, origin.x + kFrameWidth, origin.y + kFrameHeight};
        primary_->Blt(&dest, frame_, nullptr, DDBLT_WAIT, nullptr);
    }
    void ReleaseRendererSurfaces() override {}
    void DestroySceneAndRenderer() override {
        ReleaseAndClear(screen_);
        ReleaseAndClear(cursor_);
        CloseDisplay();
    }

    void SgxCreateWorld(const char*) override {}
    void SgxUpdateFrame() override {}
    void ShowStatistics() override {}
    void ResetHudAndFigures() override {}
    void SetWorldFog(int, int, int, int, int) override {}
    void SetViewerLight(int, int, int) override {}
    int SetScreenTint(int, int, int, int, int) override { return 0; }
    void ShowScreenTint(int) override {}
    void SetWireframeMode(int) override {}
    void SetForcedLodLevel(int) override {}
    void ShowHud(int) override {}
    int CountNodesInRoomAt(int, int, int) override { return 0; }
    int ListRoomsAtPoint(int, int, int, char*, size_t) override { return 0; }
    void WriteFrameStats(int, int, int, int, int, int) override {}
    void SetHudUpdateFlag(int32_t) override {}
    int32_t GetHudUpdateFlag() override { return 0; }
    int SetPanelRedrawFlag(int, int) override { return 0; }
    void SetHudItemIcon(int, int) override {}
    int CreateFigureForObject(int, const char*, float) override { return 0; }
    int PlaceObjectFigure(int, int, int, int, int, int, int, int, int) override { return 0; }
    int RemoveObjectFigure(int) override { return 0; }
    void ShowObjectFigure(int) override {}
    void SetFigureFirstPersonVisibility(int, int) override {}
    void SetFigureTint(int, int, int, int, int, int, int) override {}
    int SetFigureBodyTexture(int, int) override { return 0; }
    int SetFigureHeadTexture(int, int) override { return 0; }
    void AttachFigureLight(int, int, int, int, int, int, int) override {}
    int UpdateFigureAnimation(int, float, uint32_t) override { return 0; }
    int UpdateObjectFigureAnimation(int, int, int) override { return 0; }
    int PlayObjectFigureAnimation(int, int) override { return 0; }
    int IsFigureOnScreen(int, int, int, int, int, int, int) override { return 0; }
    int CreateFigureOverlayModel(int, int, int, int, int, int) override { return 0; }
    int RemoveFigureOverlay(int) override { return 0; }
    int SetFigureOverlayElement(int, int) override { return 0; }
    int SetFigureOverlayColor(int, int, int, int) override { return 0; }
    int CreateFigureBillboard(int) override { return 0; }
    void SetFigureBillboardPixels(int, const uint32_t*) override {}
    void SetFigureBillboardHeight(int, int) override {}
    void RemoveFigureBillboard(int) override {}
    void RemoveObjectMapNode(int) override {}
    int PlaceThinWalls(int, int, int, int, int, int, int, int, int) override { return 0; }
    void SetThinModelCorners(int, int, int, int, int, int, int) override {}
    void RemoveThinModel(int) override {}
    void SetShrineColor(int, int, int) override {}
    void SetEarthbloodColor(int, int, int) override {}
    int LoadModelTemplates(const char*, int) override { return 0; }
    void LoadFigureTextures() override {}
    void FreeFigureResources() override {}
    int SetMenuFigureView(int, int, int) override { return 0; }
    int LoadMenuFigure(const char*) override { return 0; }
    int ActivateMenuFigureScene() override { return 0; }
    void CreateMenuFigure(int, int, int, int) override {}
    void AnimateMenuFigure(int) override {}
    void DrawMenuFigureScene() override {}
    int DetachMenuFigure() override { return 0; }
    int DestroyMenuFigureScene() override { return 0; }

private:
    bool OpenDisplay() {
        IDirectDraw* first = nullptr;
        if (FAILED(DirectDrawCreate(nullptr, &first, nullptr)))
            return false;
        HRESULT hr = first->QueryInterface(IID_IDirectDraw4, reinterpret_cast<void**>(&directDraw_));
        first->Release();
        if (FAILED(hr) || FAILED(directDraw_->SetCooperativeLevel(window_, DDSCL_NORMAL)))
            return false;
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof(desc);
        desc.dwFlags = DDSD_CAPS;
        desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
        if (FAILED(directDraw_->CreateSurface(&desc, &primary_, nullptr)))
            return false;
        if (FAILED(directDraw_->CreateClipper(0, &clipper_, nullptr)) || FAILED(clipper_->SetHWnd(0, window_)) ||
            FAILED(primary_->SetClipper(clipper_)))
            return false;
        desc = DDSURFACEDESC2{};
        desc.dwSize = sizeof(desc);
        desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        desc.dwWidth = kFrameWidth;
        desc.dwHeight = kFrameHeight;
        desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
        return SUCCEEDED(directDraw_->CreateSurface(&desc, &frame_, nullptr));
    }

    void CloseDisplay() {
        ReleaseAndClear(frame_);
        ReleaseAndClear(clipper_);
        ReleaseAndClear(primary_);
        ReleaseAndClear(directDraw_);
    }

    void Replace(HWND window, IDirectDrawSurface4*& slot, IDirectDrawSurface4* surface) {
        if (!surface) {
            MessageBox(window, "Renderer Creation Failed!", "Error", MB_OK);
            return;
        }
        surface->AddRef();
        ReleaseAndClear(slot);
        slot = surface;
    }

    // Draws the source rectangle at (x, y), cut to the frame and to the source; black is the
    // transparent value of the 2D screens.
    void Draw(IDirectDrawSurface4* source, RECT from, int x, int y, bool transparent) {
        if (!frame_ || !source)
            return;
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof(desc);
        if (FAILED(source->GetSurfaceDesc(&desc)))
            return;
        from.left = std::max<LONG>(from.left, 0);
        from.top = std::max<LONG>(from.top, 0);
        from.right = std::min<LONG>(from.right, static_cast<LONG>(desc.dwWidth));
        from.bottom = std::min<LONG>(from.bottom, static_cast<LONG>(desc.dwHeight));
        // Shift the source with the part of the destination that falls off the frame.
        const LONG cutLeft = std::max(0, -x), cutTop = std::max(0, -y);
        from.left += cutLeft;
        from.top += cutTop;
        x += cutLeft;
        y += cutTop;
        from.right = std::min<LONG>(from.right, from.left + (kFrameWidth - x));
        from.bottom = std::min<LONG>(from.bottom, from.top + (kFrameHeight - y));
        if (from.left >= from.right || from.top >= from.bottom)
            return;
        RECT dest{x, y, x + (from.right - from.left), y + (from.bottom - from.top)};
        DDBLTFX fx{};
        fx.dwSize = sizeof(fx);
        DWORD flags = DDBLT_WAIT;
        if (transparent) {
            flags |= DDBLT_KEYSRCOVERRIDE;
            fx.ddckSrcColorkey = DDCOLORKEY{0, 0};
        }
        frame_->Blt(&dest, source, &from, flags, &fx);
    }

    HWND window_ = nullptr;
    int ready_ = 0;
    IDirectDraw4* directDraw_ = nullptr;
    IDirectDrawSurface4* primary_ = nullptr;
    IDirectDrawClipper* clipper_ = nullptr;
    IDirectDrawSurface4* frame_ = nullptr;
    IDirectDrawSurface4* screen_ = nullptr;
    IDirectDrawSurface4* cursor_ = nullptr;
};

}  // namespace

std::unique_ptr<PresentServices> MakeInterimPresent2D() { return std::make_unique<InterimPresent2D>(); }

void InstallInterimPresent2D() {
    // Never destroyed: the display must outlive every screen, to the process's end.
    static InterimPresent2D* services = new InterimPresent2D;
    InstallPresentServices(services);
}
