#include "client/driver/view_setup.h"

#include <algorithm>

#include "client/arena/game_input.h"
#include "client/arena/grid_queries.h"
#include "client/arena/local_player.h"
#include "client/arena/world_object.h"
#include "client/core/config_file.h"
#include "client/driver/display_helpers.h"
#include "client/screens/screen_surface.h"
#include "client/screens/view_windows.h"

ViewportSettings g_viewportSettings;
ViewRectangle g_viewRect{};
int16_t ColumnTopClip[640];
int16_t ColumnBottomClip[640];

namespace {

constexpr int kLastColumn = kViewColumns - 1;
constexpr int kLastRow = kViewRows - 1;

// left < right within 0..last: a right at or before left moves just past it.
void HoldSpan(int32_t& low, int32_t& high, int last) {
    low = std::clamp(low, 0, last - 1);
    high = std::clamp(high, low + 1, last);
}

void Finish(ViewRectangle& r) {
    r.width = r.right - r.left + 1;
    r.height = r.bottom - r.top + 1;
    r.centreX = r.width / 2 + r.left;
    r.centreY = r.height / 2 + r.top;
}

// The rectangle inset by the side and top insets, kept at least two pixels each way.
ViewRectangle Inset(int side, int top) {
    const ViewportSettings& s = g_viewportSettings;
    ViewRectangle r{};
    r.left = s.left + side;
    r.right = s.right - side;
    r.top = s.top + top;
    r.bottom = s.bottom - top;
    if (r.right <= r.left)
        r.left = r.right = (s.left + s.right) / 2;
    if (r.bottom <= r.top)
        r.top = r.bottom = (s.top + s.bottom) / 2;
    HoldSpan(r.left, r.right, kLastColumn);
    HoldSpan(r.top, r.bottom, kLastRow);
    Finish(r);
    return r;
}

int Border() { return std::clamp(ViewBorder, 0, 48); }

}  // namespace

ViewportSettings ClampViewport(ViewportSettings v) {
    HoldSpan(v.left, v.right, kLastColumn);
    HoldSpan(v.top, v.bottom, kLastRow);
    v.distance = std::max(v.distance, 1);
    return v;
}

void LoadViewportSettings() {
    ViewportSettings v;
    GetConfigInt("main.dat", "viewport", "distance", &v.distance, 256, 0);
    GetConfigInt("main.dat", "viewport", "left", &v.left, 4, 0);
    GetConfigInt("main.dat", "viewport", "right", &v.right, 404, 0);
    GetConfigInt("main.dat", "viewport", "top", &v.top, 10, 0);
    GetConfigInt("main.dat", "viewport", "bottom", &v.bottom, 300, 0);
    g_viewportSettings = ClampViewport(v);
    const int b = Border();
    g_viewRect = Inset(b, b);
    g_viewRect.distance = g_viewportSettings.distance;
}

void ApplyViewSize() {
    const ViewportSettings& s = g_viewportSettings;
    const int b = Border();
    ViewRectangle r = Inset(b + b / 2, b);
    // The settings keep right > left, so the full width is never 0.
    r.distance = std::max(1, static_cast<int>(int64_t{r.width} * s.distance / (s.right - s.left)));
    g_viewRect = r;
    SetViewRect(0, r.left, r.top, r.right, r.bottom, r.distance);
    BuildViewTables(0, 1);
    g_viewRedraw = 0;
    // The frame around the view: the whole viewport area in the frame texture, the view drawn over it.
    const int w = s.right - s.left + 1, h = s.bottom - s.top + 1;
    g_screen.TileFillFromImage(s.left, s.top, w, h, g_screen.Tile(1));
    g_screen.QueueDirtyRect(s.left, s.top, w, h, 0);
    g_handOverlay.changed = 1;
}

void AllocViewBuffers() {
    for (ViewRecord& v : g_views)
        v = ViewRecord{};
}

void ResetColumnClips() {
    const ViewRecord& v = g_views[0];
    std::fill(std::begin(ColumnTopClip), std::end(ColumnTopClip), static_cast<int16_t>(v.y));
    std::fill(std::begin(ColumnBottomClip), std::end(ColumnBottomClip), static_cast<int16_t>(v.y + v.height - 1));
}

void SetViewRect(int n, int left, int top, int right, int bottom, int distance) {
    if (n < 0 || n >= kViewCount)
        return;
    int32_t l = left, r = right, t = top, b = bottom;
    HoldSpan(l, r, kLastColumn);
    HoldSpan(t, b, kLastRow);
    ViewRecord& v = g_views[n];
    v.x = l;
    v.y = t;
    v.width = r - l + 1;
    v.height = b - t + 1;
    v.firstColumn = l;
    v.lastColumn = r;
    v.centreColumn = v.width / 2 + l;
    v.centreRow = v.height / 2 + t;
    v.distance = std::max(distance, 1);
    v.changed = 1;
}

namespace {

bool LiveObject(int slot) {
    return slot >= 1 && slot < kWorldObjectSlots && WorldObjectTable[slot].active == 1;
}

void Look(ViewRecord& v, int x, int y, int z, int pitch, int angle) {
    v.eyeX = x;
    v.eyeY = y;
    v.eyeZ = z;
    v.eyePitch = pitch;
    v.eyeAngle = angle;
}

}  // namespace

int SetViewPoint(int n, int x, int y, int z, int pitch, int angle) {
    if (n < 0 || n >= kViewCount)
        return 0;
    ViewRecord& v = g_views[n];
    switch (v.mode) {
        case 0:
            Look(v, x, y, z, pitch, angle);
            return 1;
        case 1: {
            if (!LiveObject(v.object)) {
                v.object = 0;
                v.mode = 2;
                return 0;
            }
            const WorldObject& o = WorldObjectTable[v.object];
            if (x == 0 && y == 0 && z == 0)
                Look(v, o.x, o.y, o.z + o.tall, pitch, o.facing);
            else
                Look(v, x, y, z, pitch, angle);
            return 1;
        }
        case 5: {
            if (!LiveObject(v.object))
                return 0;
            const WorldObject& o = WorldObjectTable[v.object];
            if (g_playMode == 2 && o.no_figure)
                return 0;
            const int eye = o.z + o.tall;
            if (eye < GetFloorHeight(o.x, o.y, o.z, 0) || eye > GetCeilingHeight(o.x, o.y, o.z))
                return 0;
            Look(v, o.x, o.y, eye, pitch, o.facing);
            return 1;
        }
        default:
            return 0;
    }
}
