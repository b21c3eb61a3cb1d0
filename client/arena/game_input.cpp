#include "client/arena/game_input.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "client/arena/ambient_sound.h"
#include "client/arena/grid_queries.h"
#include "client/arena/line_tests.h"
#include "client/arena/local_player.h"
#include "client/arena/player_control.h"
#include "client/arena/player_effects.h"
#include "client/arena/player_move.h"
#include "client/arena/player_status.h"
#include "client/arena/player_view.h"
#include "client/arena/spell.h"
#include "client/arena/spell_cast.h"
#include "client/arena/thin.h"
#include "client/arena/trigger.h"
#include "client/arena/world_object.h"
#include "client/core/game_clock.h"
#include "client/core/game_values.h"
#include "client/core/level_defs.h"
#include "client/core/sound.h"
#include "client/driver/view_setup.h"
#include "client/net/client_tables.h"
#include "client/net/net_handshake.h"
#include "client/net/net_players.h"
#include "client/net/net_spells.h"
#include "client/present/present_services.h"
#include "client/screens/chat_buffer.h"
#include "client/screens/chat_input.h"
#include "client/screens/game_pages.h"
#include "client/screens/input.h"
#include "client/screens/notice_lines.h"

const char TeamNames[4][kTeamNameSize] = {"Sysop", "Dragon", "Gryphon", "Phoenix"};

int HudListMode = 2;
int HudListIndex = 0;
int HudSpellIndex = 0;
int ConsoleScroll = 0;
int HudListOffset = 0;
int ViewBorder = 0;
int MapShown = 0;
int ViewerLightOn = 0;
int32_t ViewerLightLock = 0;
int LastCellSound = 0;
int LastCellCode = 0;
int TargetPlayerId = 0;
int CurrentArena = -1;

namespace {

const char* TeamName(int team) {
    return team >= 0 && team < 4 ? TeamNames[team] : "";
}

int Ms() {
    return std::max(FrameDelta, 0) / 10;
}

void Notice(const char* format, const char* name) {
    char text[96];
    std::snprintf(text, sizeof text, format, name);
    PushNoticeLine(text);
}

// Toggles trigger n, announcing it to the service when online.
void Toggle(int n) {
    Trigger* t = GetTrigger(n);
    if (!t)
        return;
    const int state = !t->state;
    if (ToggleTrigger(n, state, 1) && g_playMode == 2)
        SendOpenDoor(n, state);
}

// A trigger, or the trigger it chains to when that exists.
void UseTrigger(int n) {
    Trigger* t = GetTrigger(n);
    if (!t)
        return;
    if (t->next_trigger && GetTrigger(t->next_trigger)) {
        n = t->next_trigger;
        PrintDebug("Activating Trigger -> %d", n);
    }
    Toggle(n);
}

bool TargetedSpellReadied() {
    const CSpell* s = GetSpell(GetGameValue(115));
    return s && s->type == SPELL_TARGET;
}

void ResurrectAttempt(LocalPlayer& player, const char* text, bool allSpeeds) {
    PushNoticeLine(text);
    PlayerView& v = *g_playerView;
    v.speed = 0;
    if (allSpeeds)
        v.strafe_speed = v.z_speed = 0;
    SendPlayerState(&player, 0, 1);
    SendRequestRaise(&player, 0);
    PlayGameSound(29, 0, 0);
}

bool TeamHasPoweredHomeNexus(int team) {
    for (int n = 0; n < 3; ++n)
        if (g_level.shrines[n].found && g_level.shrines[n].alignment == team && g_level.shrines[n].bias > 0)
            return true;
    return false;
}

void CellNotices(LocalPlayer& player) {
    const PlayerView& v = *g_playerView;
    if (v.x < 0 || v.x >= kWorldLimit || v.y < 0 || v.y >= kWorldLimit)
        return;
    const int cell = CellIndex(v.x >> 6, v.y >> 6);
    const int stand = GetStandHeight(v.x, v.y, v.z - player.eye_height + kStepHeight);
    const int team = GetGameValue(4);
    const int code = g_level.cellIndex[cell];
    if (code == LastCellCode || v.z != stand)
        return;
    LastCellCode = code;
    if (code >= 50 && code <= 69) {
        const ShrineDef& nexus = g_level.shrines[code - 50];
        if (!g_actionState.gate_pending && player.dead && nexus.alignment == team && TeamHasPoweredHomeNexus(team))
            ResurrectAttempt(player, "You attempt to resurrect at the Nexus", true);
        if (nexus.found) {
            const char* format = nexus.bias >= 100 ? "The %s Nexus is fully powered."
                                 : nexus.bias > 0  ? "The %s Nexus is partially powered."
                                                   : "The %s Nexus has been destroyed.";
            Notice(format, TeamName(nexus.alignment));
        }
    } else if (code >= 20 && code <= 49) {
        const EarthnodeDef& node = g_level.earthnodes[code - 20];
        if (!g_actionState.gate_pending && player.dead && node.owner == team)
            ResurrectAttempt(player, "You attempt to resurrect at the Earthnode", false);
        if (node.found) {
            if (node.bias >= 100)
                Notice("The Earthnode is fully biased to %s.", TeamName(node.owner));
            else if (node.bias > 0)
                Notice("The Earthnode is partially biased to %s.", TeamName(node.owner));
            else
                PushNoticeLine("The Earthnode is neutrally biased.");
        }
    }
}

void Cast(LocalPlayer& player) {
    for (int n : {17, 12, 13, 16})
        if (player.effects[n].active)
            RemovePlayerEffect(player, n, 1);
    PlayerView& v = *g_playerView;
    const int result = CastSpell(player, 0);
    // Either way: backwards or sliding right is moving as much as forwards or left.
    const bool still = std::abs(v.speed) < 55 && std::abs(v.strafe_speed) < 55 && v.z_speed == 0;
    if (result == 1) {
        g_actionState.cast_result = 0;
        BeginCastPose();
    } else if (result == 2) {
        if (still) {
            CastSpell(player, 1);
            BeginCastPose();
            g_actionState.cast_result = 0;
        } else {
            g_actionState.cast_result = -1;
        }
    } else if (result > 2) {
        if (!still) {
            g_actionState.cast_result = 0;
            PlayGameSound(36, 0, 0);
        } else {
            v.speed = v.z_speed = v.strafe_speed = 0;
            g_actionState.cast_result = result;
            BeginCastPose();
            const CSpell* s = GetSpell(GetGameValue(115));
            if (s && s->cast_sound_2)
                PlayGameSound(s->cast_sound_2, 0, 0);
        }
    }
    g_actionState.target_flash = 0;
    SetPanelRedrawFlag(0, 1);
}

void FunctionKey(int key) {
    if (g_debugLevel == 2) {
        char text[40];
        std::snprintf(text, sizeof text, "Function Key #%d Hit", key);
        PrintMessage(MSG_SYSTEM, text, 44, 0);
    }
    if (key == 10)
        CastOverlayMode = (CastOverlayMode + 1) % 3;
    if (key == kViewModeKey)
        ToggleViewMode();
    if (key == 2)
        ToggleChatLog();
}

// A list the character has levels in.
bool ListKnown(int list) {
    return list >= 0 && list <= 9 && GetGameValue(144 + list) > 0;
}

void DoubleClicks(LocalPlayer& player) {
    RegionEvent e;
    TakeRegionDoubleClick(&e);
    if (e.group == 33 && ListKnown(e.id)) {
        HudListIndex = e.id;
        SetHudListMode(player, 3);
    } else if (e.group == 34 && e.id >= 0 && e.id <= 14) {
        HudSpellIndex = e.id;
        ReadySelectedSpell(player);
    } else {
        return;
    }
    PlayGameSound(0, 0, 0);
    RequestPageRedraw();
}

void Clicks(LocalPlayer& player, PlayerControl& c) {
    DoubleClicks(player);
    RegionEvent e;
    TakeRegionClick(&e);
    if (e.id < 0 || e.group < 30 || e.group > 39)
        return;
    {
        const int value = e.id;
        switch (e.group) {
        case 30:
            if (value == 0 || value == 1 || value == 2 || value == 4 || value == 5 || value == 6)
                SetHudListMode(player, value);
            break;
        case 31:
            c.escape = 1;
            break;
        case 32:
            CycleReadiedSpell(player, value);
            break;
        case 33:
            if (ListKnown(value))
                HudListIndex = value;
            break;
        case 34:
            if (value >= 0 && value <= 14)
                HudSpellIndex = value;
            break;
        case 35:
            ReadySelectedSpell(player);
            break;
        case 37:
            if (!player.dead && player.cast_delay == 0)
                CycleReadiedSpell(player, GetGameValue(115) == GetGameValue(25) ? 1 : 0);
            break;
        case 38:
            if (ListKnown(HudListIndex))
                SetHudListMode(player, 3);
            break;
        case 39:
            if (HudListMode == 3)
                SetHudListMode(player, 2);
            break;
        default:
            break;
        }
        PlayGameSound(0, 0, 0);
    }
    RequestPageRedraw();
}

}  // namespace

void SetHudListMode(LocalPlayer&, int mode) {
    HudListMode = mode;
    for (int group : {32, 33, 34})
        ClearClickRegions(group);
    struct Rows {
        int mode, count, width, height, y, step, group;
    } static constexpr kRows[] = {{2, 9, 160, 10, 371, 10, 33}, {3, 13, 160, 7, 362, 9, 34}, {6, 10, 120, 10, 360, 10, 32}};
    for (const Rows& r : kRows)
        if (r.mode == mode)
            for (int i = 0; i < r.count; ++i)
                AddClickRegion(440, r.y + r.step * i, r.width, r.height, i, r.group);
    ShowGamePage(0, 1);
}

const ArenaMatch* CurrentMatch() {
    return CurrentArena >= 0 && CurrentArena < kArenaTableSize ? &ArenaTable[CurrentArena].match : nullptr;
}

void HandleGameInput(LocalPlayer& player, PlayerControl& control, int flags) {
    (void)flags;
    if (!g_playerView)
        return;
    PendingDoorTrigger = 0;
    RunPlayerMovement(player, control);
    TickActionTimers(player);
    TickCharacterTimers(player, Ms());
    RegeneratePlayer(player, Ms());

    if (player.dead)
        PendingDoorTrigger = 0;
    else if (PendingDoorTrigger)
        Toggle(PendingDoorTrigger);

    player.cast_delay = std::max(0, player.cast_delay - Ms());
    if (control.cast && CanCastNow())
        Cast(player);
    if (control.function_key)
        FunctionKey(control.function_key);
    if (control.digit_key >= 1 && control.digit_key <= 8) {
        CycleReadiedSpell(player, control.digit_key - 1);
        PlayGameSound(0, 0, 0);
    }
    if (control.use)
        UseTriggerAhead(player);
    if (control.key_b && g_playMode != 2)
        DebugToggle = !DebugToggle;
    if (control.key_quote || control.key_slash) {
        OpenChatLine(control.key_slash ? 1 : 0);
        SetKeyInputMode(1);
    }
    if (control.page_up || control.page_down) {
        ConsoleScroll = std::clamp(ConsoleScroll + (control.page_up ? 5 : -5), 0, 95);
        SetPanelRedrawFlag(4, 1);
    }
    if (control.home || control.end) {
        HudListOffset = std::clamp(HudListOffset + (control.home ? -10 : 10), 0, 470);
        SetPanelRedrawFlag(12, 1);
    }
    ViewerLightLock = std::max(0, ViewerLightLock - std::max(FrameDelta, 0));
    if (control.key_t_held && ViewerLightLock == 0) {
        ViewerLightOn = !ViewerLightOn;
        SetViewerLight(ViewerLightOn, 0, 0);
        ViewerLightLock = 10000;
    }
    if (control.mouse_toggle)
        ToggleCursorMode();
    if (control.key_equals || control.key_minus) {
        ViewBorder = control.key_equals ? std::max(0, ViewBorder - 16) : std::min(48, ViewBorder + 16);
        ApplyViewSize();
    }
    if (control.key_tab)
        MapShown = !MapShown;
    Clicks(player, control);
    UpdateCellSound(player);
    CellNotices(player);
    if (player.own_object)
        UpdateOwnPlayerObject(player);
}

int UseTriggerAhead(LocalPlayer& player) {
    if (player.dead) {
        player.cast_delay = 500;
        return 0;
    }
    PlayerView& v = *g_playerView;
    if (player.mode == 7) {
        player.ladder_thin = 0;
        player.mode = 2;
        v.z_speed = 75;
        v.speed = 165;
        return 1;
    }
    const int code = CellCodeUnderPlayer(player);
    const int team = GetGameValue(4);
    if (team && player.mode != 6 && !IsBiasing() && v.speed < 64 && code >= 20 && code <= 69) {
        const ArenaMatch* match = CurrentMatch();
        if (!match || match->player_count < 4) {
            PrintMessage(MSG_SYSTEM, "Cannot Bias yet! Less than Four Player in Arena!", 5, 0);
        } else if (code < 50) {
            const EarthnodeDef& e = g_level.earthnodes[code - 20];
            if (e.found && !(e.owner == team && e.bias >= 100)) {
                BeginBias();
                return 1;
            }
        } else {
            const ShrineDef& s = g_level.shrines[code - 50];
            if (s.found && ((s.alignment == team && s.bias < 100) || (s.alignment != team && s.bias > 0))) {
                BeginBias();
                return 1;
            }
        }
    }
    const int thin = FindThinAhead(player, 64);
    if (thin > 0) {
        const Thin& t = ThinTable[thin];
        int trigger = 0;
        if (t.kind == THIN_MOVED) {
            trigger = t.trigger;
            PrintDebug("Found Door Trigger -> Thin=%d Trigger=%d", thin, trigger);
        } else if (t.kind == THIN_BOX_SIDE) {
            const int first = t.group[0] ? FindThinSlot(t.group[0]) : -1;
            trigger = first > 0 && ThinTable[first].active ? ThinTable[first].trigger : 0;
            PrintDebug("Found Door Trigger -> Thin=%d Trigger=%d", thin, trigger);
        } else if (t.kind == THIN_TEXTURED || t.kind == THIN_TOUCH) {
            trigger = t.trigger;
            PrintDebug("Found Trigger -> Thin=%d Trigger=%d", thin, trigger);
        } else if (t.kind == THIN_LADDER) {
            PrintDebug("Found Ladder -> Thin=%d", thin);
            player.ladder_thin = thin;
            v.target_speed = v.speed = v.z_speed = 0;
            player.mode = 7;
            return 1;
        } else {
            return 0;
        }
        if (trigger) {
            UseTrigger(trigger);
            return 1;
        }
        return 0;
    }
    const int object = FindObjectTrigger(player, 64);
    if (object > 0 && WorldObjectTable[object].object_trigger) {
        PrintDebug("Found Object Trigger -> Obj=%d Trigger=%d", object, WorldObjectTable[object].object_trigger);
        UseTrigger(WorldObjectTable[object].object_trigger);
        return 1;
    }
    g_actionState.target_flash = 0;
    if (TargetedSpellReadied()) {
        int range = 384, kind = 0;
        const int slot = FindBoltTarget(player, &range, &kind, 0, 16, 0);
        TargetPlayerId = kind == LINE_OBJECT && WorldObjectTable[slot].type == OBJ_PLAYER
                             ? static_cast<int>(WorldObjectTable[slot].id)
                             : GetGameValue(118);
        SetPanelRedrawFlag(0, 1);
        return 1;
    }
    return 0;
}

void ReadySelectedSpell(LocalPlayer& player) {
    const int slot = GetGameValue(117);
    if (slot < 0 || slot > 39)
        return;
    const int list = HudListIndex;
    const int listNumber = list >= 0 && list < kProfessionListCount
                               ? ProfessionListTable[std::clamp(GetGameValue(114), 0, kProfessionCount - 1)][list]
                               : 0;
    if (listNumber <= 0 || listNumber >= kSpellListCount)
        return;
    const SpellList& spells = SpellListTable[listNumber];
    const int known = std::min({GetGameValue(144 + list), GetGameValue(0), kSpellListLevels});
    int found = 0, position = 0;
    for (int i = 0, n = 0; i < known; ++i) {
        const int spell = spells.spells[i];
        if (spell <= 0 || spell >= kSpellTableSize)
            continue;
        if (n++ == HudSpellIndex) {
            found = spell;
            position = i + 1;
            break;
        }
    }
    if (!found)
        return;
    for (int s = 0; s < 40; ++s) {
        if (GetGameValue(25 + s) == found) {
            SetGameValue(25 + s, 0);
            SetGameValue(65 + s, 0);
        }
    }
    SetGameValue(25 + slot, found);
    SetGameValue(65 + slot, position);
    CycleReadiedSpell(player, slot / 5);
}
