#include "client/present/frame_update.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "client/arena/grid_queries.h"
#include "client/arena/line_tests.h"
#include "client/arena/local_player.h"
#include "client/arena/player_status.h"
#include "client/arena/player_view.h"
#include "client/arena/world_object.h"
#include "client/core/error_log.h"
#include "client/core/game_clock.h"
#include "client/core/level_defs.h"
#include "client/driver/arena_loop.h"
#include "client/net/net_dispatch.h"
#include "client/net/net_rings.h"
#include "client/present/camera_set.h"
#include "client/present/crosshair.h"
#include "client/present/figure_anim_state.h"
#include "client/present/figure_animation.h"
#include "client/present/figure_attach.h"
#include "client/present/figure_lights.h"
#include "client/present/figure_objects.h"
#include "client/present/figure_textures.h"
#include "client/present/hud_panels.h"
#include "client/present/world_tables.h"
#include "client/screens/chat_buffer.h"
#include "client/screens/fonts.h"
#include "client/screens/screen_surface.h"
#include "common/text.h"
#include "engine/animation/sg_3ds_animators.h"
#include "engine/animation/sg_animation_timing.h"
#include "engine/core/sg_action.h"
#include "platform/fs/fs.h"

namespace present {

float ActionClock = 0.0f;
int32_t FrameStatsValues[6] = {};

namespace {

// Radians per millisecond of the death and arrival sequences: a quarter turn in 2000 ms.
constexpr double kSequenceAngle = 0.0007853975;
constexpr int kBehind = 2048;
// The arrival view's last 2000 ms close in from 160 units behind to 32.
constexpr int kArrivalCloseIn = 2000;
constexpr int kCrosshairRange = 512;
constexpr int kCrosshairNearest = 96;
// The views' lines turned from the player's pitch: the aim a little up, the chase camera's line
// behind a little up, so that it stands behind and above the player even when he looks level.
constexpr int kCrosshairPitch = -20;
constexpr int kChaseRange = 128;
constexpr int kChasePitch = 30;
constexpr int kOverlayFont = 1;
constexpr int kOverlayColour = 4;
constexpr int kLastShrine = kMaxShrines - 1;
constexpr int kLastEarthnode = kMaxEarthnodes - 1;

FILE* frameStatsFile = nullptr;

struct Point {
    int32_t x = 0, y = 0, z = 0;  // 16.16 world units
};

// The simulation's line from the player's eye (never from the feet), ahead or behind along the
// player's own pitch turned by pitch more (tenths of a degree; positive lowers the line ahead and
// raises the line behind); its ends come back in whole units.
int Trace(int range, int heading, int pitch, Point* point) {
    int x = 0, y = 0, z = 0;
    LocalPlayer& player = *g_localPlayer;
    const int tilt = player.pitch;
    player.pitch = tilt + pitch;
    const int hit = TraceRay(&x, &y, &z, heading, range, 0);
    player.pitch = tilt;
    *point = Point{x * 65536, y * 65536, z * 65536};
    return hit;
}

void PlaceCamera(const Point& p, int facing, int tilt) {
    PlaceFirstPersonCamera(p.x, p.y, p.z, facing, tilt);
    MoveSkyWithViewer(p.x, p.y, p.z);
}

// The point where a line behind the player ended, raised or lowered so that the camera placed
// from it stands at least its near distance clear of the floor and the ceiling where it is (its
// own offset ahead of the point). A line that meets the floor ends on its face, one that runs out
// just above it ends there too, and a camera on the floor has its near plane cut the floor away:
// nothing of it would be drawn. Where the cell leaves no room for that the point stays.
Point ClearOfFloorAndCeiling(Point p, int facing) {
    const SgCamera* camera = Cameras().firstPersonCamera.Get();
    if (!camera)
        return p;
    const int clearance = static_cast<int>(std::ceil(camera->frustum.nearDistance * 100.0f));
    const int ahead = static_cast<int>(std::lround(camera->localTranslation.x * 100.0f));
    int32_t x = 0, y = 0;
    PointAheadFixed(p.x, p.y, facing, 0, ahead, &x, &y);
    const int z = p.z >> 16;
    const int floor = GetFloorHeight(x >> 16, y >> 16, z, 1);
    const int ceiling = GetCeilingHeight(x >> 16, y >> 16, z);
    if (ceiling - floor < 2 * clearance)
        return p;
    if (z < floor + clearance)
        p.z = (floor + clearance) * 65536;
    else if (z > ceiling - clearance)
        p.z = (ceiling - clearance) * 65536;
    return p;
}

void PlaceCameraBehind(const Point& p, int facing, int tilt) { PlaceCamera(ClearOfFloorAndCeiling(p, facing), facing, tilt); }

int OwnFigure(const LocalPlayer& player) {
    const int own = player.own_object;
    if (own <= 0 || own >= kWorldObjectSlots)
        return 0;
    return WorldObjectTable[own].figure;
}

bool AimsAtPlayer(int hit) {
    if (hit <= 0 || hit >= WorldObjectHighWater || hit >= kWorldObjectSlots)
        return false;
    const WorldObject& o = WorldObjectTable[hit];
    return o.active && o.type == OBJ_PLAYER;
}

// The crosshair at the point aimed at; in eye view a point nearer than 96 units puts it at the
// origin, out of sight.
void AimCrosshair(const PlayerView& view, bool nearTest) {
    Point aim;
    const int hit = Trace(kCrosshairRange, 0, kCrosshairPitch, &aim);
    if (nearTest && Distance3D(aim.x, aim.y, aim.z, view.pos_x, view.pos_y, view.z * 65536) < kCrosshairNearest)
        aim = Point{};
    PlaceCrosshair(AimsAtPlayer(hit) ? 1 : 0, aim.x, aim.y, aim.z);
}

void DeathView(LocalPlayer& player, PlayerView& view, int timer, int figure) {
    const int tilt = player.pitch, facing = view.facing;
    player.pitch = 700;
    view.facing = 0;
    int range = 192;
    if (timer > 3000)
        range = static_cast<int>(32 + 160 * std::sin((5000 - timer) * kSequenceAngle));
    Point p;
    Trace(range, kBehind, 0, &p);
    PlaceCameraBehind(p, view.facing, player.pitch);
    player.pitch = tilt;
    view.facing = facing;
    SetFigureFirstPersonVisibility(figure, 0);
}

void ArrivalView(LocalPlayer& player, PlayerView& view, ActionState& state, int figure) {
    const int facing = view.facing;
    view.facing = state.arrival_facing;
    const int timer = state.arrival_timer;
    int range = 160;
    if (timer < kArrivalCloseIn)
        range = static_cast<int>(128 * std::sin(timer * kSequenceAngle) + 32);
    // A wall behind cuts the first, distant part short. Once closing in, a hit must not set the
    // timer back, or a player arriving with his back to a wall would never see through his eyes.
    Point p;
    if (Trace(range, kBehind, 0, &p) && state.arrival_timer > kArrivalCloseIn)
        state.arrival_timer = kArrivalCloseIn;
    PlaceCameraBehind(p, view.facing, player.pitch);
    view.facing = facing;
    ShowFigureWithParts(figure, 1);
}

void EyeView(LocalPlayer& player, PlayerView& view, int figure) {
    AimCrosshair(view, true);
    const Point eye{view.pos_x, view.pos_y, view.z * 65536 + UpdateViewBob(FrameDelta)};
    PlaceCamera(eye, view.facing, player.pitch);
    SetFigureFirstPersonVisibility(figure, 1);
}

void ChaseView(LocalPlayer& player, PlayerView& view, int figure) {
    AimCrosshair(view, false);
    Point p;
    Trace(kChaseRange, kBehind, kChasePitch, &p);
    PlaceCameraBehind(p, view.facing, player.pitch);
    ShowFigureWithParts(figure, 1);
}

void FixedView(int figure) {
    Point aim;
    Trace(kCrosshairRange, 0, 0, &aim);
    PlaceCrosshair(0, aim.x, aim.y, aim.z);
    ShowFigureWithParts(figure, 1);
}

struct FixtureColour {
    int red, green, blue;
    // The light's dimmer as a fraction of the fixture's light value, and its colour.
    int dimmerTimes, dimmerOver;
    int lightRed, lightGreen, lightBlue;
};

// Power 0, then alignments 0 to 3. Earthnodes light alignment 1 without the brighter dimmer.
constexpr FixtureColour kDormant{64, 64, 64, 1, 1, 256, 256, 256};
constexpr FixtureColour kAlignments[4] = {
    {255, 255, 255, 1, 1, 255, 255, 255},
    {255, 0, 0, 3, 2, 255, 48, 48},
    {255, 255, 0, 1, 1, 255, 255, 48},
    {0, 0, 255, 2, 1, 64, 64, 255},
};

// An active record's line, then its fixture when it names one of the table.
GridFixture* NodeFixture(const char* what, int number, int alignment, int active, int fixture) {
    if (!active)
        return nullptr;
    ErrorLogWrite("%s: num=%d align=%d fixture=%d\n", what, number, alignment, fixture);
    return fixture >= 1 && fixture < kGridFixtures ? &GridFixtureTable[fixture] : nullptr;
}

void ColourFixture(const GridFixture& fixture, const FixtureColour& c) {
    SetFigureColor(fixture.figure, c.red, c.green, c.blue);
    const int light = fixture.light;
    if (light == 0)
        return;
    const int dimmer = static_cast<int>(static_cast<int64_t>(light) * c.dimmerTimes / c.dimmerOver);
    SetFigureLight(fixture.figure, dimmer, light, c.lightRed, c.lightGreen, c.lightBlue);
}

// Text cut to the width, drawn at (x, y) in the overlay font.
void OverlayLine(int x, int y, int width, const char* format, ...) __attribute__((format(printf, 4, 5)));
void OverlayLine(int x, int y, int width, const char* format, ...) {
    char text[64];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    FitTextToWidth(text, kOverlayFont, width);
    DrawText(x, y, kOverlayColour, text, 0, g_screen.backBuffer, kOverlayFont, 0);
}

void OverlayBox(int x, int y, int w, int h, int frameW, int frameH) {
    g_screen.FillRect16(x, y, w, h, MakePixel16(0, 0, 0));
    g_screen.DrawRectFrame(x, y, frameW, frameH, MakePixel16(100, 0, 0), 1);
}

}  // namespace

void SgxUpdateFrame() {
    UpdateViewCamera();
    if (g_debugLevel >= 2)
        ShowPerformanceOverlay();
    if (g_debugLevel >= 1)
        ShowStatistics();
    UpdateHudPanels();
    AnimateGridFixtures();
    AdvanceWorldTime(FrameDelta);
}

int ToggleViewMode() {
    ViewMode = ViewMode == 0 ? 1 : 0;
    return ViewMode;
}

void UpdateViewCamera() {
    if (!g_playerView || !g_localPlayer)
        return;
    LocalPlayer& player = *g_localPlayer;
    PlayerView& view = *g_playerView;
    ActionState& state = g_actionState;
    const int figure = OwnFigure(player);
    if (state.death_timer != 0)
        DeathView(player, view, state.death_timer, figure);
    else if (state.arrival_timer != 0)
        ArrivalView(player, view, state, figure);
    else if (ViewMode == 0)
        EyeView(player, view, figure);
    else if (ViewMode == 1)
        ChaseView(player, view, figure);
    else
        FixedView(figure);
}

void AnimateGridFixtures() {
    for (GridFixture& f : GridFixtureTable) {
        if (!f.figure)
            continue;
        const bool visible = CheckLineOfSight(f.figure, f.x, f.y, f.z, 128, 128, 0) != 0;
        f.time += static_cast<float>(f.timerRate * static_cast<double>(FrameDelta) * 0.000001);
        if (visible)
            UpdateFigureAnimation(f.figure, f.time, kAllBones);
        if (f.light != 0) {
            int64_t w = static_cast<int64_t>(f.time * 100.0) % 400;
            if (w > 200)
                w = 400 - w;
            if (visible)
                SetFigureLightRange(f.figure, static_cast<int>(f.light + w * f.light / 400));
        }
        if (visible)
            ShowObjectFigure(f.figure);
    }
}

void AdvanceWorldTime(int frameTime) {
    if (!IsSceneActive())
        return;
    SgAction::StepAll(ActionClock, 0);
    ActionClock += static_cast<float>(frameTime * 0.0001);
}

void SetShrineColor(int shrine, int alignment, int power) {
    if (shrine < 0 || shrine > kLastShrine)
        return;
    const ShrineDef& r = g_level.shrines[shrine];
    GridFixture* f = NodeFixture("SetShrineColor", shrine, alignment, r.found, r.fixture);
    if (!f)
        return;
    f->timerRate = power;
    if (power == 0)
        ColourFixture(*f, kDormant);
    else if (alignment >= 0 && alignment <= 3)
        ColourFixture(*f, kAlignments[alignment]);
}

void SetEarthbloodColor(int earthnode, int alignment, int) {
    if (earthnode < 0 || earthnode > kLastEarthnode)
        return;
    const EarthnodeDef& r = g_level.earthnodes[earthnode];
    GridFixture* f = NodeFixture("SetEarthbloodColor", earthnode, alignment, r.found, r.fixture);
    if (!f || alignment < 0 || alignment > 3)
        return;
    FixtureColour c = kAlignments[alignment];
    if (alignment == 1)
        c.dimmerTimes = c.dimmerOver = 1;
    ColourFixture(*f, c);
}

void WriteFrameStats(int a, int b, int c, int d, int e, int f) {
    if ((a | b | c | d | e | f) == 0) {
        if (frameStatsFile) {
            std::fclose(frameStatsFile);
            frameStatsFile = nullptr;
        } else {
            frameStatsFile = platform::OpenGameFile("frame.txt", "a");
        }
        return;
    }
    const int32_t values[6] = {a, b, c, d, e, f};
    for (int i = 0; i < 6; ++i)
        FrameStatsValues[i] = values[i];
    if (frameStatsFile)
        std::fprintf(frameStatsFile, "%d,%d,%d,%d,%d,%d,%d\n", g_arenaLoop.frameRate, a, b, c, d, e, f);
}

void CancelArmSequence(int slot) {
    if (slot <= 0 || slot >= kWorldObjectSlots)
        return;
    WorldObject& o = WorldObjectTable[slot];
    const int16_t state = static_cast<int16_t>(o.anim_word);
    if (state == -3 || state == -4)
        DetachFigureHeldPart(o.figure);
    o.anim_word = 0;
    o.arm_time = 0.01f;
}

void ShowPerformanceOverlay() {
    if (!g_screen.backBuffer)
        return;
    OverlayBox(4, 4, 64, 128, 64, 128);
    uint32_t triangles = 0, geometry = 0, vertices = 0;
    GetRenderStatistics(&triangles, &geometry, &vertices);
    static const char* const kCycleLines[6] = {"C:%dK", "C2:%dK", "C3:%dK", "C4:%dK", "C5:%dK", "C6:%dK"};
    int y = 5;
    OverlayLine(5, y, 60, "FPS: %d", g_arenaLoop.frameRate);
    OverlayLine(5, y += 10, 60, "Tris: %d", static_cast<int>(triangles));
    OverlayLine(5, y += 10, 60, "Geom: %d", static_cast<int>(geometry));
    OverlayLine(5, y += 10, 60, "Vert: %d", static_cast<int>(vertices));
    for (int i = 0; i < 6; ++i)
        OverlayLine(5, y += 10, 60, kCycleLines[i], FrameStatsValues[i] / 1000);
    OverlayLine(5, y += 10, 60, "O:%dK", WorldObjectHighWater);
    OverlayLine(5, y += 10, 60, "Anim: %d", CountAnimationTimings());
    OverlayLine(5, y += 10, 60, "PAnim: %d", CountPropertyAnimators());
}

void ShowStatistics() {
    if (!g_screen.backBuffer)
        return;
    OverlayBox(69, 4, 64, 32, 63, 31);
    OverlayLine(69, 5, 64, "F %d", g_arenaLoop.frameRate);
    OverlayLine(69, 15, 64, "B %d/%d", LastLinkFigures.streamBytesPerSecond, LastLinkFigures.datagramBytesPerSecond);
    OverlayLine(69, 25, 64, "L %d  %d%%", static_cast<int>(Ping.pingTime / 10), LastLinkFigures.lossPercent);
}

int CountAnimationTimings() { return static_cast<int>(SgAnimationTiming::LiveCount()); }

int CountPropertyAnimators() {
    const SgPtrList<Sg3dsPropertyAnimator>* list = Sg3dsPropertyAnimator::List();
    return list ? static_cast<int>(list->Count()) : 0;
}

}  // namespace present
