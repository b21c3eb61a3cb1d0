#include "client/present/screen_polys.h"

#include <algorithm>
#include <cmath>

#include "client/arena/grid_queries.h"
#include "client/arena/local_player.h"
#include "client/arena/player_status.h"
#include "client/arena/player_view.h"
#include "client/core/game_values.h"
#include "client/core/level_defs.h"
#include "client/present/camera_set.h"
#include "engine/core/sg_registry.h"
#include "engine/core/sg_stream.h"

constinit SgTypeRecord SgScreenPolyExtraData::typeRecord{"SgScreenPolyExtraData", &SgExtraData::typeRecord};

int SgScreenPolyExtraData::Register() {
    return SgClassRegistry::RegisterExtra(typeRecord, SgCreateExtra<SgScreenPolyExtraData>);
}

const SgTypeRecord* SgScreenPolyExtraData::GetTypeRecord() const { return &typeRecord; }

bool SgScreenPolyExtraData::LoadFromStream(SgSceneStream& stream) {
    if (!SgExtraData::LoadFromStream(stream))
        return false;
    rect.left = static_cast<int32_t>(stream.ReadU32());
    rect.top = static_cast<int32_t>(stream.ReadU32());
    rect.right = static_cast<int32_t>(stream.ReadU32());
    rect.bottom = static_cast<int32_t>(stream.ReadU32());
    return stream.ReadOk();
}

void SgScreenPolyExtraData::SaveToStream(SgSceneStream& stream) const {
    SgExtraData::SaveToStream(stream);
    stream.WriteU32(static_cast<uint32_t>(rect.left));
    stream.WriteU32(static_cast<uint32_t>(rect.top));
    stream.WriteU32(static_cast<uint32_t>(rect.right));
    stream.WriteU32(static_cast<uint32_t>(rect.bottom));
}

namespace present {

namespace {

constexpr float kColumn = 0.25f;

float Clamp01(float f) { return f > 0.0f ? (f < 1.0f ? f : 1.0f) : 0.0f; }  // NaN gives 0

// A team's column in the four-column bitmaps; anything but 0..3 is neutral's.
float TeamColumn(int team) { return team >= 0 && team <= 3 ? static_cast<float>(team) * kColumn : 0.0f; }

struct Edges {
    float left, top, right, bottom;
};

Edges UnitEdges(const HudRect& r) { return Edges{UnitX(r.left), UnitY(r.top), UnitX(r.right), UnitY(r.bottom)}; }

SgRef<SgTextureProperty> LoadHudTexture(const char* bitmap) {
    SgRef<SgTextureProperty> texture(new SgTextureProperty(bitmap));
    texture->currentIndex = 0;
    if (SgRef<SgImage> image = texture->CurrentImage())
        PrecacheHudImage(image.Get());
    return texture;
}

// Builds count polygons over the rectangle with their texture windows, all sharing the texture
// (when any), the HUD properties, and the rectangle on the first.
void BuildElement(SgRef<SgScreenPolygon>* slots, size_t count, const HudRect& rect, const SgVec3 (*uv)[4],
                  SgTextureProperty* texture) {
    for (size_t i = 0; i < count; ++i)
        ReplaceHudPolygon(slots[i], MakeHudQuad(rect, uv[i]));
    for (size_t i = 0; i < count; ++i) {
        if (texture)
            slots[i]->AddProperty(texture);
        SetScreenPolyProperties(slots[i].Get());
    }
    slots[0]->SetExtraHead(new SgScreenPolyExtraData(rect));
}

template <size_t N>
void BuildElement(SgRef<SgScreenPolygon> (&slots)[N], const HudRect& rect, const SgVec3 (&uv)[N][4],
                  SgTextureProperty* texture) {
    BuildElement(slots, N, rect, uv, texture);
}

template <size_t N>
void DropElement(SgRef<SgScreenPolygon> (&slots)[N]) {
    for (SgRef<SgScreenPolygon>& slot : slots)
        DropHudPolygon(slot);
}

// The window (u0, v0)-(u1, v1) as the four corners' texture coordinates.
void Window(SgVec3 (&uv)[4], float u0, float v0, float u1, float v1) {
    uv[0] = SgVec3(u0, v0, 0);
    uv[1] = SgVec3(u0, v1, 0);
    uv[2] = SgVec3(u1, v1, 0);
    uv[3] = SgVec3(u1, v0, 0);
}

float Fraction(int value, int maximum) {
    return maximum > 0 ? Clamp01(static_cast<float>(value) / static_cast<float>(maximum)) : 0.0f;
}

// The node under the player: its owner's column and how full it is; none off the grid, above
// the floor's reach or on the upper storey.
void NodeUnderPlayer(float& u, float& f) {
    u = 0.0f;
    f = 0.0f;
    if (!g_playerView || !g_localPlayer)
        return;
    const int x = g_playerView->pos_x >> 16, y = g_playerView->pos_y >> 16;
    if (x < 0 || x >= kWorldLimit || y < 0 || y >= kWorldLimit)
        return;
    const int feet = g_playerView->z - g_localPlayer->eye_height;
    if (feet >= GetFloorHeight(x, y, -1000, 0) + 40 || feet >= GetStoreySplit(x, y))
        return;
    const int code = g_level.cellIndex[CellIndex(x / 64, y / 64)];
    if (code >= 20 && code <= 49) {
        const EarthnodeDef& e = g_level.earthnodes[code - 20];
        if (e.found) {
            u = TeamColumn(e.owner);
            f = Clamp01(static_cast<float>(e.bias) * 0.01f);
        }
    } else if (code >= 50 && code <= 69) {
        const ShrineDef& s = g_level.shrines[code - 50];
        if (s.found) {
            u = TeamColumn(s.alignment);
            f = Clamp01(static_cast<float>(s.bias) * 0.01f);
        }
    }
}

// The power of the team's nexus among the first three records; 0 when none is the team's.
float NexusFraction(int team) {
    for (int r = 0; r < 3; ++r) {
        const ShrineDef& s = g_level.shrines[r];
        if (s.found && s.alignment == team)
            return Clamp01(static_cast<float>(s.bias) * 0.01f);
    }
    return 0.0f;
}

}  // namespace

ScreenPolyTextures& HudTextures() {
    // Never destroyed: engine objects must not be released during static destruction.
    static ScreenPolyTextures* textures = new ScreenPolyTextures;
    return *textures;
}

const HudRect* ScreenPolyRect(const SgScreenPolygon* polygon) {
    SgExtraData* head = polygon ? polygon->ExtraHead() : nullptr;
    return head && head->IsExactly(&SgScreenPolyExtraData::typeRecord) ? &static_cast<SgScreenPolyExtraData*>(head)->rect
                                                                       : nullptr;
}

void SetScreenPolyProperties(SgScreenPolygon* polygon) { LinkHudProperties(polygon, 1); }

// ---- Status bars ----

int CreateStatusBar(int bar, const HudRect& rect, const char* bitmap) {
    if (bar < 0 || bar >= kStatusBars)
        return -1;
    SgVec3 uv[2][4];
    Window(uv[0], 0, 0, 1, 0.5f);
    Window(uv[1], 0, 0.5f, 1, 1);
    HudTextures().bars[bar] = LoadHudTexture(bitmap);
    BuildElement(Hud().statusBar[bar], rect, uv, HudTextures().bars[bar].Get());
    return bar;
}

void SetStatusBar(int bar, float fraction) {
    if (bar < 0 || bar >= kStatusBars)
        return;
    SgScreenPolygon* fill = Hud().statusBar[bar][0].Get();
    SgScreenPolygon* rest = Hud().statusBar[bar][1].Get();
    const HudRect* rect = ScreenPolyRect(fill);
    if (!rest || !rect)
        return;
    const float f = Clamp01(fraction);
    const Edges e = UnitEdges(*rect);
    if (bar < 2) {
        // Health and fatigue grow leftwards from the right edge, towards the screen's middle.
        const float s = e.right - (e.right - e.left) * f;
        SetQuadEdges(fill, s, e.top, e.right, e.bottom);
        SetQuadWindow(fill, 1 - f, 0, 1, 0.5f);
        SetQuadEdges(rest, e.left, e.top, s, e.bottom);
        SetQuadWindow(rest, 0, 0.5f, 1 - f, 1);
    } else {
        const float s = e.left + (e.right - e.left) * f;
        SetQuadEdges(fill, e.left, e.top, s, e.bottom);
        SetQuadWindow(fill, 0, 0, f, 0.5f);
        SetQuadEdges(rest, s, e.top, e.right, e.bottom);
        SetQuadWindow(rest, f, 0.5f, 1, 1);
    }
}

void DestroyStatusBar(int bar) {
    if (bar < 0 || bar >= kStatusBars)
        return;
    DropElement(Hud().statusBar[bar]);
    HudTextures().bars[bar] = SgRef<SgTextureProperty>();
}

// ---- Nexus indicators ----

void CreateNexusIndicator(int indicator, const HudRect& rect, const char* bitmap) {
    if (indicator < 0 || indicator >= kNexusIndicators)
        return;
    SgVec3 uv[2][4];
    Window(uv[0], 0, 0, kColumn, 0.5f);
    Window(uv[1], 0, 0, kColumn, 0.5f);
    HudTextures().nexus[indicator] = LoadHudTexture(bitmap);
    BuildElement(Hud().nexus[indicator], rect, uv, HudTextures().nexus[indicator].Get());
}

void SetNexusIndicator(int indicator, int team, float fraction) {
    if (indicator < 0 || indicator >= kNexusIndicators)
        return;
    SgScreenPolygon* fill = Hud().nexus[indicator][0].Get();
    SgScreenPolygon* rest = Hud().nexus[indicator][1].Get();
    const HudRect* rect = ScreenPolyRect(fill);
    if (!rest || !rect)
        return;
    const float f = Clamp01(fraction);
    const Edges e = UnitEdges(*rect);
    const float s = e.bottom + (e.top - e.bottom) * f;
    const float u = TeamColumn(team);
    SetQuadEdges(fill, e.left, s, e.right, e.bottom);
    if (f == 1.0f)
        SetQuadWindow(fill, u, 0.5f, u + kColumn, 1);
    else
        SetQuadWindow(fill, u, 0.5f - f / 2, u + kColumn, 0.5f);
    SetQuadEdges(rest, e.left, e.top, e.right, s);
    if (f == 0.0f)
        SetQuadWindow(rest, 0, 0.5f, kColumn, 1);
    else
        SetQuadWindow(rest, 0, 0, kColumn, 0.5f - f / 2);
}

void DestroyNexusIndicator(int indicator) {
    if (indicator < 0 || indicator >= kNexusIndicators)
        return;
    DropElement(Hud().nexus[indicator]);
    HudTextures().nexus[indicator] = SgRef<SgTextureProperty>();
}

// ---- Team indicator ----

void CreateTeamIndicator(const HudRect& rect, int team, const char* bitmap) {
    SgVec3 uv[1][4];
    const float u = TeamColumn(team);
    Window(uv[0], u, 0, u + kColumn, 1);
    HudTextures().team = LoadHudTexture(bitmap);
    BuildElement(&Hud().team, 1, rect, uv, HudTextures().team.Get());
}

void DestroyTeamIndicator() {
    DropHudPolygon(Hud().team);
    HudTextures().team = SgRef<SgTextureProperty>();
}

// ---- Earth and node indicators ----

void CreateEarthIndicator(const HudRect& rect, const char* bitmap) {
    SgVec3 uv[4][4];
    for (auto& window : uv)
        Window(window, 0, 0, 1, 1);
    HudTextures().earth = LoadHudTexture(bitmap);
    BuildElement(Hud().earth, rect, uv, HudTextures().earth.Get());
}

void SetEarthIndicator(float neutral, float team1, float team2, float team3) {
    const HudRect* rect = ScreenPolyRect(Hud().earth[0].Get());
    if (!rect || !Hud().earth[1] || !Hud().earth[2] || !Hud().earth[3])
        return;
    const Edges e = UnitEdges(*rect);
    const float n = Clamp01(neutral);
    const float a = std::max(team1, 0.0f), b = std::max(team2, 0.0f), c = std::max(team3, 0.0f);
    const float s = e.top - (e.top - e.bottom) * n;
    SetQuadEdges(Hud().earth[0].Get(), e.left, e.top, e.right, s);
    SetQuadWindow(Hud().earth[0].Get(), 0, 0, kColumn, n);
    // The teams split the width by their shares of what they hold together; with nothing held
    // all three are empty.
    const float sum = a + b + c;
    float ra = 0, rab = 0, rabc = 0;
    if (sum > 0) {
        ra = a / sum;
        rab = (a + b) / sum;
        rabc = 1;
    }
    const float width = e.right - e.left;
    const float x[4] = {e.left, e.left + width * ra, e.left + width * rab, e.left + width * rabc};
    const float u0[3] = {kColumn, 2 * kColumn + kColumn * ra, 3 * kColumn + kColumn * rab};
    const float u1[3] = {kColumn + kColumn * ra, 2 * kColumn + kColumn * rab, 3 * kColumn + kColumn * rabc};
    for (int k = 0; k < 3; ++k) {
        SgScreenPolygon* polygon = Hud().earth[k + 1].Get();
        SetQuadEdges(polygon, x[k], s, x[k + 1], e.bottom);
        SetQuadWindow(polygon, u0[k], n, u1[k], 1);
    }
}

void DestroyEarthIndicator() {
    DropElement(Hud().earth);
    HudTextures().earth = SgRef<SgTextureProperty>();
}

void CreateNodeIndicator(const HudRect& rect, const char* bitmap) {
    SgVec3 uv[2][4];
    Window(uv[0], 0, 0, kColumn, 1);
    Window(uv[1], 0, 0, kColumn, 1);
    // The earth indicator's texture when it exists.
    if (!HudTextures().earth)
        HudTextures().earth = LoadHudTexture(bitmap);
    BuildElement(Hud().node, rect, uv, HudTextures().earth.Get());
}

void SetNodeIndicator(float u, float fraction) {
    SgScreenPolygon* upper = Hud().node[0].Get();
    SgScreenPolygon* lower = Hud().node[1].Get();
    const HudRect* rect = ScreenPolyRect(upper);
    if (!lower || !rect)
        return;
    const float f = Clamp01(fraction);
    const Edges e = UnitEdges(*rect);
    const float s = e.bottom + (e.top - e.bottom) * f;
    SetQuadEdges(upper, e.left, e.top, e.right, s);
    SetQuadWindow(upper, 0, 0, kColumn, 1 - f);
    SetQuadEdges(lower, e.left, s, e.right, e.bottom);
    SetQuadWindow(lower, u, 1 - f, u + kColumn, 1);
}

void DestroyNodeIndicator() { DropElement(Hud().node); }

// ---- Icons and items ----

int CreateHudIcon(int atlas, const char* bitmap) {
    if (atlas < 0 || atlas >= kIconAtlases)
        return 0;
    HudTextures().icons[atlas] = LoadHudTexture(bitmap);
    return 1;
}

void DestroyHudIcon(int atlas) {
    if (atlas >= 0 && atlas < kIconAtlases)
        HudTextures().icons[atlas] = SgRef<SgTextureProperty>();
}

int CreateHudItem(int item, const HudRect& rect) {
    if (item < 0 || item >= kHudItems)
        return -1;
    SgVec3 uv[1][4];
    Window(uv[0], 0, 0, 1, 1);
    BuildElement(&Hud().items[item], 1, rect, uv, nullptr);
    return item;
}

void SetHudItemIcon(int item, int icon) {
    if (item < 0 || item >= kHudItems || !Hud().items[item])
        return;
    SgScreenPolygon* polygon = Hud().items[item].Get();
    if (icon <= 0 || icon > kHighestIcon) {
        SetQuadEdges(polygon, 0, 0, 0, 0);
        return;
    }
    const HudRect* rect = ScreenPolyRect(polygon);
    if (!rect)
        return;
    const Edges e = UnitEdges(*rect);
    SetQuadEdges(polygon, e.left, e.top, e.right, e.bottom);
    SgProperty* current = nullptr;
    for (SgProperty* property : polygon->properties)
        if (property->PropertyType() == SG_TEXTURE_PROPERTY) {
            current = property;
            break;
        }
    if (current)
        polygon->properties.Remove(current);
    if (SgTextureProperty* atlas = HudTextures().icons[(icon - 1) / 16].Get())
        polygon->AddProperty(atlas);
    const int cell = (icon - 1) % 16;
    const float u = static_cast<float>(cell % 4) * kColumn, v = static_cast<float>(cell / 4) * kColumn;
    SetQuadWindow(polygon, u, v, u + kColumn, v + kColumn);
}

void DestroyHudItem(int item) {
    if (item >= 0 && item < kHudItems)
        DropHudPolygon(Hud().items[item]);
}

// ---- The whole set ----

void CreateScreenPolys() {
    CreateEarthIndicator(HudRect{134, 2, 174, 42}, "earth.bmp");
    CreateNexusIndicator(0, HudRect{338, 2, 378, 42}, "nexus1.bmp");
    CreateNexusIndicator(1, HudRect{380, 2, 420, 42}, "nexus2.bmp");
    CreateNexusIndicator(2, HudRect{422, 2, 462, 42}, "nexus3.bmp");
    CreateTeamIndicator(HudRect{4, 564, 36, 596}, GetGameValue(4), "team.bmp");
    CreateStatusBar(0, HudRect{176, 11, 336, 19}, "health.bmp");
    CreateStatusBar(1, HudRect{176, 21, 336, 29}, "fatigue.bmp");
    CreateStatusBar(2, HudRect{464, 11, 624, 19}, "power.bmp");
    CreateStatusBar(3, HudRect{464, 21, 624, 29}, "ley.bmp");
    CreateNodeIndicator(HudRect{626, 2, 666, 42}, "earth.bmp");
    static const char* const kAtlases[4] = {"icon0.bmp", "icon1.bmp", "icon2.bmp", "icon3.bmp"};
    for (int atlas = 0; atlas < 4; ++atlas)
        CreateHudIcon(atlas, kAtlases[atlas]);
    for (int item = 0; item < kHudItems; ++item) {
        const int x = item < 4 ? 4 : 48, k = item % 4;
        CreateHudItem(item, HudRect{x, 44 + 44 * k, x + 40, 84 + 44 * k});
        SetHudItemIcon(item, -1);
    }
}

void DestroyScreenPolys() {
    for (int bar = 0; bar < kStatusBars; ++bar)
        DestroyStatusBar(bar);
    for (int indicator = 0; indicator < kNexusIndicators; ++indicator)
        DestroyNexusIndicator(indicator);
    DestroyTeamIndicator();
    DestroyEarthIndicator();
    DestroyNodeIndicator();
    for (int item = 0; item < kHudItems; ++item)
        DestroyHudItem(item);
    for (int atlas = 0; atlas < kIconAtlases; ++atlas)
        DestroyHudIcon(atlas);
}

void UpdateScreenPolys() {
    SetStatusBar(0, Fraction(GetGameValue(107), GetMaxHitPoints()));
    SetStatusBar(1, Fraction(GetGameValue(111), GetGameValue(112)));
    SetStatusBar(2, Fraction(GetGameValue(109), GetMaxPower()));
    SetStatusBar(3, g_localPlayer ? Fraction(std::min(SelectHudGauge(*g_localPlayer), 50), 50) : 0.0f);
    const int p1 = ComputeNexusPower(1), p2 = ComputeNexusPower(2), p3 = ComputeNexusPower(3);
    SetEarthIndicator(static_cast<float>(100 - p1 - p2 - p3) * 0.01f, static_cast<float>(p1) * 0.01f,
                      static_cast<float>(p2) * 0.01f, static_cast<float>(p3) * 0.01f);
    float u = 0, f = 0;
    NodeUnderPlayer(u, f);
    SetNodeIndicator(u, f);
    for (int i = 0; i < kNexusIndicators; ++i)
        SetNexusIndicator(i, i + 1, NexusFraction(i + 1));
}

}  // namespace present

extern "C" void SgRegisterPresentClasses() { SgScreenPolyExtraData::Register(); }

namespace {

const bool g_registered = (SgRegisterPresentClasses(), true);

}  // namespace
