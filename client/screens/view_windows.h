#pragma once
// The view windows: up to seven framed sub-views (the clone trigger opens them) with Close,
// Resize and Move frame buttons, and the angle and projection tables the views draw with.

#include <cstdint>
#include <memory>
#include <vector>

#include "client/screens/gws_window.h"

constexpr int kViewCount = 7;
constexpr int kViewColumns = 640;
constexpr int kViewRows = 400;

struct ViewRecord {
    int32_t active = 0;
    int32_t x = 0, y = 0, width = 0, height = 0;
    int32_t firstColumn = 0, lastColumn = kViewColumns - 1;
    int32_t distance = 320;
    int32_t centreColumn = 320, centreRow = 200;
    int32_t fovDegrees = 0;
    int32_t columnAngle[kViewColumns] = {};
    int32_t columnScale[kViewColumns] = {};  // 1 / d by the cosine of the column's angle, 16.16
    int32_t columnSlope[kViewColumns] = {};  // (column - centre) / d, 16.16
    std::vector<int32_t> distanceTable;      // d / i for i 1..4999, 16.16
    std::vector<int32_t> heightTable;        // 2i / d for i 1..8191, 16.16
    int32_t rowTan[kViewRows] = {};
    int32_t rowCot[kViewRows] = {};
    // Where the view looks from: mode 0 an explicit point, 1 following an object (2 once it is
    // gone), 5 from world object `object`.
    int32_t mode = 0;
    int32_t object = 0;
    int32_t eyeX = 0, eyeY = 0, eyeZ = 0, eyePitch = 0, eyeAngle = 0;
    int32_t changed = 0;  // the rectangle moved: what depends on it is rebuilt
};

struct FrameButtonRecord {
    int32_t used, pressed, left, top, right, bottom, hover, reserved, kind, view;
};

enum FrameButtonKind { FRAME_CLOSE = 0, FRAME_RESIZE = 1, FRAME_MOVE = 2 };

extern ViewRecord g_views[kViewCount];
extern std::unique_ptr<gwsWindow> g_viewWindows[kViewCount];
extern FrameButtonRecord g_frameButtons[3];
extern std::unique_ptr<gwsSpriteWindow> g_frameButtonWindows[3];
extern int32_t g_currentView;
extern int32_t g_hoveredFrameButton;
extern int32_t g_pressedFrameButton;
extern int32_t g_viewRedraw;
// The view panel's seven frame buttons (made by the HUD list panels).
extern gwsFrameButton* g_viewPanelButtons[kViewCount];

void OpenViewWindow(int n);
void CreateFrameButtons(int n);
void AddFrameButton(int index, int left, int top, int right, int bottom, const char* label, int kind, int view);
void DeleteFrameButton(int kind);
void SelectFrameButton(int kind);
void HoverFrameButton(int kind);
void MoveViewWindow();

// The angle tables, filled at start-up.
extern int32_t ReciprocalTable[4096];
extern int32_t TrigP[4096], TrigQ[4096], TrigQOverP[4096], TrigPOverQ[4096];
extern int32_t SineReciprocal[4096], CosineReciprocal[4096];
void BuildTrigTables();
void BuildReciprocalTables();
void BuildColumnAngles(int view);
void BuildViewTables(int n, int full);
