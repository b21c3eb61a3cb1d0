#pragma once
// Controls of our DirectDraw and Direct3D for tests and tools: what the display and the devices
// report (the caps profile), the video-memory budget, injected failures (a device that cannot be
// created, a busy or lost surface, any call failing), a trace of the device calls with copies of
// the vertices and indices drawn, and counters of what was presented. The game never calls these.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/ddraw/d3d.h"

namespace platform::dd {

// One DirectDraw driver as DirectDrawEnumerate lists it.
struct DriverProfile {
    bool hasGuid = false;  // false: the primary display driver (a null GUID)
    GUID guid{};
    std::string description = "Quorrin Display";  // enumeration text and identifier description
    std::string name = "display";
    std::string driverFile = "quorrin.drv";
    DWORD vendorId = 0x51A0;
    DWORD deviceId = 0x0001;
    DWORD halCaps = 0;   // DDCAPS::dwCaps of the hardware; 0 for a driver without hardware
    DWORD halCaps2 = 0;  // DDCAPS::dwCaps2 of the hardware
    bool hardware3d = false;  // offers the hardware (HAL) 3D device
};

struct DisplayMode {
    DWORD width = 0;
    DWORD height = 0;
    DWORD bitsPerPixel = 0;
};

// What a device has drawn so far, for ValidateDevice.
struct StageView {
    DWORD states[kD3DStageStateCount];
    bool hasTexture;
    DDPIXELFORMAT textureFormat;
};
struct DeviceView {
    const GUID* device;
    const DWORD* renderStates;  // kD3DRenderStateCount values
    StageView stages[kD3DMaxTextureStages];
};
using ValidateHook = std::function<HRESULT(const DeviceView& view, DWORD* passes)>;

struct CapsProfile {
    std::vector<DriverProfile> drivers;  // in enumeration order
    bool enumerateEx = true;             // DirectDrawEnumerateExA can be looked up

    // The 3D devices. A hardware device exists for drivers with hardware3d; the software ones
    // belong to every DirectDraw object.
    bool mmxDevice = true;
    bool rgbDevice = true;
    bool nullDevice = false;  // also enumerate the null device (it draws nothing)
    std::vector<GUID> failingDevices;  // CreateDevice fails for these with D3DERR_INITFAILED

    // What every 3D device reports in its description.
    DWORD devCaps = 0;
    DWORD miscCaps = 0;
    DWORD rasterCaps = 0;
    DWORD zCmpCaps = 0;
    DWORD srcBlendCaps = 0;
    DWORD destBlendCaps = 0;
    DWORD alphaCmpCaps = 0;
    DWORD shadeCaps = 0;
    DWORD textureCaps = 0;
    DWORD textureFilterCaps = 0;
    DWORD textureBlendCaps = 0;
    DWORD textureAddressCaps = 0;
    DWORD textureOpCaps = 0;
    WORD maxTextureBlendStages = 2;
    WORD maxSimultaneousTextures = 2;
    DWORD maxTextureWidth = 2048;
    DWORD maxTextureHeight = 2048;
    DWORD maxVertexCount = 2048;
    DWORD renderDepths = DDBD_16 | DDBD_32;
    DWORD zBufferDepths = DDBD_16;
    std::vector<DDPIXELFORMAT> textureFormats;  // in enumeration order
    std::vector<DDPIXELFORMAT> zBufferFormats;  // in enumeration order
    // Replaces the default check of ValidateDevice when set.
    ValidateHook validate;
    // Edits the description one device reports (enumeration and GetCaps), after the fields above:
    // a test makes one device lack a cap the others have.
    std::function<void(const GUID& device, D3DDEVICEDESC& desc)> editDevice;

    // The display.
    std::vector<DisplayMode> displayModes;
    DisplayMode desktop;          // the mode before any change, and after RestoreDisplayMode
    bool sixteenBitIs555 = false;  // 16-bit modes are 5-5-5 instead of 5-6-5
    DWORD emulationCaps = 0;       // DDCAPS::dwCaps of the software emulation
    uint64_t videoMemoryBytes = 0;  // the budget of video-memory surfaces
};

// The profile of a capable card with one hardware 3D device (our rasteriser behind all three):
// two texture stages, every blend factor, vertex fog, point/linear filtering with mipmaps, wrap
// and clamp, 5-6-5 desktop of 800 x 600, modes 640 x 480, 800 x 600 and 1024 x 768 at 16 and 32
// bits, 32 MB of video memory.
CapsProfile DefaultCapsProfile();
// The same device without hardware: only the MMX and RGB software devices.
CapsProfile SoftwareOnlyCapsProfile();

// Every control back to its default: the default profile, no failures, no busy or lost surfaces,
// no trace, counters at 0, the desktop mode. Objects still alive stay usable.
void ResetDDraw();
void SetCapsProfile(const CapsProfile& profile);
const CapsProfile& GetCapsProfile();

// ---- Pixel formats the layer knows (also those the default profile enumerates) ----------------
DDPIXELFORMAT FormatRgb565();
DDPIXELFORMAT FormatRgb555();
DDPIXELFORMAT FormatXrgb8888();
DDPIXELFORMAT FormatArgb1555();
DDPIXELFORMAT FormatArgb4444();
DDPIXELFORMAT FormatArgb8888();
DDPIXELFORMAT FormatRgb888();
DDPIXELFORMAT FormatPalette8();
DDPIXELFORMAT FormatZ16();
DDPIXELFORMAT FormatZ24S8();
DDPIXELFORMAT FormatZ32();

// ---- Video memory --------------------------------------------------------------------------
uint64_t VideoMemoryUsed();

// ---- Failure injection -----------------------------------------------------------------------
// Makes the named call fail with result: after `after` successful calls, the next `times` calls
// fail (times < 0: every call from then on). Names are "Interface::Method" with the interface
// named without its version ("DirectDraw::CreateSurface", "Surface::Lock", "Direct3D::CreateDevice",
// "Device::DrawIndexedPrimitiveVB", "Viewport::Clear2", "VertexBuffer::Lock", "Palette::SetEntries",
// "Clipper::SetHWnd", "Texture::PaletteChanged"), the entry points by their name ("DirectDrawCreate"), and QueryInterface as
// "QueryInterface:<interface>" ("QueryInterface:IDirectDraw4", "QueryInterface:IDirect3D3").
void FailCall(const std::string& operation, HRESULT result, int times = 1, int after = 0);
// The surface (any of its interfaces) answers Lock, Blt, BltFast and Flip with DDERR_SURFACEBUSY
// (Lock) or DDERR_WASSTILLDRAWING (the others) for the next `times` calls.
void SetSurfaceBusy(IUnknown* surface, int times);
// Marks the surface lost, as a display-mode change or another program would; Restore (or
// RestoreAllSurfaces) brings it back.
void LoseSurface(IUnknown* surface);
void LoseAllSurfaces();

// ---- Trace of device calls --------------------------------------------------------------------
enum class TraceKind {
    RenderState,  // a = state, b = value
    LightState,   // a = state, b = value
    StageState,   // a = stage, b = state, c = value
    SetTexture,   // a = stage, texture = the surface bound (null for none)
    Draw,         // a = primitive, b = vertex format, c = flags; vertices, vertexSize, indices
    Clear,        // a = flags, b = colour, z, rects
    BeginScene,
    EndScene,
    Transform,    // a = transform state
    Validate,     // a = passes, b = result
};

struct TraceEvent {
    TraceKind kind;
    DWORD a = 0;
    DWORD b = 0;
    DWORD c = 0;
    const void* texture = nullptr;
    std::vector<uint8_t> vertices;  // the vertices drawn (for indexed draws, the whole range used)
    DWORD vertexSize = 0;
    std::vector<WORD> indices;
    std::vector<D3DRECT> rects;
    float z = 0;
};

// A vertex of a traced draw decoded from its format.
struct TracedVertex {
    float sx, sy, sz, rhw;
    DWORD diffuse, specular;
    float tu, tv, tu2, tv2;
};
TracedVertex DecodeTracedVertex(const TraceEvent& draw, size_t index);

void StartTrace();
void StopTrace();
void ClearTrace();
const std::vector<TraceEvent>& Trace();

// ---- Presentation and drawing -----------------------------------------------------------------
// Frames shown through the primary surface (Flip, or a blit onto it) since the last reset.
int PresentCount();
// Draws every triangle through the general pixel path instead of the specialised span loops (to
// compare the two).
void ForceGeneralRaster(bool on);
// Whether the last draw of any device went through a specialised span loop.
bool LastDrawSpecialised();
// The draws every device has rasterised since the start, and how many of them went through a
// specialised span loop.
struct RasterDrawCounts {
    uint64_t all = 0;
    uint64_t specialised = 0;
};
RasterDrawCounts RasterDraws();
// How many pixels at a time the specialised span loops may go: one, eight (where the processor has
// AVX2) or sixteen (AVX-512). They give the same pixels; tests compare them.
enum class SpanWidth { One, Eight, Sixteen };
void LimitSpanWidth(SpanWidth widest);
// The widest the loops go now: the limit, or less where the processor has not the instructions.
SpanWidth WidestSpans();
// Benchmark controls: with rasterising off the devices take every draw call and its vertices but
// fill no pixel, so the cost of what feeds them can be measured alone. Pixels written counts the
// pixels of the triangle spans filled since the last reset (before depth and alpha tests).
void SetRasterizing(bool on);
uint64_t PixelsWritten();
void ResetPixelsWritten();
// The entry points of the display driver library by name, for GetProcAddress ("DirectDrawCreate",
// "DirectDrawEnumerateA", and "DirectDrawEnumerateExA" when the profile offers it).
FARPROC DDrawFunction(const char* name);

// DirectDraw and Direct3D objects alive (surfaces, palettes, clippers, devices, viewports, vertex
// buffers, DirectDraw objects): 0 once everything has been released.
int LiveObjectCount();

}  // namespace platform::dd
