#include "client/arena/thin.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "client/arena/grid_queries.h"
#include "client/arena/local_player.h"
#include "client/core/game_values.h"
#include "client/core/level_defs.h"
#include "client/level/level_textures.h"
#include "client/present/present_services.h"
#include "client/screens/chat_buffer.h"
#include "common/random.h"

Thin ThinTable[kThinSlots];
int32_t ThinCount = 1;

namespace {

bool ValidSlot(int slot) {
    return slot > 0 && slot < kThinSlots;
}

bool OnGrid(int v) {
    return v >= 0 && v < kWorldLimit;
}

int ThinLength(const Thin& t) {
    if (t.length > 0)
        return t.length;
    double dx = static_cast<double>(t.x2) - t.x1, dy = static_cast<double>(t.y2) - t.y1;
    return static_cast<int>(std::sqrt(dx * dx + dy * dy));
}

// The leader of a door's group decides which members face the other way.
bool FacesAway(const Thin& t) {
    int leader = FindThinSlot(t.group[0]);
    if (leader <= 0 || leader == &t - ThinTable)
        return false;
    return ThinTable[leader].swing_step < 0;
}

void BuildAppearance(Thin& t) {
    if (t.effect_number) {
        t.effect_figure = static_cast<uint16_t>(CreateFigureForObject(t.effect_number, nullptr, 0.01f));
        if (t.effect_figure) {
            PlaceObjectFigure(t.effect_figure, t.effect_x, t.effect_y, t.base_z << 16, t.effect_facing, 0, 1, 1, 0);
            ShowObjectFigure(t.effect_figure);
        }
        return;
    }
    if (t.texture == 0)
        return;
    bool reversed = t.group[0] != 0 && FacesAway(t);
    int ax = reversed ? t.x2 : t.x1, ay = reversed ? t.y2 : t.y1;
    int bx = reversed ? t.x1 : t.x2, by = reversed ? t.y1 : t.y2;
    t.model = static_cast<uint16_t>(
        PlaceThinWalls(ax, ay, t.base_z, bx, by, t.base_z + t.height, t.texture, t.transparent, t.group[0] == 0));
}

void RemoveAppearance(Thin& t) {
    if (t.model) {
        RemoveThinModel(t.model);
        t.model = 0;
    }
    if (t.effect_figure) {
        RemoveObjectFigure(t.effect_figure);
        t.effect_figure = 0;
    }
}

}  // namespace

void SetThinGeometry(Thin& t) {
    t.min_x = std::min(t.x1, t.x2);
    t.max_x = std::max(t.x1, t.x2);
    t.min_y = std::min(t.y1, t.y2);
    t.max_y = std::max(t.y1, t.y2);
    double dx = static_cast<double>(t.x2) - t.x1, dy = static_cast<double>(t.y2) - t.y1;
    double len = std::sqrt(dx * dx + dy * dy);
    if (len <= 0) {
        t.dir_x = t.dir_y = t.normal_x = t.normal_y = 0;
        return;
    }
    t.dir_x = static_cast<int32_t>(dx * 65536.0 / len);
    t.dir_y = static_cast<int32_t>(dy * 65536.0 / len);
    t.normal_x = -t.dir_y;
    t.normal_y = t.dir_x;
}

int AllocThinSlot(int kind) {
    for (int slot = 1; slot < kThinSlots; ++slot) {
        if (ThinTable[slot].active == 1)
            continue;
        std::memset(&ThinTable[slot], 0, sizeof(Thin));
        ThinTable[slot].kind = kind;
        return slot;
    }
    return 0;
}

int PlaceThin(int slot) {
    if (!ValidSlot(slot))
        return 0;
    Thin& t = ThinTable[slot];
    if (!OnGrid(t.x1) || !OnGrid(t.y1) || !OnGrid(t.x2) || !OnGrid(t.y2) || (t.x1 == t.x2 && t.y1 == t.y2)) {
        t.active = 0;
        return 0;
    }
    if (ThinCount <= slot)
        ThinCount = slot + 1;
    t.texture = TranslateTexture(t.texture);
    t.active = 1;
    t.placed_word = 0;
    SetThinGeometry(t);
    BuildAppearance(t);
    return 1;
}

void DestroyThin(int slot) {
    if (!ValidSlot(slot))
        return;
    Thin& t = ThinTable[slot];
    t.active = 0;
    for (int s = kThinSlots - 1; s > 0; --s) {
        if (ThinTable[s].active == 1) {
            ThinCount = s + 1;
            break;
        }
    }
    RemoveAppearance(t);
}

void ComputeThinBounds() {
    for (int s = 1; s < ThinCount; ++s)
        if (ThinTable[s].active == 1)
            SetThinGeometry(ThinTable[s]);
}

void UpdateThins(int frame) {
    for (int s = 1; s < ThinCount; ++s) {
        Thin& t = ThinTable[s];
        if (t.active != 1)
            continue;
        if (t.fade) {
            t.fade -= frame / 100;
            if (t.fade < 10) {
                t.fade = 0;
                t.color = t.base_color;
            }
        }
        if (t.life_timer) {
            t.life_timer -= frame / 10;
            if (t.life_timer <= 0) {
                DestroyThin(s);
                continue;
            }
        }
        if (t.target_height > t.height) {
            const int64_t grown = t.height + static_cast<int64_t>(frame) * t.target_height / 10000;
            t.height = static_cast<int32_t>(std::clamp<int64_t>(grown, INT32_MIN, t.target_height));
            if (t.height >= t.target_height) {
                t.height = t.target_height;
                t.target_height = 0;
            }
            if (t.model)
                SetThinModelCorners(t.model, t.x1, t.y1, t.base_z, t.x2, t.y2, t.base_z + t.height);
        }
        if (t.effect_figure) {
            t.effect_time += static_cast<float>(frame) / 10000.0f;
            if (CheckLineOfSight(t.effect_figure, t.effect_x >> 16, t.effect_y >> 16, t.base_z, 128, 128, 0) == 2) {
                UpdateFigureAnimation(t.effect_figure, t.effect_time, static_cast<uint32_t>(-1));
                ShowObjectFigure(t.effect_figure);
            } else {
                SetFigureFirstPersonVisibility(t.effect_figure, 0);
            }
        }
    }
}

int IntersectThin(int32_t z, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int slot, int radius) {
    if (!ValidSlot(slot))
        return 0;
    const Thin& t = ThinTable[slot];
    int zi = z >> 16;
    if (zi < t.base_z - radius || zi > t.base_z + t.height + radius)
        return 0;
    const int64_t ox = static_cast<int64_t>(t.x1) << 16, oy = static_cast<int64_t>(t.y1) << 16;
    auto along = [&](int32_t px, int32_t py) { return ((px - ox) * t.dir_x + (py - oy) * t.dir_y) >> 16; };
    auto across = [&](int32_t px, int32_t py) { return ((px - ox) * t.normal_x + (py - oy) * t.normal_y) >> 16; };
    const int64_t lo = -(static_cast<int64_t>(radius) << 16);
    const int64_t hi = static_cast<int64_t>(ThinLength(t) + radius) << 16;
    int64_t a0 = along(x0, y0), a1 = along(x1, y1);
    if (!(a0 >= lo && a0 <= hi) && !(a1 >= lo && a1 <= hi))
        return 0;
    int64_t c0 = across(x0, y0), c1 = across(x1, y1);
    return (c0 <= 0 && c1 >= 0) || (c0 >= 0 && c1 <= 0);
}

void DamageThin(int slot, int damage) {
    if (!ValidSlot(slot))
        return;
    PrintDebug("Thin Damage: Thin=%d Dam=%d", slot, damage);
    auto harm = [damage](int s) {
        Thin& t = ThinTable[s];
        if (t.hit_points == 0)
            return;
        t.hit_points -= damage;
        if (t.hit_points <= 0)
            DestroyThin(s);
    };
    int group[4];
    std::memcpy(group, ThinTable[slot].group, sizeof group);
    for (int id : group) {
        int member = id ? FindThinSlot(id) : -1;
        if (member > 0 && member != slot && ThinTable[member].active == 1) {
            PrintDebug("Thin Group Damage: Thin=%d Dam=%d", member, damage);
            harm(member);
        }
    }
    if (ThinTable[slot].active == 1)
        harm(slot);
}

int CountOwnWalls() {
    int limit = std::max(GetGameValue(0) / 10 * 4 + 4, 4);
    int own = GetGameValue(118);
    int count = 0;
    for (int s = 1; s < ThinCount; ++s)
        if (ThinTable[s].active == 1 && ThinTable[s].owner == own)
            ++count;
    return count >= limit;
}

int FindThinSlot(int id) {
    for (int s = 0; s < ThinCount && s < kThinSlots; ++s)
        if (ThinTable[s].active && ThinTable[s].id == id)
            return s;
    return -1;
}

int NewThinId() {
    for (int tries = 0; tries < 20; ++tries) {
        int id = GameRand() % 3072 + 1024;
        if (FindThinSlot(id) < 0)
            return id;
    }
    return 0;
}

void ClearThins() {
    for (int s = 0; s < kThinSlots; ++s)
        if (ThinTable[s].active == 1)
            RemoveAppearance(ThinTable[s]);
    std::memset(ThinTable, 0, sizeof ThinTable);
    ThinCount = 1;
}
