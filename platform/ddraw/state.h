#pragma once
// The process-wide state of our DirectDraw: the display (mode, exclusive owner), the video-memory
// budget, the live objects, and the test controls (profile, injected failures, trace, counters).

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/ddraw/control.h"
#include "platform/ddraw/format.h"

namespace platform::dd {

class SurfaceImpl;
class DirectDrawImpl;

struct Injection {
    HRESULT result;
    int after;
    int times;  // < 0: for ever
};

struct DisplayState {
    DisplayMode mode;
    bool modeChanged = false;
    DirectDrawImpl* exclusiveOwner = nullptr;
    HWND exclusiveWindow = nullptr;
};

struct State {
    CapsProfile profile;
    DisplayState display;
    uint64_t videoMemoryUsed = 0;
    std::map<std::string, Injection> injections;
    std::map<const void*, int> busy;  // surface object -> busy answers left
    bool tracing = false;
    std::vector<TraceEvent> trace;
    int presents = 0;
    int liveObjects = 0;
    bool forceGeneralRaster = false;
    bool lastDrawSpecialised = false;
    RasterDrawCounts rasterDraws;
    bool rasterizing = true;
    uint64_t pixelsWritten = 0;
    std::set<SurfaceImpl*> surfaces;  // every live surface, for RestoreAllSurfaces and losses
    SurfaceImpl* primary = nullptr;   // the one primary surface, when there is one
};

State& GetState();

// The failure armed for this call, or S_OK.
HRESULT Injected(const char* operation);
// Counts one busy answer of the surface; true when it is busy.
bool TakeBusy(const void* surface);

// A new stamp for changed pixels or palette entries (never repeats).
uint64_t NextRevision();

// The display's pixel format right now.
DDPIXELFORMAT CurrentDisplayFormat();

// Every DirectDraw and Direct3D object counts itself alive while it exists.
struct LiveObject {
    LiveObject() { ++GetState().liveObjects; }
    LiveObject(const LiveObject&) = delete;
    LiveObject& operator=(const LiveObject&) = delete;
    ~LiveObject() { --GetState().liveObjects; }
};

inline bool Tracing() { return GetState().tracing; }
void AddTrace(TraceEvent event);

// Record sizes: ours, or the 32-bit platform's that callers may write.
inline bool SizeOk(DWORD size, size_t ours, DWORD theirs) { return size == ours || size == theirs; }

}  // namespace platform::dd
