#include "client/arena/trigger.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>

#include "client/arena/ambient_sound.h"
#include "client/arena/grid_queries.h"
#include "client/arena/local_player.h"
#include "client/arena/monster_think.h"
#include "client/arena/player_view.h"
#include "client/arena/thin.h"
#include "client/arena/world_object.h"
#include "client/core/config_file.h"
#include "client/core/error_log.h"
#include "client/core/game_values.h"
#include "client/core/level_defs.h"
#include "client/core/sound.h"
#include "client/core/trig_tables.h"
#include "client/net/net_players.h"
#include "client/present/present_services.h"
#include "client/screens/chat_buffer.h"
#include "client/screens/notice_lines.h"
#include "common/random.h"

std::unique_ptr<Trigger> TriggerTable[kTriggerSlots];

namespace {

bool ValidNumber(int n) {
    return n >= 1 && n < kTriggerSlots;
}

int ReadInt(FILE* stream, const char* section, const char* key, int defaultValue = 0) {
    int v = defaultValue;
    ReadConfigInt(stream, section, key, &v, defaultValue);
    return v;
}

int Degrees4096(int degrees) {
    return Clamp32(static_cast<int64_t>(degrees) * 4096 / 360);
}

// A door's stop: the key's angle turned half round, within a turn.
int DoorAngle(int degrees) {
    return static_cast<int>((static_cast<int64_t>(Degrees4096(degrees)) + 2048) & kAngleMask);
}

int ClampWorld(int v) {
    return v < 0 ? 0 : v >= kWorldLimit ? kWorldLimit - 1 : v;
}

int ClampCell(int v) {
    return v < 0 ? 0 : v > kGridSide - 1 ? kGridSide - 1 : v;
}

// A trigger's switch without its texts or the enabled test; a moving one keeps its state.
void SwitchTo(Trigger& t, int on) {
    if (t.moving)
        return;
    if (!t.state && on)
        t.On();
    else if (t.state && !on)
        t.Off();
}

bool IsMover(const Trigger& t) {
    return t.type == TRIGGER_DOOR || t.type == TRIGGER_ELEVATOR;
}

void ShowText(int show, const char* text) {
    if (show && text[0])
        PushNoticeLine(text);
}

// An elevator's heights end in the 16-bit height planes: trigger.dat's values are held to them.
int PlaneHeight(int64_t h) {
    return static_cast<int>(std::clamp<int64_t>(h, INT16_MIN, INT16_MAX));
}

// The middle of an elevator's cell rectangle, in world units.
int MiddleOf(int from, int to) {
    return Clamp32((static_cast<int64_t>(from) + to) * 64 / 2);
}

void UpdateElevator(ElevatorTrigger& e, int frame) {
    const int on = PlaneHeight(e.on_height), off = PlaneHeight(e.off_height);
    const int64_t step = static_cast<int64_t>(e.speed) * frame / 10000;
    int target = e.current;
    if (e.units > 0) {
        target = PlaneHeight(e.current + step);
        if (target > on) {
            target = on;
            e.units = 0;
            e.moving = 0;
            PrintDebug("Elevator Stopped On: Trigger=%d Height=%d", e.number, target);
        } else {
            e.units = on - target;
        }
    } else if (e.units < 0) {
        target = PlaneHeight(e.current - step);
        if (target < off) {
            target = off;
            e.units = 0;
            e.moving = 0;
            PrintDebug("Elevator Stopped Off: Trigger=%d Height=%d", e.number, target);
        } else {
            e.units = off - target;
        }
    }
    if (e.units == 0)
        e.moving = 0;
    if (target != e.current) {
        MoveTriggerCells(e, target);
        e.current = target;
    }
}

void UpdateDoor(DoorTrigger& d, int frame) {
    if (d.angle_rate) {
        int step = Clamp32(static_cast<int64_t>(frame) * d.angle_rate / 10000);
        // However slow the rate, a door turns at least one unit a frame.
        if (step == 0)
            step = d.angle_rate > 0 ? 1 : -1;
        d.angle = static_cast<int>((static_cast<int64_t>(d.angle) + step) & kAngleMask);
        d.angle_to_go = Clamp32(static_cast<int64_t>(d.angle_to_go) - step);
        if ((d.angle_rate > 0 && d.angle_to_go <= 0) || (d.angle_rate < 0 && d.angle_to_go >= 0)) {
            d.angle = d.state ? d.end_angle : d.start_angle;
            d.angle_to_go = 0;
            d.angle_rate = 0;
            d.moving = 0;
            PrintDebug("Door Stopped: Trigger=%d Angle=%d", d.number, d.angle);
        }
    } else if (d.slide_rate) {
        int step = Clamp32(static_cast<int64_t>(frame) * d.slide_rate / 10000);
        if (step == 0)
            step = d.slide_rate > 0 ? 1 : -1;
        d.slide_to_go = Clamp32(static_cast<int64_t>(d.slide_to_go) - step);
        d.position = Clamp32(static_cast<int64_t>(d.position) + step);
        if ((d.slide_rate > 0 && d.slide_to_go <= 0) || (d.slide_rate < 0 && d.slide_to_go >= 0)) {
            d.position = d.state ? d.open : d.closed;
            d.slide_to_go = 0;
            d.slide_rate = 0;
            d.moving = 0;
            PrintDebug("Door Stopped: Trigger=%d Pos=%d", d.number, d.position);
        }
    } else {
        d.moving = 0;
        return;
    }
    MoveTriggerThin(d, FindTriggerThin(d.number));
}

}  // namespace

// ---- common behaviour ---------------------------------------------------------------------------

int Trigger::On() {
    return CommonOn(nullptr);
}

int Trigger::Off() {
    return CommonOff(nullptr);
}

int Trigger::CommonOn(const char* debugText) {
    state = 1;
    moving = 0;
    if (reset_timer)
        countdown = reset_timer;
    if (on_sound)
        PlayGameSound(on_sound, 0, 0);
    SetTriggerThinsState(number, texture_on);
    if (debugText)
        PrintDebug("%s", debugText);
    return 0;
}

int Trigger::CommonOff(const char* debugText) {
    state = 0;
    moving = 0;
    countdown = 0;
    if (off_sound)
        PlayGameSound(off_sound, 0, 0);
    SetTriggerThinsState(number, texture_off);
    if (debugText)
        PrintDebug("%s", debugText);
    return 0;
}

void Trigger::LoadKeys(FILE*, const char*) {}

// ---- elevators ----------------------------------------------------------------------------------

void ElevatorTrigger::LoadKeys(FILE* s, const char* section) {
    elevator = ReadInt(s, section, "elevator");
    off_height = ReadInt(s, section, "off_height");
    on_height = ReadInt(s, section, "on_height");
    x1 = ReadInt(s, section, "x1");
    y1 = ReadInt(s, section, "y1");
    x2 = ReadInt(s, section, "x2");
    y2 = ReadInt(s, section, "y2");
    speed = ReadInt(s, section, "speed");
    move_floor = ReadInt(s, section, "move_floor", 1);
    move_ceiling = ReadInt(s, section, "move_ceiling");
    move_rooftop = ReadInt(s, section, "move_rooftop");
}

int ElevatorTrigger::On() {
    speed_in_use = speed;
    state = 1;
    moving = 1;
    units = Clamp32(static_cast<int64_t>(PlaneHeight(on_height)) - current);
    if (reset_timer)
        countdown = reset_timer;
    PlaySoundAt(MiddleOf(x1, x2), MiddleOf(y1, y2), on_sound, 640);
    SetTriggerThinsState(number, texture_on);
    PrintDebug("Elevator On: Speed=%d Units=%d Cur=%d Max=%d", speed_in_use, units, current, on_height);
    return 0;
}

int ElevatorTrigger::Off() {
    speed_in_use = Clamp32(-static_cast<int64_t>(speed));
    state = 0;
    moving = 1;
    units = Clamp32(static_cast<int64_t>(PlaneHeight(off_height)) - current);
    countdown = 0;
    PlaySoundAt(MiddleOf(x1, x2), MiddleOf(y1, y2), off_sound, 640);
    SetTriggerThinsState(number, texture_off);
    PrintDebug("Elevator Off: Speed=%d Units=%d Cur=%d Max=%d", speed_in_use, units, current, off_height);
    return 0;
}

void MoveTriggerCells(ElevatorTrigger& e, int height) {
    if (e.x1 > e.x2 || e.y1 > e.y2)
        return;
    const int h = PlaneHeight(height);
    for (int cx = ClampCell(e.x1); cx <= ClampCell(e.x2); ++cx) {
        for (int cy = ClampCell(e.y1); cy <= ClampCell(e.y2); ++cy) {
            int i = CellIndex(cx, cy);
            int16_t* floor = &g_level.plane[kPlaneFloor][i];
            int16_t* split = &g_level.plane[kPlaneStoreySplit][i];
            int d;
            if (e.move_floor)
                d = h - *floor;
            else if (e.move_rooftop)
                d = h - *split;
            else
                continue;
            // Planes moved with the floor stop at the ends of their 16-bit range.
            int16_t& wallBase = g_level.plane[kPlaneWallBase][i];
            wallBase = Clamp16(wallBase + d);
            if (e.move_ceiling)
                g_level.plane[kPlaneCeiling][i] = Clamp16(g_level.plane[kPlaneCeiling][i] + d);
            if (e.move_floor) {
                if (e.move_rooftop)
                    *split = Clamp16(*split + d);
                LiftOnCell(cx, cy, h);
                *floor = static_cast<int16_t>(h);
            } else {
                *split = static_cast<int16_t>(h);
            }
        }
    }
}

void LiftOnCell(int cx, int cy, int h) {
    if (!CellInGrid(cx, cy))
        return;
    if (g_playerView && g_localPlayer && (g_playerView->x >> 6) == cx && (g_playerView->y >> 6) == cy &&
        g_playerView->z - g_localPlayer->eye_height == g_level.plane[kPlaneFloor][CellIndex(cx, cy)])
        g_playerView->z = h + g_localPlayer->eye_height;
    for (int s = 1; s < WorldObjectHighWater; ++s) {
        WorldObject& o = WorldObjectTable[s];
        if (o.active != 1 || (o.type != OBJ_MOVING && o.type != OBJ_PLAYER && o.type != OBJ_BODY))
            continue;
        if ((o.x >> 6) == cx && (o.y >> 6) == cy) {
            o.z = static_cast<int16_t>(h);
            o.pos_z = static_cast<int32_t>(static_cast<uint32_t>(h) << 16);
        }
    }
}

// ---- doors --------------------------------------------------------------------------------------

void DoorTrigger::LoadKeys(FILE* s, const char* section) {
    lock_state = ReadInt(s, section, "lock_state");
    lock_level = ReadInt(s, section, "lock_level");
    lock_num = ReadInt(s, section, "lock_num");
    start_angle = DoorAngle(ReadInt(s, section, "start_angle"));
    end_angle = DoorAngle(ReadInt(s, section, "end_angle"));
    max_angle_rate = Degrees4096(ReadInt(s, section, "max_angle_rate"));
    slide_amount = ReadInt(s, section, "slide_amount");
    slide_axis = ReadInt(s, section, "slide_axis");
    max_rate = ReadInt(s, section, "max_rate");
    angle = start_angle;
}

namespace {

void StartDoor(DoorTrigger& d, int towards, int rate, int slideTarget, int slideRate) {
    if (d.slide_axis == 0) {
        d.angle_rate = rate;
        int diff = Clamp32(static_cast<int64_t>(towards) - d.angle);
        if (rate > 0 && diff < 0)
            diff += 4096;
        else if (rate < 0 && diff > 0)
            diff -= 4096;
        d.angle_to_go = diff;
    } else {
        d.slide_rate = slideRate;
        d.slide_to_go = Clamp32(static_cast<int64_t>(slideTarget) - d.position);
    }
    d.moving = 1;
}

}  // namespace

int DoorTrigger::On() {
    StartDoor(*this, end_angle, max_angle_rate, open, max_rate);
    state = 1;
    if (reset_timer)
        countdown = reset_timer;
    SetTriggerThinsState(number, texture_on);
    int thin = FindTriggerThin(number);
    if (thin > 0 && on_sound)
        PlaySoundAt(ThinTable[thin].x1, ThinTable[thin].y1, on_sound, 640);
    return 0;
}

int DoorTrigger::Off() {
    // trigger.dat's rates may be the most negative int, which has no positive.
    StartDoor(*this, start_angle, Clamp32(-static_cast<int64_t>(max_angle_rate)), closed, Clamp32(-static_cast<int64_t>(max_rate)));
    state = 0;
    countdown = 0;
    SetTriggerThinsState(number, texture_off);
    int thin = FindTriggerThin(number);
    if (thin > 0 && off_sound)
        PlaySoundAt(ThinTable[thin].x1, ThinTable[thin].y1, off_sound, 640);
    return 0;
}

void MoveTriggerThin(DoorTrigger& d, int slot) {
    if (slot <= 0 || slot >= kThinSlots)
        return;
    Thin& t = ThinTable[slot];
    switch (d.slide_axis) {
    case 0: t.angle = d.angle; break;
    case 1: t.x1 = ClampWorld(d.position); break;
    case 2: t.y1 = ClampWorld(d.position); break;
    case 3: t.base_z = Clamp16(d.position); break;  // as the level's thins hold it
    default: break;
    }
    const int a = t.angle & kAngleMask;
    t.x2 = ClampWorld(t.x1 - static_cast<int>((static_cast<int64_t>(t.length) * SineTable[a]) >> 16));
    t.y2 = ClampWorld(t.y1 + static_cast<int>((static_cast<int64_t>(t.length) * CosineTable[a]) >> 16));
    SetThinGeometry(t);
    // The box sides follow the door: across it by its depth, on the side its swing step names.
    const int across = (a + t.swing_step) & kAngleMask;
    const int ox = static_cast<int>((-static_cast<int64_t>(t.thickness) * CosineTable[across]) >> 16);
    const int oy = static_cast<int>((static_cast<int64_t>(t.thickness) * SineTable[across]) >> 16);
    const int ax = ClampWorld(t.x1 + ox), ay = ClampWorld(t.y1 + oy);
    const int bx = ClampWorld(t.x2 + ox), by = ClampWorld(t.y2 + oy);
    const int ends[3][4] = {{t.x1, t.y1, ax, ay}, {t.x2, t.y2, bx, by}, {ax, ay, bx, by}};
    const bool reversed = t.swing_step < 0;
    auto setCorners = [reversed](Thin& m) {
        if (!m.model)
            return;
        if (reversed)
            SetThinModelCorners(m.model, m.x2, m.y2, m.base_z, m.x1, m.y1, m.base_z + m.height);
        else
            SetThinModelCorners(m.model, m.x1, m.y1, m.base_z, m.x2, m.y2, m.base_z + m.height);
    };
    setCorners(t);
    int side = 0;
    for (int id : t.group) {
        int m = id ? FindThinSlot(id) : -1;
        if (m <= 0 || m == slot || side >= 3)
            continue;
        Thin& s = ThinTable[m];
        s.x1 = ends[side][0];
        s.y1 = ends[side][1];
        s.x2 = ends[side][2];
        s.y2 = ends[side][3];
        s.base_z = t.base_z;
        SetThinGeometry(s);
        setCorners(s);
        ++side;
    }
}

// ---- the other classes --------------------------------------------------------------------------

void EnableTrigger::LoadKeys(FILE* s, const char* section) {
    which = ReadInt(s, section, "which");
}

int EnableTrigger::On() {
    CommonOn("Enable Trigger On");
    if (Trigger* t = GetTrigger(which))
        t->enabled = 1;
    return 0;
}

void TeleporterTrigger::LoadKeys(FILE* s, const char* section) {
    random = ReadInt(s, section, "random");
    team = ReadInt(s, section, "team");
    char key[4];
    for (int k = 0; k < 5; ++k) {
        std::snprintf(key, sizeof key, "x%d", k);
        x[k] = ReadInt(s, section, key);
        std::snprintf(key, sizeof key, "y%d", k);
        y[k] = ReadInt(s, section, key);
    }
    source_spell_effect = ReadInt(s, section, "source_spell_effect");
    target_spell_effect = ReadInt(s, section, "target_spell_effect");
}

int TeleporterTrigger::On() {
    PrintDebug("Teleporter Trigger: Random=%d Team=%d", random, team);
    state = 0;
    moving = 0;
    int d = random > 0 ? GameRand() % random : team ? GetGameValue(4) : 0;
    if (d < 0 || d > 4)
        return 0;
    if (!CellInGrid(x[d], y[d]))
        return 0;
    int px = x[d] * 64 + GameRand() % 64;
    int py = y[d] * 64 + GameRand() % 64;
    PrintDebug("Teleport Dest: which=%d x=%d y=%d", d, px, py);
    if (px == 0 || py == 0)
        return 0;
    if (on_sound)
        PlayGameSound(on_sound, 0, 0);
    if (g_playerView) {
        g_playerView->x = px;
        g_playerView->y = py;
        g_playerView->pos_x = px << 16;
        g_playerView->pos_y = py << 16;
        g_playerView->z = GetStandHeight(px, py, -1000);
    }
    SendPlayerState(g_localPlayer, 0, 1);
    return 0;
}

void CloneTrigger::LoadKeys(FILE* s, const char* section) {
    which_clone = ReadInt(s, section, "which_clone");
    x = ReadInt(s, section, "x");
    y = ReadInt(s, section, "y");
}

int CloneTrigger::On() {
    CommonOn(nullptr);
    PrintDebug("Create Clone Trigger On: #=%d x=%d y=%d", which_clone, x, y);
    SpawnClone(which_clone);
    return 0;
}

void DeleteObjectTrigger::LoadKeys(FILE* s, const char* section) {
    which_object = ReadInt(s, section, "which_object");
    radius = ReadInt(s, section, "radius");
    x = ReadInt(s, section, "x");
    y = ReadInt(s, section, "y");
}

int DeleteObjectTrigger::On() {
    CommonOn(nullptr);
    PrintDebug("Delete Object Trigger On: #=%d r=%d", which_object, radius);
    for (int s = 1; s < WorldObjectHighWater; ++s) {
        const WorldObject& o = WorldObjectTable[s];
        if (o.active != 1 || o.type != OBJ_STATIC || o.kind != which_object)
            continue;
        const int64_t r = radius;
        if (o.x > (x - r) * 64 && o.x < (x + r) * 64 && o.y > (y - r) * 64 && o.y < (y + r) * 64)
            DestroyObject(s);
    }
    return 0;
}

void ScoreTrigger::LoadKeys(FILE* s, const char* section) {
    which_score = ReadInt(s, section, "which_score");
    ReadConfigString(s, section, "score_text", score_text, sizeof score_text, "");
}

int EndGameTrigger::On() {
    CommonOn("EndGame Trigger On");
    g_matchEndFlag = 1;
    return 0;
}

// ---- the table ----------------------------------------------------------------------------------

Trigger* GetTrigger(int n) {
    return ValidNumber(n) ? TriggerTable[n].get() : nullptr;
}

std::unique_ptr<Trigger> MakeTrigger(const char* typeWord) {
    char w[4] = {};
    for (int i = 0; i < 3 && typeWord[i]; ++i)
        w[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(typeWord[i])));
    std::unique_ptr<Trigger> t;
    int type = 0;
    switch (w[0]) {
    case 'c': t = std::make_unique<CloneTrigger>(); type = TRIGGER_CLONE; break;
    case 'd':
        if (w[1] == 'e') {
            t = std::make_unique<DeleteObjectTrigger>();
            type = TRIGGER_DELETE;
        } else {
            t = std::make_unique<DoorTrigger>();
            type = TRIGGER_DOOR;
        }
        break;
    case 'e':
        if (w[1] == 'n' && w[2] == 'd') {
            t = std::make_unique<EndGameTrigger>();
            type = TRIGGER_ENDGAME;
        } else if (w[1] == 'n') {
            t = std::make_unique<EnableTrigger>();
            type = TRIGGER_ENABLE;
        } else {
            t = std::make_unique<ElevatorTrigger>();
            type = TRIGGER_ELEVATOR;
        }
        break;
    case 'n': t = std::make_unique<NullTrigger>(); type = TRIGGER_NULL; break;
    case 's': t = std::make_unique<ScoreTrigger>(); type = TRIGGER_SCORE; break;
    case 't': t = std::make_unique<TeleporterTrigger>(); type = TRIGGER_TELEPORTER; break;
    default: return nullptr;
    }
    t->type = type;
    return t;
}

void FreeTriggers() {
    for (auto& t : TriggerTable)
        t.reset();
}

void World::LoadTriggers(FILE* stream) {
    FreeTriggers();
    int count = 0;
    if (!ReadConfigInt(stream, "triggerdefs", "numtriggers", &count, 0)) {
        LogMessage(LOG_ERROR, "Error loading '[triggerdefs], numtriggers'.\n");
        return;
    }
    LogMessage(LOG_INFO, "Loading %d triggers...\n", count);
    count = std::min(count, kTriggerSlots - 1);
    for (int n = 1; n <= count; ++n) {
        char section[24], type[256];
        std::snprintf(section, sizeof section, "trigger%02d", n);
        if (!ReadConfigString(stream, section, "type", type, sizeof type, "")) {
            LogMessage(LOG_ERROR, "World::LoadTriggers - Error Loading 'type' from section '%s'\n", section);
            return;
        }
        std::unique_ptr<Trigger> t = MakeTrigger(type);
        if (!t) {
            LogMessage(LOG_ERROR, "LoadTrigger unknown type: '%s' from section '%s'.\n", type, section);
            return;
        }
        t->number = n;
        t->texture_off = ReadInt(stream, section, "texture_off");
        t->texture_on = ReadInt(stream, section, "texture_on");
        t->reset_timer = ReadInt(stream, section, "reset_timer");
        t->enabled = ReadInt(stream, section, "enabled");
        t->initial_state = ReadInt(stream, section, "initial_state");
        t->next_trigger = ReadInt(stream, section, "next_trigger");
        t->next_trigger_timing = ReadInt(stream, section, "next_trigger_timing");
        t->on_sound = ReadInt(stream, section, "on_sound");
        t->off_sound = ReadInt(stream, section, "off_sound");
        t->disabled_sound = ReadInt(stream, section, "disabled_sound");
        t->skill_required = ReadInt(stream, section, "skill_required");
        t->skill_level_required = ReadInt(stream, section, "skill_level_required");
        t->latching = ReadInt(stream, section, "latching");
        t->activating_trigger = ReadInt(stream, section, "activating_trigger");
        ReadConfigString(stream, section, "on_text", t->on_text, sizeof t->on_text, "");
        ReadConfigString(stream, section, "off_text", t->off_text, sizeof t->off_text, "");
        ReadConfigString(stream, section, "disabled_text", t->disabled_text, sizeof t->disabled_text, "");
        t->LoadKeys(stream, section);
        TriggerTable[n] = std::move(t);
    }
}

int ToggleTrigger(int n, int on, int show) {
    PrintDebug("Trigger Toggled: Which=%d State=%d", n, on);
    Trigger* t = GetTrigger(n);
    if (!t || t->moving)
        return 0;
    if (!t->enabled) {
        ShowText(show, t->disabled_text);
        PrintDebug("Trigger Disabled!");
        return 1;
    }
    if (!t->state && on) {
        t->On();
        ShowText(show, t->on_text);
    } else if (t->state && !on) {
        t->Off();
        ShowText(show, t->off_text);
    }
    if (t->enabled && t->next_trigger && t->next_trigger_timing == 0)
        ChainTrigger(t->next_trigger, on, n);
    return 1;
}

void ChainTrigger(int n, int on, int from) {
    bool visited[kTriggerSlots] = {};
    if (ValidNumber(from))
        visited[from] = true;
    while (true) {
        PrintDebug("Trigger Chained: Which=%d State=%d", n, on);
        Trigger* t = GetTrigger(n);
        // Each trigger switches once per chain, so a ring of triggers ends where it began.
        if (!t || visited[n] || (t->latching && t->moving))
            return;
        visited[n] = true;
        SwitchTo(*t, on);
        int next = t->next_trigger;
        if (next == 0 || next == from || t->next_trigger_timing != 0)
            return;
        from = n;
        n = next;
    }
}

void InitTriggers() {
    for (int n = 1; n < kTriggerSlots; ++n) {
        Trigger* t = GetTrigger(n);
        if (!t)
            continue;
        const int texture = t->initial_state == 1 ? t->texture_on : t->texture_off;
        if (t->type == TRIGGER_NULL || t->type == TRIGGER_CLONE) {
            SetTriggerThinsState(n, texture);
        } else if (t->type == TRIGGER_ELEVATOR) {
            auto* e = static_cast<ElevatorTrigger*>(t);
            const int h = PlaneHeight(t->initial_state ? e->on_height : e->off_height);
            MoveTriggerCells(*e, h);
            e->current = h;
            SetTriggerThinsState(n, texture);
        } else if (t->type == TRIGGER_DOOR) {
            auto* d = static_cast<DoorTrigger*>(t);
            int thin = FindTriggerThin(n);
            if (d->slide_axis == 0) {
                d->angle = t->initial_state ? d->end_angle : d->start_angle;
                if (thin > 0)
                    ThinTable[thin].swing_step = ThinTable[thin].angle < 0 ? 1024 : -1024;
            } else if (thin > 0) {
                d->angle = d->start_angle;
                Thin& th = ThinTable[thin];
                th.angle = d->start_angle;
                d->closed = d->slide_axis == 1 ? th.x1 : d->slide_axis == 2 ? th.y1 : th.base_z;
                d->open = Clamp32(static_cast<int64_t>(d->closed) + d->slide_amount);
                d->position = t->initial_state ? d->open : d->closed;
            }
            MoveTriggerThin(*d, thin);
        }
        t->state = t->initial_state != 0;
    }
}

void UpdateDoors(int frame) {
    for (int n = 1; n < kTriggerSlots; ++n) {
        Trigger* t = GetTrigger(n);
        if (!t)
            continue;
        // Online, the service runs the reset timers.
        if (g_linkState == 1 && t->countdown > 0) {
            t->countdown -= frame / 10;
            if (t->countdown <= 0) {
                t->countdown = 0;
                PrintDebug("Trigger Reset Timer Expired -> Num=%d\n", n);
                t->Off();
            }
        }
        const bool wasMoving = t->moving != 0;
        if (t->type == TRIGGER_ELEVATOR && t->moving)
            UpdateElevator(*static_cast<ElevatorTrigger*>(t), frame);
        else if (t->type == TRIGGER_DOOR && t->moving)
            UpdateDoor(*static_cast<DoorTrigger*>(t), frame);
        // A timing-1 chain runs once, in the frame its motion ends.
        if (IsMover(*t) && wasMoving && !t->moving && t->next_trigger && t->next_trigger_timing == 1)
            ChainTrigger(t->next_trigger, t->state, n);
    }
}

void SetTriggerThinsState(int n, int texture) {
    for (int s = 1; s < ThinCount; ++s) {
        Thin& t = ThinTable[s];
        if (t.active == 1 && t.kind == THIN_TEXTURED && t.trigger == n)
            t.texture = texture;
    }
}

int FindTriggerThin(int n) {
    for (int s = 1; s < ThinCount; ++s)
        if (ThinTable[s].active == 1 && ThinTable[s].kind == THIN_MOVED && ThinTable[s].trigger == n)
            return s;
    return -1;
}
