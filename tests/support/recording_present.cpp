#include "tests/support/recording_present.h"

#include <algorithm>
#include <cstdio>

#include "platform/win/platform.h"

namespace {

std::string Int(long long v) {
    return std::to_string(v);
}
std::string Size(size_t v) {
    return std::to_string(v);
}
std::string Hex(uint32_t v) {
    char text[16];
    std::snprintf(text, sizeof(text), "0x%X", v);
    return text;
}
std::string Float(float v) {
    char text[32];
    std::snprintf(text, sizeof(text), "%g", static_cast<double>(v));
    return text;
}
std::string Text(const char* v) {
    return v ? "\"" + std::string(v) + "\"" : "null";
}
std::string Ptr(const void* v) {
    return v ? "ptr" : "null";
}

void ReleaseAndClear(IDirectDrawSurface4*& surface) {
    if (surface) surface->Release();
    surface = nullptr;
}

}  // namespace

RecordingPresent::~RecordingPresent() {
    if (InstalledPresentServices() == this)
        InstallPresentServices(previous_);
    ReleaseAndClear(screenImage);
    ReleaseAndClear(cursorImage);
    if (directDraw_) directDraw_->Release();
}

void RecordingPresent::Log(const char* operation, std::initializer_list<std::string> args) {
    if (!record)
        return;
    std::string text = operation;
    text += '(';
    bool first = true;
    for (const std::string& a : args) {
        if (!first) text += ", ";
        text += a;
        first = false;
    }
    text += ')';
    calls.push_back(std::move(text));
}

std::vector<std::string> RecordingPresent::Named(std::string_view name) const {
    std::vector<std::string> out;
    for (const std::string& c : calls)
        if (c.size() > name.size() && c.compare(0, name.size(), name) == 0 && c[name.size()] == '(') out.push_back(c);
    return out;
}

size_t RecordingPresent::Count(std::string_view name) const {
    return Named(name).size();
}

std::vector<std::string> RecordingPresent::Names() const {
    std::vector<std::string> out;
    for (const std::string& c : calls) out.push_back(c.substr(0, c.find('(')));
    return out;
}

int RecordingPresent::Answer(const char* operation, int fallback) {
    auto it = scripted_.find(std::string_view(operation));
    if (it == scripted_.end() || it->second.empty()) return fallback;
    const int value = it->second.front();
    it->second.pop_front();
    return value;
}

// ---- Display and frame ---------------------------------------------------------------------------

void RecordingPresent::CreateRenderer(HWND window) {
    Log("CreateRenderer", {Ptr(window)});
    rendererReady = 1;
}

int RecordingPresent::SgxGetDirectDraw(IDirectDraw4** directDraw) {
    Log("SgxGetDirectDraw", {Ptr(directDraw)});
    if (!directDrawAvailable || !directDraw) return Answer("SgxGetDirectDraw", 0);
    if (!directDraw_) {
        IDirectDraw* first = nullptr;
        if (FAILED(DirectDrawCreate(nullptr, &first, nullptr))) return 0;
        const HRESULT hr = first->QueryInterface(IID_IDirectDraw4, reinterpret_cast<void**>(&directDraw_));
        first->Release();
        if (FAILED(hr)) return 0;
        directDraw_->SetCooperativeLevel(platform::MainWindow(), DDSCL_NORMAL);
    }
    directDraw_->AddRef();
    *directDraw = directDraw_;
    return Answer("SgxGetDirectDraw", 1);
}

void RecordingPresent::CreateScreenImage(HWND window, IDirectDrawSurface4* surface) {
    Log("CreateScreenImage", {Ptr(window), Ptr(surface)});
    if (surface) surface->AddRef();
    ReleaseAndClear(screenImage);
    screenImage = surface;
}

void RecordingPresent::CreateCursorImage(HWND window, IDirectDrawSurface4* surface) {
    Log("CreateCursorImage", {Ptr(window), Ptr(surface)});
    if (surface) surface->AddRef();
    ReleaseAndClear(cursorImage);
    cursorImage = surface;
}

int RecordingPresent::IsRendererReady() {
    Log("IsRendererReady", {});
    return Answer("IsRendererReady", rendererReady);
}

void RecordingPresent::ClearViewFrame() {
    Log("ClearViewFrame", {});
    std::fill(frame.begin(), frame.end(), 0);
}

void RecordingPresent::DrawScreenImage() {
    Log("DrawScreenImage", {});
    Compose(screenImage, 0, 0, kWidth, kHeight, 0, 0, false);
}

void RecordingPresent::BlitSurfaceToScreen(int left, int top, int right, int bottom, int transparent) {
    Log("BlitSurfaceToScreen", {Int(left), Int(top), Int(right), Int(bottom), Int(transparent)});
    Compose(screenImage, left, top, right, bottom, left, top, transparent != 0);
}

void RecordingPresent::DrawCursorImage(int x, int y) {
    Log("DrawCursorImage", {Int(x), Int(y)});
    Compose(cursorImage, 0, 0, 16, 16, x, y, true);
}

void RecordingPresent::ShowViewFrame() {
    Log("ShowViewFrame", {});
    shown = frame;
    ++shownCount;
    if (platform::IsVirtualClock() && frameStepMs) platform::AdvanceVirtualClock(frameStepMs);
}

void RecordingPresent::DestroySceneAndRenderer() {
    Log("DestroySceneAndRenderer", {});
    ReleaseAndClear(screenImage);
    ReleaseAndClear(cursorImage);
}

// Copies the source rectangle into the frame at (x, y) through Lock, cut to both.
void RecordingPresent::Compose(IDirectDrawSurface4* source, int left, int top, int right, int bottom, int x, int y,
                               bool transparent) {
    if (!source) return;
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof(desc);
    if (FAILED(source->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_READONLY, nullptr))) return;
    const int width = static_cast<int>(desc.dwWidth), height = static_cast<int>(desc.dwHeight);
    for (int sy = std::max(top, 0); sy < std::min(bottom, height); ++sy) {
        const int fy = y + (sy - top);
        if (fy < 0 || fy >= kHeight) continue;
        const auto* row = reinterpret_cast<const uint16_t*>(static_cast<const uint8_t*>(desc.lpSurface) +
                                                            static_cast<ptrdiff_t>(sy) * desc.lPitch);
        for (int sx = std::max(left, 0); sx < std::min(right, width); ++sx) {
            const int fx = x + (sx - left);
            if (fx < 0 || fx >= kWidth || (transparent && row[sx] == 0)) continue;
            frame[static_cast<size_t>(fy) * kWidth + fx] = row[sx];
        }
    }
    source->Unlock(nullptr);
}

// ---- Handles ---------------------------------------------------------------------------------------

int RecordingPresent::CreateFigureForObject(int templateNumber, const char* name, float scale) {
    Log("CreateFigureForObject", {Int(templateNumber), Text(name), Float(scale)});
    return Answer("CreateFigureForObject", nextFigure_++);
}

int RecordingPresent::CreateFigureBillboard(int figure) {
    Log("CreateFigureBillboard", {Int(figure)});
    return Answer("CreateFigureBillboard", nextBillboard_++);
}

int RecordingPresent::PlaceThinWalls(int x1, int y1, int base, int x2, int y2, int top, int texture, int transparent,
                                     int mirrored) {
    Log("PlaceThinWalls",
        {Int(x1), Int(y1), Int(base), Int(x2), Int(y2), Int(top), Int(texture), Int(transparent), Int(mirrored)});
    return Answer("PlaceThinWalls", nextThin_++);
}

// ---- Everything else: logged, scripted or 0 -------------------------------------------------------

void RecordingPresent::CreateSceneRoot() {
    Log("CreateSceneRoot", {});
}

void RecordingPresent::CreateCameras() {
    Log("CreateCameras", {});
}

void RecordingPresent::ResetCameraViewports() {
    Log("ResetCameraViewports", {});
}

void RecordingPresent::RenderWorldView(int elapsed) {
    Log("RenderWorldView", {Int(elapsed)});
}

void RecordingPresent::ReleaseRendererSurfaces() {
    Log("ReleaseRendererSurfaces", {});
}

void RecordingPresent::SgxCreateWorld(const char* levelDir) {
    Log("SgxCreateWorld", {Text(levelDir)});
}

void RecordingPresent::SgxUpdateFrame() {
    Log("SgxUpdateFrame", {});
}

void RecordingPresent::ShowStatistics() {
    Log("ShowStatistics", {});
}

int RecordingPresent::ToggleViewMode() {
    Log("ToggleViewMode", {});
    return Answer("ToggleViewMode", 0);
}

void RecordingPresent::ResetHudAndFigures() {
    Log("ResetHudAndFigures", {});
}

void RecordingPresent::SetWorldFog(int depth, int spare, int red, int green, int blue) {
    Log("SetWorldFog", {Int(depth), Int(spare), Int(red), Int(green), Int(blue)});
}

void RecordingPresent::SetViewerLight(int on, int dimmer, int range) {
    Log("SetViewerLight", {Int(on), Int(dimmer), Int(range)});
}

int RecordingPresent::SetScreenTint(int red, int green, int blue, int centreOpacity, int edgeOpacity) {
    Log("SetScreenTint", {Int(red), Int(green), Int(blue), Int(centreOpacity), Int(edgeOpacity)});
    return Answer("SetScreenTint", 0);
}

void RecordingPresent::ShowScreenTint(int on) {
    Log("ShowScreenTint", {Int(on)});
}

void RecordingPresent::SetWireframeMode(int on) {
    Log("SetWireframeMode", {Int(on)});
}

void RecordingPresent::SetForcedLodLevel(int level) {
    Log("SetForcedLodLevel", {Int(level)});
}

void RecordingPresent::ShowHud(int on) {
    Log("ShowHud", {Int(on)});
}

int RecordingPresent::CountNodesInRoomAt(int x, int y, int z) {
    Log("CountNodesInRoomAt", {Int(x), Int(y), Int(z)});
    return Answer("CountNodesInRoomAt", 0);
}

int RecordingPresent::ListRoomsAtPoint(int x, int y, int z, char* text, size_t size) {
    Log("ListRoomsAtPoint", {Int(x), Int(y), Int(z), Ptr(text), Size(size)});
    return Answer("ListRoomsAtPoint", 0);
}

void RecordingPresent::WriteFrameStats(int a, int b, int c, int d, int e, int f) {
    Log("WriteFrameStats", {Int(a), Int(b), Int(c), Int(d), Int(e), Int(f)});
}

void RecordingPresent::SetHudUpdateFlag(int32_t value) {
    Log("SetHudUpdateFlag", {Int(value)});
}

int32_t RecordingPresent::GetHudUpdateFlag() {
    Log("GetHudUpdateFlag", {});
    return Answer("GetHudUpdateFlag", 0);
}

int RecordingPresent::SetPanelRedrawFlag(int panel, int value) {
    Log("SetPanelRedrawFlag", {Int(panel), Int(value)});
    return Answer("SetPanelRedrawFlag", 0);
}

void RecordingPresent::SetHudItemIcon(int item, int icon) {
    Log("SetHudItemIcon", {Int(item), Int(icon)});
}

int RecordingPresent::PlaceObjectFigure(int figure, int x, int y, int z, int direction, int tilt, int update,
                                        int rebuildRotation, int heightOffset) {
    Log("PlaceObjectFigure", {Int(figure), Int(x), Int(y), Int(z), Int(direction), Int(tilt), Int(update),
                              Int(rebuildRotation), Int(heightOffset)});
    return Answer("PlaceObjectFigure", 0);
}

int RecordingPresent::RemoveObjectFigure(int figure) {
    Log("RemoveObjectFigure", {Int(figure)});
    return Answer("RemoveObjectFigure", 0);
}

void RecordingPresent::ShowObjectFigure(int figure) {
    Log("ShowObjectFigure", {Int(figure)});
}

void RecordingPresent::SetFigureFirstPersonVisibility(int figure, int flag) {
    Log("SetFigureFirstPersonVisibility", {Int(figure), Int(flag)});
}

void RecordingPresent::SetFigureTint(int figure, int opacity, int mode, int flag, int red, int green, int blue) {
    Log("SetFigureTint", {Int(figure), Int(opacity), Int(mode), Int(flag), Int(red), Int(green), Int(blue)});
}

int RecordingPresent::SetFigureBodyTexture(int figure, int texture) {
    Log("SetFigureBodyTexture", {Int(figure), Int(texture)});
    return Answer("SetFigureBodyTexture", 0);
}

int RecordingPresent::SetFigureHeadTexture(int figure, int texture) {
    Log("SetFigureHeadTexture", {Int(figure), Int(texture)});
    return Answer("SetFigureHeadTexture", 0);
}

void RecordingPresent::AttachFigureLight(int figure, int dimmer, int range, int red, int green, int blue, int height) {
    Log("AttachFigureLight", {Int(figure), Int(dimmer), Int(range), Int(red), Int(green), Int(blue), Int(height)});
}

int RecordingPresent::UpdateFigureAnimation(int figure, float seconds, uint32_t boneMask) {
    Log("UpdateFigureAnimation", {Int(figure), Float(seconds), Hex(boneMask)});
    return Answer("UpdateFigureAnimation", 0);
}

int RecordingPresent::UpdateObjectFigureAnimation(int objectSlot, int frameDelta, int visibility) {
    Log("UpdateObjectFigureAnimation", {Int(objectSlot), Int(frameDelta), Int(visibility)});
    return Answer("UpdateObjectFigureAnimation", 0);
}

int RecordingPresent::PlayObjectFigureAnimation(int objectSlot, int animation) {
    Log("PlayObjectFigureAnimation", {Int(objectSlot), Int(animation)});
    return Answer("PlayObjectFigureAnimation", 0);
}

int RecordingPresent::IsFigureOnScreen(int figure, int x, int y, int z, int height, int radius, int either) {
    Log("IsFigureOnScreen", {Int(figure), Int(x), Int(y), Int(z), Int(height), Int(radius), Int(either)});
    return Answer("IsFigureOnScreen", 0);
}

int RecordingPresent::CreateFigureOverlayModel(int figure, int model, int part, int mode, int direction, int tilt) {
    Log("CreateFigureOverlayModel", {Int(figure), Int(model), Int(part), Int(mode), Int(direction), Int(tilt)});
    return Answer("CreateFigureOverlayModel", 0);
}

int RecordingPresent::RemoveFigureOverlay(int figure) {
    Log("RemoveFigureOverlay", {Int(figure)});
    return Answer("RemoveFigureOverlay", 0);
}

int RecordingPresent::SetFigureOverlayElement(int figure, int element) {
    Log("SetFigureOverlayElement", {Int(figure), Int(element)});
    return Answer("SetFigureOverlayElement", 0);
}

int RecordingPresent::SetFigureOverlayColor(int figure, int red, int green, int blue) {
    Log("SetFigureOverlayColor", {Int(figure), Int(red), Int(green), Int(blue)});
    return Answer("SetFigureOverlayColor", 0);
}

void RecordingPresent::SetFigureBillboardPixels(int billboard, const uint32_t* pixels) {
    Log("SetFigureBillboardPixels", {Int(billboard), Ptr(pixels)});
}

void RecordingPresent::SetFigureBillboardHeight(int billboard, int height) {
    Log("SetFigureBillboardHeight", {Int(billboard), Int(height)});
}

void RecordingPresent::RemoveFigureBillboard(int billboard) {
    Log("RemoveFigureBillboard", {Int(billboard)});
}

void RecordingPresent::RemoveObjectMapNode(int object) {
    Log("RemoveObjectMapNode", {Int(object)});
}

void RecordingPresent::SetThinModelCorners(int index, int x1, int y1, int base, int x2, int y2, int top) {
    Log("SetThinModelCorners", {Int(index), Int(x1), Int(y1), Int(base), Int(x2), Int(y2), Int(top)});
}

void RecordingPresent::RemoveThinModel(int index) {
    Log("RemoveThinModel", {Int(index)});
}

void RecordingPresent::SetShrineColor(int shrine, int alignment, int power) {
    Log("SetShrineColor", {Int(shrine), Int(alignment), Int(power)});
}

void RecordingPresent::SetEarthbloodColor(int earthnode, int alignment, int bias) {
    Log("SetEarthbloodColor", {Int(earthnode), Int(alignment), Int(bias)});
}

int RecordingPresent::LoadModelTemplates(const char* directory, int offset) {
    Log("LoadModelTemplates", {Text(directory), Int(offset)});
    return Answer("LoadModelTemplates", 0);
}

void RecordingPresent::LoadFigureTextures() {
    Log("LoadFigureTextures", {});
}

void RecordingPresent::FreeFigureResources() {
    Log("FreeFigureResources", {});
}

int RecordingPresent::SetMenuFigureView(int a, int b, int c) {
    Log("SetMenuFigureView", {Int(a), Int(b), Int(c)});
    return Answer("SetMenuFigureView", 0);
}

int RecordingPresent::LoadMenuFigure(const char* path) {
    Log("LoadMenuFigure", {Text(path)});
    return Answer("LoadMenuFigure", 0);
}

int RecordingPresent::ActivateMenuFigureScene() {
    Log("ActivateMenuFigureScene", {});
    return Answer("ActivateMenuFigureScene", 0);
}

void RecordingPresent::CreateMenuFigure(int templateNumber, int body, int head, int colour) {
    Log("CreateMenuFigure", {Int(templateNumber), Int(body), Int(head), Int(colour)});
}

void RecordingPresent::AnimateMenuFigure(int elapsed) {
    Log("AnimateMenuFigure", {Int(elapsed)});
}

void RecordingPresent::DrawMenuFigureScene() {
    Log("DrawMenuFigureScene", {});
}

int RecordingPresent::DetachMenuFigure() {
    Log("DetachMenuFigure", {});
    return Answer("DetachMenuFigure", 0);
}

int RecordingPresent::DestroyMenuFigureScene() {
    Log("DestroyMenuFigureScene", {});
    return Answer("DestroyMenuFigureScene", 0);
}
