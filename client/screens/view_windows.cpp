#include "client/screens/view_windows.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "client/core/numeric.h"
#include "client/core/sound.h"
#include "client/core/trig_tables.h"

ViewRecord g_views[kViewCount];
std::unique_ptr<gwsWindow> g_viewWindows[kViewCount];
FrameButtonRecord g_frameButtons[3];
std::unique_ptr<gwsSpriteWindow> g_frameButtonWindows[3];
int32_t g_currentView = 0;
int32_t g_hoveredFrameButton = -1;
int32_t g_pressedFrameButton = -1;
int32_t g_viewRedraw = 0;
gwsFrameButton* g_viewPanelButtons[kViewCount] = {};

int32_t ReciprocalTable[4096];
int32_t TrigP[4096], TrigQ[4096], TrigQOverP[4096], TrigPOverQ[4096];
int32_t SineReciprocal[4096], CosineReciprocal[4096];

namespace {

constexpr int32_t kOne = 1 << 16;
constexpr double kAngleUnitsPerRadian = 652.2292993630573;

int32_t ToFixed(double v) {
    const double scaled = std::round(v * 65536.0);
    return static_cast<int32_t>(std::clamp(scaled, static_cast<double>(std::numeric_limits<int32_t>::min()),
                                           static_cast<double>(std::numeric_limits<int32_t>::max())));
}

// Magnitude at least 1.0, keeping the sign (0 counts as positive).
int32_t AwayFromZero(int32_t v) {
    if (v >= 0 && v < kOne)
        return kOne;
    if (v < 0 && v > -kOne)
        return -kOne;
    return v;
}

void FrameButtonEvent(int kind, int event) {
    if (event == 1)
        SelectFrameButton(kind);
    else if (event == 13)
        HoverFrameButton(kind);
    else if (event == 14)
        g_hoveredFrameButton = -1;
    else if (event == 8 && kind == FRAME_MOVE)
        MoveViewWindow();
}

}  // namespace

void OpenViewWindow(int n) {
    if (n < 0 || n >= kViewCount)
        return;
    for (ViewRecord& v : g_views)
        v.active = 0;
    g_views[n].active = 1;
    for (int kind = 0; kind < 3; ++kind) {
        DeleteFrameButton(kind);
        g_frameButtons[kind] = FrameButtonRecord{};
    }
    if (n > 0)
        CreateFrameButtons(n);
    g_viewRedraw = 1;
    g_hoveredFrameButton = -1;
    g_pressedFrameButton = -1;
    g_currentView = n;
    for (gwsFrameButton* button : g_viewPanelButtons)
        if (button)
            button->leftPressed = 0;
    PlayGameSound(0, 0, 0);
}

void CreateFrameButtons(int n) {
    const int vx = g_views[n].x, vy = g_views[n].y;
    AddFrameButton(0, vx + 145, vy + 7, vx + 161, vy + 23, "Close", FRAME_CLOSE, n);
    AddFrameButton(1, vx + 166, vy + 20, vx + 188, vy + 40, "Resize", FRAME_RESIZE, n);
    AddFrameButton(2, vx + 175, vy + 42, vx + 194, vy + 60, "Move", FRAME_MOVE, n);
}

void AddFrameButton(int index, int left, int top, int right, int bottom, const char* label, int kind, int view) {
    if (index < 0 || index >= 3)
        return;
    g_frameButtons[index] = FrameButtonRecord{1, 0, left, top, right, bottom, 0, 0, kind, view};
    std::unique_ptr<gwsSpriteWindow>& window = g_frameButtonWindows[index];
    if (!window)
        window = std::make_unique<gwsSpriteWindow>(0, left, top, right - left, bottom - top,
                                                   kind == FRAME_MOVE ? GWS_DRAGGABLE : 0,
                                                   [kind](int event) { FrameButtonEvent(kind, event); });
    gwsMoveWindow(window.get(), left, top, right - left, bottom - top, GWS_MOVE_TO_FRONT);
    window->gwsSetToolTipText(label, 0, 0x220, 65534, 0);
    window->gwsSetToolTipDelay(0);
}

void DeleteFrameButton(int kind) {
    if (kind >= 0 && kind < 3)
        g_frameButtonWindows[kind].reset();
}

void SelectFrameButton(int kind) {
    for (FrameButtonRecord& r : g_frameButtons) {
        r.pressed = 0;
        r.hover = 0;
    }
    g_frameButtons[kind].pressed = 1;
    g_pressedFrameButton = kind;
    PlayGameSound(0, 0, 0);
    g_viewRedraw = 1;
}

void HoverFrameButton(int kind) {
    if (g_hoveredFrameButton == kind)
        return;
    for (FrameButtonRecord& r : g_frameButtons)
        r.hover = 0;
    g_frameButtons[kind].hover = 1;
    g_hoveredFrameButton = kind;
    g_viewRedraw = 1;
}

void MoveViewWindow() {
    const int n = g_currentView;
    gwsSpriteWindow* move = g_frameButtonWindows[FRAME_MOVE].get();
    if (n <= 0 || n >= kViewCount || !move)
        return;
    ViewRecord& v = g_views[n];
    int x = std::max(1, move->x - 175);
    int y = std::max(1, move->y - 42);
    if (x + v.width >= 639)
        x = 638 - v.width;
    if (y + v.height >= 479)
        y = 478 - v.height;
    v.x = x;
    v.y = y;
    if (g_viewWindows[n])
        gwsMoveWindow(g_viewWindows[n].get(), x, y, v.width, v.height, 0x21);
    BuildViewTables(n, 0);
    const int offsets[3][2] = {{145, 7}, {166, 20}, {175, 42}};
    for (int i = 0; i < 3; ++i) {
        FrameButtonRecord& r = g_frameButtons[i];
        const int w = r.right - r.left, h = r.bottom - r.top;
        r.left = x + offsets[i][0];
        r.top = y + offsets[i][1];
        r.right = r.left + w;
        r.bottom = r.top + h;
        if (i != FRAME_MOVE && g_frameButtonWindows[i])
            gwsMoveWindow(g_frameButtonWindows[i].get(), r.left, r.top, w, h, GWS_MOVE_KEEP_SIZE);
    }
}

// ---- Tables -------------------------------------------------------------------------------------------

void BuildTrigTables() {
    for (int i = 1; i < 4096; ++i)
        ReciprocalTable[i] = FixedDiv(kOne, i * kOne);
    ReciprocalTable[0] = ReciprocalTable[1];
    for (int k = 0; k < 4096; ++k) {
        const int32_t p = AwayFromZero(FixedMul(-256 * kOne, SineTable[k]));
        const int32_t q = AwayFromZero(FixedMul(256 * kOne, CosineTable[k]));
        TrigP[k] = p;
        TrigQ[k] = q;
        TrigQOverP[k] = FixedDiv(q, p);
        TrigPOverQ[k] = FixedDiv(p, q);
    }
}

void BuildReciprocalTables() {
    for (int k = 0; k < 4096; ++k) {
        SineReciprocal[k] = SineTable[k] ? FixedDiv(kOne, SineTable[k]) : 0;
        CosineReciprocal[k] = CosineTable[k] ? FixedDiv(kOne, CosineTable[k]) : 0;
    }
}

void BuildColumnAngles(int view) {
    if (view < 0 || view >= kViewCount)
        return;
    ViewRecord& v = g_views[view];
    const double d = std::max(1, v.distance);
    for (int c = 0; c < kViewColumns; ++c) {
        int angle = static_cast<int>(std::atan((c - 320) / d) * kAngleUnitsPerRadian);
        angle %= 4096;
        if (angle < 0)
            angle += 4096;
        v.columnAngle[c] = angle;
    }
}

void BuildViewTables(int n, int full) {
    if (n < 0 || n >= kViewCount)
        return;
    ViewRecord& v = g_views[n];
    v.distance = std::max(1, v.distance);
    v.firstColumn = std::clamp(v.firstColumn, 0, kViewColumns - 1);
    v.lastColumn = std::clamp(v.lastColumn, 0, kViewColumns - 1);
    v.centreRow = std::clamp(v.centreRow, 0, kViewRows - 1);
    BuildColumnAngles(n);
    const double d = v.distance;
    for (int c = v.firstColumn; c <= v.lastColumn; ++c) {
        v.columnScale[c] = ToFixed(CosineTable[v.columnAngle[c]] / 65536.0 / d);
        v.columnSlope[c] = ToFixed((c - v.centreColumn) / d);
    }
    if (!full)
        return;
    v.distanceTable.assign(5000, 0);
    for (int i = 1; i < 5000; ++i)
        v.distanceTable[i] = FixedDiv(v.distance, i);
    v.heightTable.assign(8192, 0);
    for (int i = 1; i < 8192; ++i)
        v.heightTable[i] = FixedDiv(2 * i, v.distance);
    for (int r = 0; r < kViewRows; ++r) {
        const double angle = std::clamp(std::atan((r - v.centreRow) / d) + v.fovDegrees * 0.017453277, -1.52, 1.52);
        v.rowTan[r] = ToFixed(std::tan(angle));
        v.rowCot[r] = ToFixed(1.0 / std::tan(angle));
    }
}
