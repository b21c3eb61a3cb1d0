#pragma once
// The HUD's textured elements that do not come from the back buffer: four status bars, three
// nexus indicators, the team, earth and node indicators, four icon atlases and eight effect
// items. Every one is a set of screen polygons over one rectangle (kept on the first polygon as
// an SgScreenPolyExtraData) that the update operations reshape every frame.
//
// Bitmaps with team colours are four equal columns (neutral, teams 1, 2, 3); a status bar's
// upper half is its filled look and its lower half its empty look; an icon atlas is 4 x 4 cells.

#include <cstdint>

#include "client/present/hud_panels.h"
#include "engine/core/sg_extra_data.h"
#include "engine/core/sg_texture_property.h"

// The pixel rectangle of a HUD element.
class SgScreenPolyExtraData : public SgExtraData {
public:
    static SgTypeRecord typeRecord;
    static int Register();

    SgScreenPolyExtraData() = default;
    explicit SgScreenPolyExtraData(const present::HudRect& r) : rect(r) {}
    const SgTypeRecord* GetTypeRecord() const override;
    // After the base record: left, top, right, bottom, 32 bits each.
    bool LoadFromStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;

    present::HudRect rect;
};

// The game's own engine classes (the library's registration list).
extern "C" void SgRegisterPresentClasses();

namespace present {

constexpr int kStatusBars = HudSlots::kStatusBars;  // health, fatigue, power, ley
constexpr int kNexusIndicators = HudSlots::kNexusIndicators;
constexpr int kIconAtlases = 8;  // 0..3 filled
constexpr int kHudItems = HudSlots::kItems;
constexpr int kHighestIcon = 64;

struct ScreenPolyTextures {
    SgRef<SgTextureProperty> bars[kStatusBars];
    SgRef<SgTextureProperty> nexus[kNexusIndicators];
    SgRef<SgTextureProperty> team;
    // Shared by the earth and node indicators.
    SgRef<SgTextureProperty> earth;
    SgRef<SgTextureProperty> icons[kIconAtlases];
};

ScreenPolyTextures& HudTextures();

// The rectangle kept on the polygon, or null.
const HudRect* ScreenPolyRect(const SgScreenPolygon* polygon);

// Texture mode (3, 1, 3), z-buffer off, vertex colours mode 1, blending (0, 3).
void SetScreenPolyProperties(SgScreenPolygon* polygon);

int CreateStatusBar(int bar, const HudRect& rect, const char* bitmap);
// Health and fatigue fill from the right, power and ley from the left; f is held to 0..1.
void SetStatusBar(int bar, float fraction);
void DestroyStatusBar(int bar);

void CreateNexusIndicator(int indicator, const HudRect& rect, const char* bitmap);
// Fills from the bottom in the team's column; full and empty show the lower half's looks.
void SetNexusIndicator(int indicator, int team, float fraction);
void DestroyNexusIndicator(int indicator);

void CreateTeamIndicator(const HudRect& rect, int team, const char* bitmap);
void DestroyTeamIndicator();

void CreateEarthIndicator(const HudRect& rect, const char* bitmap);
// Neutral's share from the top, the teams' shares side by side below it.
void SetEarthIndicator(float neutral, float team1, float team2, float team3);
void DestroyEarthIndicator();

void CreateNodeIndicator(const HudRect& rect, const char* bitmap);
// u: the owner's column (0, 0.25, 0.5, 0.75); fraction of the column shown from the bottom.
void SetNodeIndicator(float u, float fraction);
void DestroyNodeIndicator();

int CreateHudIcon(int atlas, const char* bitmap);
void DestroyHudIcon(int atlas);

int CreateHudItem(int item, const HudRect& rect);
// Icon 1..64 shows cell (icon - 1) % 16 of atlas (icon - 1) / 16; anything else hides the item.
void SetHudItemIcon(int item, int icon);
void DestroyHudItem(int item);

// The elements in the HUD's order: earth, nexus 0..2, team, bars 0..3, node, icon atlases 0..3,
// items 0..7 (hidden).
void CreateScreenPolys();
// Every element of this file destroyed: bars, nexus indicators, team, earth, node, items, icons.
void DestroyScreenPolys();

// Once a frame from the HUD update: the bars, the earth, node and nexus indicators from the
// local player and the level's records.
void UpdateScreenPolys();

}  // namespace present
