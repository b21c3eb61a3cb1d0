#include "client/screens/hud_text.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "client/arena/game_input.h"
#include "client/arena/spell.h"
#include "client/core/game_values.h"
#include "client/core/numeric.h"
#include "client/core/screen_state.h"
#include "client/net/client_tables.h"
#include "client/net/net_match.h"
#include "client/net/net_rings.h"
#include "client/present/present_services.h"
#include "client/screens/character_rules.h"
#include "client/screens/character_state.h"
#include "client/screens/chat_buffer.h"
#include "client/screens/fonts.h"
#include "client/screens/screen_surface.h"
#include "common/text.h"

int SpellGroupDisplay = 0;
char SmallMapText[kSmallMapLines][kSmallMapLineSize];

namespace {

constexpr int kHudFont = 7;
// Pixels kept between the name and the level on the experience line.
constexpr int kHudNameGap = 4;

uint16_t Black() { return MakePixel16(0, 0, 0); }
uint16_t* Buffer() { return g_screen.backBuffer; }

// The box the element being drawn may change.
ScreenRect box;

void Text(int x, int y, int colour, const char* text, int font, int style = 0) {
    DrawClippedText(box, x, y, colour, text, font, style);
}

void Centred(int x, int y, int w, int colour, const char* text, int font) {
    Text(x + (w - TextWidth(text, font)) / 2, y, colour, text, font);
}

// The name of readied slot n (0..39), or none.
const char* ReadiedSpellName(int slot) {
    if (slot < 0 || slot > 39)
        return nullptr;
    const CSpell* s = GetSpell(GetGameValue(25 + slot));
    return s && s->valid ? s->name : nullptr;
}

}  // namespace

bool ArenaLayout() { return g_screenState == 1; }

void DrawClippedText(const ScreenRect& clip, int x, int y, int colour, const char* text, int font, int style) {
    uint16_t* back = g_screen.backBuffer;
    if (!back)
        return;
    const int left = std::max(clip.x, 0), top = std::max(clip.y, 0);
    const int right = std::min(clip.x + clip.w, kScreenWidth), bottom = std::min(clip.y + clip.h, kScreenHeight);
    if (left >= right || top >= bottom)
        return;
    // The text goes into a copy of the box, and only the box comes back.
    static std::vector<uint16_t> scratch(kScreenPixels);
    const size_t n = static_cast<size_t>(right - left) * sizeof(uint16_t);
    for (int row = top; row < bottom; ++row)
        std::memcpy(&scratch[row * kScreenWidth + left], back + row * kScreenWidth + left, n);
    DrawText(x, y, colour, text, style, scratch.data(), font, 0);
    for (int row = top; row < bottom; ++row)
        std::memcpy(back + row * kScreenWidth + left, &scratch[row * kScreenWidth + left], n);
}

void DrawMatchClock() {
    ScreenSurface& s = g_screen;
    if (!Buffer())
        return;
    box = ScreenRect{0, 320, 64, 16};
    s.FillRect16(0, 320, 64, 16, Black());
    const ArenaMatch* m = CurrentMatch();
    const int64_t t = m ? static_cast<int64_t>(m->time) - static_cast<int64_t>(m->start_time) : 0;
    const int64_t shown = std::max<int64_t>(t, 0);
    char text[16];
    FormatText(text, sizeof text, "%02d:%02d", static_cast<int>(shown % 3600 / 60), static_cast<int>(shown % 60));
    FitTextToWidth(text, kHudFont, 64);
    Centred(0, 320, 64, 4, text, kHudFont);
    SetPanelRedrawFlag(kMatchClockPanel, 1);
}

void DrawLinkStats(int x, int y) {
    if (g_debugLevel != 1 || !Buffer())
        return;
    box = ScreenRect{x, y, 32, 24};
    g_screen.CopyFromBackground(x, y, 32, 24);
    char text[24];
    FormatText(text, sizeof text, "L%d", LastLinkFigures.lossPercent / 10);
    Text(x + 1, y + 1, 4, text, 1);
    FormatText(text, sizeof text, "B%d", LastLinkFigures.datagramBytesPerSecond);
    FitTextToWidth(text, 1, 31);
    Text(x + 1, y + 12, 4, text, 1);
    g_screen.QueueDirtyRect(x, y, 32, 24, 1);
}

void DrawPlayerPanel() {
    ScreenSurface& s = g_screen;
    if (!Buffer())
        return;
    box = ScreenRect{8, 8, 92, 190};
    s.CopyFromBackground(8, 8, 92, 190);
    const int team = GetGameValue(4);
    const int colour = team;  // the team's number is its font colour
    char text[48];
    CopyText(text, CurrentCharacterName());
    FitTextToWidth(text, 1, 88);
    Text(10, 10, colour, text, 1);
    FormatText(text, sizeof text, "%s Level", OrdinalWord(GetGameValue(0)));
    Text(10, 24, colour, text, 1);
    Text(10, 38, colour, ProfessionName(GetGameValue(114)), 1);
    if (team >= 1 && team <= 3) {
        FormatText(text, sizeof text, "of %s", TeamNameOf(team));
        Text(10, 52, colour, text, 1);
    }
    s.QueueDirtyRect(8, 8, 92, 190, 1);
}

void DrawExperienceLine() {
    ScreenSurface& s = g_screen;
    if (!Buffer())
        return;
    box = ScreenRect{0, 132, 128, 32};
    s.FillRect16(0, 132, 128, 32, Black());
    const int colour = GetGameValue(4);
    char text[48];
    // The level on the lower line's right and the name beside it, cut short of the level: the
    // cells are opaque, so a longer name would wipe the level out.
    const char* profession = ProfessionName(GetGameValue(114));
    FormatText(text, sizeof text, "%s %.3s", OrdinalWord(GetGameValue(0)), profession);
    const int levelX = 124 - TextWidth(text, kHudFont);
    Text(levelX, 148, colour, text, kHudFont);
    CopyText(text, CurrentCharacterName());
    FitTextToWidth(text, kHudFont, std::min(96, levelX - 2 - kHudNameGap));
    Text(2, 148, colour, text, kHudFont);
    // Above them, its lowest glyph row on the lower line's top one: ink only, so neither line
    // loses a row.
    const int gained = GetGameValue(132) + GetGameValue(106);
    FormatText(text, sizeof text, "Exp: %d  +%d", GetGameValue(1) + gained, gained);
    Text(124 - TextWidth(text, kHudFont), 133, colour, text, kHudFont, 1);
    SetPanelRedrawFlag(kExperiencePanel, 1);
}

void DrawTargetLine() {
    ScreenSurface& s = g_screen;
    if (!Buffer())
        return;
    const int current = GetGameValue(117);
    if (SpellGroupDisplay) {
        box = ScreenRect{0, 250, 128, 64};
        s.FillRect16(0, 250, 128, 64, Black());
        s.DrawRectFrame(0, 250, 127, 63, MakePixel16(255, 255, 255), 1);
        const int group = std::clamp(current, 0, 39) / 5;
        char text[16];
        FormatText(text, sizeof text, "%d", group + 1);
        Text(4, 252, 4, text, 1);
        for (int k = 0; k < 5; ++k) {
            const int slot = group * 5 + k;
            const char* name = ReadiedSpellName(slot);
            Text(16, 252 + k * 12, slot == current ? 0 : 5, name ? name : "<no spell>", 1);
        }
    } else {
        box = ScreenRect{0, 250, 256, 16};
        s.FillRect16(0, 250, 256, 16, Black());
        const CSpell* spell = GetSpell(GetGameValue(115));
        char text[64];
        if (!spell || !spell->valid) {
            CopyText(text, "<no spell>");
        } else if (AimsAtHudTarget(spell)) {
            const int target = TargetPlayerId;
            const int i = target > 0 ? FindPlayerIndex(target) : 0;
            if (target != 0 && target == GetGameValue(118))
                FormatText(text, sizeof text, "%s  (Self)", spell->name);
            else if (i > 0)
                FormatText(text, sizeof text, "%s  (%s)", spell->name, PlayerName(PlayerTable[i]).c_str());
            else
                FormatText(text, sizeof text, "%s  (nobody)", spell->name);
        } else {
            CopyText(text, spell->name);
        }
        Text(2, 250, 4, text, kHudFont);
    }
    SetPanelRedrawFlag(kTargetLinePanel, 1);
}

void DrawChatBuffer(int limit) {
    ScreenSurface& s = g_screen;
    if (!Buffer())
        return;
    const bool arena = ArenaLayout();
    const int scroll = std::clamp(ConsoleScroll, 0, kChatLines - 1);
    const int x = arena ? 180 : 235, top = arena ? 512 : 415, w = arena ? 256 : 465;
    const int lineHeight = arena ? 10 : 11;
    const int bottom = (arena ? 576 : 571) - (scroll ? 11 : 0);
    const int fullHeight = (arena ? 576 : 571) - top;
    box = ScreenRect{x, top, w, fullHeight};
    if (arena)
        s.FillRect16(x, top, w, fullHeight, Black());
    else
        s.CopyFromBackground(x, top, w, fullHeight);
    const int stored = std::min(ChatBuffer.count, kChatLines);
    const int last = stored - scroll;  // lines counted back from the newest
    int visible = std::min((bottom - top) / lineHeight, std::max(last, 0));
    if (limit > 0)
        visible = std::min(visible, limit);
    for (int k = 0; k < visible; ++k) {
        const int back = scroll + visible - k;  // 1 is the newest line
        const ChatLine& line = ChatBuffer.lines[((ChatBuffer.write - back) % kChatLines + kChatLines) % kChatLines];
        const int y = top + k * lineHeight;
        Text(x, y, line.tag_color, line.tag, 1);
        Text(x + TextWidth(line.tag, 1), y, line.text_color, line.text, 1);
    }
    if (scroll) {
        char text[64];
        FormatText(text, sizeof text, "** Text Starts at line %d of Chat Buffer **",
                   std::max(1, ChatBuffer.count - scroll - visible + 1));
        Text(x, bottom, 5, text, 1);
    }
    s.QueueDirtyRect(x, top, w, fullHeight, 1);
    if (arena)
        SetPanelRedrawFlag(kChatPanel, 1);
}

void DrawSmallMapPanel() {
    ScreenSurface& s = g_screen;
    if (!Buffer())
        return;
    box = ScreenRect{50, 50, 540, 380};
    s.CopyFromBackground(50, 50, 540, 380);
    for (int n = 0; n < kSmallMapLines; ++n)
        if (SmallMapText[n][0])
            Text(60, 60 + n * 13, 63, SmallMapText[n], 1);
    const PcxImage& map = s.Screen(SCREEN_IMAGE_SMALLMAP);
    if (map.Pixels16())
        s.BlitImage(map, 390, 70, 0);
    s.DrawRectFrame(389, 69, 202, 202, MakePixel16(255, 255, 255), 1);
    // The map's frame reaches one column past the panel's right edge.
    s.QueueDirtyRect(50, 50, 541, 380, 1);
}
