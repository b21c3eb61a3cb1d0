#include "client/screens/character_screen.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>

#include "client/arena/local_player.h"
#include "client/arena/spell.h"
#include "client/core/config_file.h"
#include "client/core/game_clock.h"
#include "client/core/game_values.h"
#include "client/core/numeric.h"
#include "client/core/pcx_image.h"
#include "client/core/screen_files.h"
#include "client/core/screen_state.h"
#include "client/core/sound.h"
#include "client/net/net_dispatch.h"
#include "client/net/net_lobby.h"
#include "client/present/present_services.h"
#include "client/screens/character_file.h"
#include "client/screens/character_rules.h"
#include "client/screens/character_state.h"
#include "client/screens/figure_stage.h"
#include "client/screens/fonts.h"
#include "client/screens/gws_core.h"
#include "client/screens/gws_window.h"
#include "client/screens/input.h"
#include "client/screens/main_menu.h"
#include "client/screens/notice_box.h"
#include "client/screens/screen_surface.h"

CharacterButton CharacterButtons[kCharacterButtons];
CharacterScreenState g_characterScreen;

namespace {

constexpr int kKeyEnter = 28, kKeyUp = 72, kKeyDown = 80, kKeyLeft = 75, kKeyRight = 77;
constexpr int kFont = 6, kTitleFont = 5;
constexpr int kSpellGroup = 0, kPickGroup = 1, kReadiedGroup = 2, kTabGroup = 3;
constexpr int kRowHeight = 18;
// The sheet's pick and spell columns stand over the figure stage: their 16 rows share the room
// above it.
constexpr int kSheetTop = 100, kSheetRows = 16;
constexpr int kSheetRowHeight = (kFigureStage.top - kSheetTop) / kSheetRows;
constexpr int kNameBoxX = 213, kNameBoxY = 128, kNameBoxW = 114, kNameBoxH = 20;
// The typed name's margin inside the box, and the width its glyphs may take (a PCX glyph is drawn
// a pixel right of the pen and its last advance ends in spacing).
constexpr int kNameInset = 2, kNameTextWidth = kNameBoxW - 2 * kNameInset - 1;
constexpr int kStatLabels = 10;
constexpr const char* kStatNames[kStatLabels] = {"Agility",  "Constitution", "Memory",    "Reasoning", "Discipline",
                                                 "Empathy",  "Intuition",    "Presence",  "Quickness", "Strength"};
constexpr const char* kRaisableNames[kRaisableStats] = {"Strength", "Quickness", "Agility", "Constitution",
                                                        "Empathy",  "Intuition", "Presence"};

std::unique_ptr<gwsSpriteWindow> g_buttonWindows[kCharacterButtons];

struct CharacterArt {
    PcxImage statue, portraits, professions, remove, removeHighlight;
};
CharacterArt* g_art = nullptr;

CharacterScreenState& S() { return g_characterScreen; }
int V(int n) { return GetGameValue(n); }
bool Online() { return g_playMode == 2; }

void Text(int x, int y, const char* text, int colour = 0, int font = kFont) {
    DrawText(x, y, colour, text, 0, g_screen.backBuffer, font, 0);
}

void ButtonCallback(int n, int event) {
    CharacterButton& b = CharacterButtons[n];
    switch (event) {
    case 1:
    case 2:
        for (CharacterButton& other : CharacterButtons)
            other.click = 0;
        b.click = 1;
        S().currentButton = n;
        if (g_typedLine.inputMode == 1)
            g_typedLine.complete = 1;
        ResetKeyStates();
        PlayGameSound(0, 0, 0);
        break;
    case 13:
        b.hover = 1;
        b.redraw = 1;
        S().redraw = 1;
        break;
    case 14:
        b.hover = 0;
        b.redraw = 1;
        S().redraw = 1;
        break;
    default:
        break;
    }
}

void AddButton(int x, int y, int w, int h, const char* label, int id) {
    for (int n = 0; n < kCharacterButtons; ++n) {
        CharacterButton& b = CharacterButtons[n];
        if (b.used)
            continue;
        b = CharacterButton{};
        b.used = 1;
        b.x1 = x;
        b.y1 = y;
        b.x2 = x + w;
        b.y2 = y + h;
        b.id = id;
        b.redraw = 1;
        std::snprintf(b.label, sizeof b.label, "%s", label);
        g_buttonWindows[n] = std::make_unique<gwsSpriteWindow>(0, x, y, w, h, 0, [n](int e) { ButtonCallback(n, e); });
        return;
    }
}

void RemoveButtons() {
    for (int n = 0; n < kCharacterButtons; ++n) {
        g_buttonWindows[n].reset();
        CharacterButtons[n] = CharacterButton{};
    }
}

// The bottom buttons in rows of four, from the bottom row at y 550 upwards: one left of the figure
// stage, three right of it.
void ButtonRow(std::initializer_list<std::pair<const char*, int>> buttons) {
    static constexpr int kColumns[4] = {20, kFigureStage.right + 10, kFigureStage.right + 120, kFigureStage.right + 230};
    int n = 0;
    for (const auto& [label, id] : buttons) {
        AddButton(kColumns[n % 4], 550 - 40 * (n / 4), 104, 28, label, id);
        ++n;
    }
}

void ShowPreview() {
    const LocalPlayer* p = g_localPlayer;
    if (p)
        CreateMenuFigure(p->figure_imagenum, p->body_variant, p->head_variant, S().previewColour);
}

void SetLooks(LocalPlayer& player) {
    player.figure_imagenum = ModelOfLooksType(S().looksType);
    player.body_variant = S().head;
    player.head_variant = S().image;
    CreateMenuFigure(player.figure_imagenum, player.body_variant, player.head_variant, S().previewColour);
}

void ChooseProfession(LocalPlayer& player, int profession) {
    SetProfessionStats(player, profession);
    SetBaseStatistics(player, profession);
    SetProfessionStats(player, profession);
    SetProfessionPicks(profession);
}

std::string PlainName() { return SwapOddNibblesCopy(g_currentCharacter.name); }

// The n-th pick holding a list, or -1.
int NthListPick(int n) {
    for (int i = 0; i < 10; ++i) {
        const int list = V(134 + i);
        if (list >= 1 && list <= 49 && n-- == 0)
            return i;
    }
    return -1;
}

// Positions of the selected pick the character may use.
int UsablePositions(int pick) { return std::min({V(144 + pick), V(0), 30}); }

// The n-th filled position of the selected pick among the usable ones, or 0.
int NthFilledPosition(int n) {
    for (int p = 1; p <= UsablePositions(S().selectedPick); ++p)
        if (SpellAtPosition(S().selectedPick, p) && n-- == 0)
            return p;
    return 0;
}

const char* SpellName(int spell) {
    const CSpell* s = GetSpell(spell);
    return s && s->name[0] ? s->name : "<no spell>";
}

void OpenDeleteBox() {
    if (!g_art)
        return;
    S().deleteChoice = 0;
    S().deleteTicket = OpenTwoItemBox(g_art->remove, g_art->removeHighlight, [](int choice) { S().deleteChoice = choice; });
    S().deleteOpen = S().deleteTicket != 0;
}

void CloseDeleteBox() {
    gwsClosePopup(S().deleteTicket);
    S().deleteTicket = 0;
    S().deleteOpen = 0;
}

void ShowRefusal(int code) {
    DrawBanner(NameRefusalText(code), 10, 0);
    g_screen.PresentScreen();
    const uint32_t start = GetTickCount();
    while (GetTickCount() - start < 4000)
        BlockRead();
    S().redraw = 1;
}

void EndScreen() { S().ended = 1; }

}  // namespace

// ---- Pages --------------------------------------------------------------------------------------

void SetCharacterPage(LocalPlayer&, int page) {
    const int old = S().page;
    if (old == 2 && page != 2)
        AddName();
    if (old == 0 || (old == 4 && page == 0))
        DetachMenuFigure();
    for (int g = 0; g <= 3; ++g)
        ClearClickRegions(g);
    RemoveButtons();
    S().page = page;
    S().redraw = 1;
    switch (page) {
    case 0:
        ButtonRow({{"Ready Spell", 9}, {"Clear Spell", 29}, {"Select 1-5", 73}, {"Select 6-0", 74},
                   {"Delete", 0}, {"Save", 1}, {"Exit", 2}});
        for (int i = 0; i < kSheetRows; ++i) {
            AddClickRegion(40, kSheetTop + i * kSheetRowHeight, 200, kSheetRowHeight, i, kPickGroup);
            AddClickRegion(260, kSheetTop + i * kSheetRowHeight, 220, kSheetRowHeight, i, kSpellGroup);
        }
        for (int i = 0; i < 20; ++i)
            AddClickRegion(500, 100 + i * kRowHeight + i / 5 * 6, 200, kRowHeight, i, kReadiedGroup);
        AddClickRegion(560, 20, 100, 32, 0, kTabGroup);
        AddClickRegion(670, 20, 100, 32, 1, kTabGroup);
        break;
    case 1:
        if (V(113) > 0)
            ButtonRow({{"Research List", 8}, {"Delete", 0}, {"Save", 1}, {"Exit", 2}});
        else
            ButtonRow({{"Delete", 0}, {"Save", 1}, {"Exit", 2}});
        for (int i = 0; i < 16; ++i)
            AddClickRegion(420, 300 + i * kRowHeight, 300, kRowHeight, i, kPickGroup);
        AddClickRegion(560, 20, 100, 32, 0, kTabGroup);
        AddClickRegion(670, 20, 100, 32, 1, kTabGroup);
        break;
    case 3:
        AddButton(150, 200, 100, 100, "Magician", 11);
        AddButton(270, 200, 100, 100, "Healer", 12);
        AddButton(390, 200, 100, 100, "Mystic", 13);
        AddButton(510, 200, 100, 100, "Runemage", 17);
        ButtonRow({{"Next", 5}, {"Cancel", 7}});
        break;
    case 5:
        AddButton(60, 140, 120, 28, "Male", 21);
        AddButton(190, 140, 120, 28, "Female", 22);
        AddButton(60, 220, 120, 28, "Next Head", 23);
        AddButton(190, 220, 120, 28, "Previous Head", 24);
        AddButton(60, 300, 120, 28, "Next Image", 25);
        AddButton(190, 300, 120, 28, "Previous Image", 26);
        ButtonRow({{"Next", 6}, {"Cancel", 7}});
        break;
    case 7:
        for (int n = 0; n < 10; ++n)
            SetGameValue(15 + n, V(5 + n));
        ButtonRow({{"Next", 1}, {"Cancel", 7}});
        break;
    default:
        break;
    }
    if (page == 0 || page == 1 || page == 5)
        ShowPreview();
}

int TakeButtonPress(int id) {
    for (CharacterButton& b : CharacterButtons) {
        if (b.used && b.id == id && b.click) {
            b.click = 0;
            return static_cast<int>(&b - CharacterButtons);
        }
    }
    return -1;
}

// ---- Names --------------------------------------------------------------------------------------

int EditCharacterName() {
    g_screen.FillRect16(kNameBoxX, kNameBoxY, kNameBoxW, kNameBoxH, 0);
    std::memset(g_typedLine.text, 0, sizeof g_typedLine.text);
    g_typedLine.length = 0;
    g_typedLine.complete = 0;
    BeginTextEntry();
    SetKeyInputMode(1);
    while (GetKeyInputMode() == 1 && !g_typedLine.complete && !ScreenEndRequested()) {
        BlockRead();
        // Typing stops at the longest name.
        if (g_typedLine.length > kCharacterNameMax) {
            g_typedLine.text[kCharacterNameMax] = '\0';
            g_typedLine.length = kCharacterNameMax;
        }
        char shown[kCharacterNameMax + 2];
        std::snprintf(shown, sizeof shown, "%s|", g_typedLine.text);
        g_screen.FillRect16(kNameBoxX, kNameBoxY, kNameBoxW, kNameBoxH, 0);
        // Wide letters would run past the box, where clearing it would not reach: the box shows
        // the line's end with the cursor.
        Text(kNameBoxX + kNameInset, kNameBoxY + 1, TextEndFittingWidth(shown, kTitleFont, kNameTextWidth), 4,
             kTitleFont);
        g_screen.QueueDirtyRect(kNameBoxX, kNameBoxY, kNameBoxW, kNameBoxH, 1);
        g_screen.PresentScreen();
    }
    char typed[kTypedLineSize];
    std::snprintf(typed, sizeof typed, "%.*s", kCharacterNameMax, g_typedLine.text);
    SetKeyInputMode(0);
    std::memset(g_typedLine.text, 0, sizeof g_typedLine.text);
    g_typedLine.length = 0;
    g_typedLine.complete = 0;
    EndTextEntry();
    const int code = JudgeCharacterName(typed);
    if (code == 0) {
        std::memset(g_currentCharacter.name, 0, sizeof g_currentCharacter.name);
        std::snprintf(g_currentCharacter.name, sizeof g_currentCharacter.name, "%s", typed);
        SwapOddNibbles(g_currentCharacter.name);
    }
    S().redraw = 1;
    return code;
}

int CheckDuplicateName() {
    if (!Online())
        return 0;
    const char* text = "Checking for Duplicate Names...";
    Text(400 - TextWidth(text, kFont) / 2, 300, text, 0);
    g_screen.QueueDirtyRect(0, 290, kScreenWidth, 30, 1);
    g_screen.PresentScreen();
    if (g_login.privilegeLevel > 0)
        return 0;
    QueryName();
    const int answer = WaitForNameReply();
    if (answer >= 1 && answer <= 3) {
        S().nameCheck = answer;
        return 1;
    }
    return 0;
}

// ---- Input --------------------------------------------------------------------------------------

void CharacterCreationInput(LocalPlayer& player) {
    RegionEvent click;
    // Region ids start at 0; none is -1.
    if (TakeRegionClick(&click) >= 0) {
        switch (click.group) {
        case kSpellGroup:
            if (const int p = NthFilledPosition(click.id))
                S().selectedPosition = p;
            break;
        case kPickGroup:
            if (const int pick = NthListPick(click.id); pick >= 0) {
                S().selectedPick = pick;
                S().selectedPosition = NthFilledPosition(0);
            }
            break;
        case kReadiedGroup:
            S().selectedReadied = std::clamp(click.id, 0, 19) + S().bank * 20;
            break;
        case kTabGroup:
            SetCharacterPage(player, click.id == 1 ? 1 : 0);
            break;
        default:
            break;
        }
        PlayGameSound(0, 0, 0);
        S().redraw = 1;
    }
    RegionEvent twice;
    if (TakeRegionDoubleClick(&twice) >= 0 && (twice.group == kSpellGroup || twice.group == kReadiedGroup)) {
        ReadySpell(S().selectedReadied, S().selectedPick, S().selectedPosition);
        S().redraw = 1;
    }

    const int key = ClearLastKey();
    if (!key)
        return;
    const bool sysop = V(3) >= 3;
    const auto stepColour = [](int step) { S().previewColour = (S().previewColour - 1 + step + 3) % 3 + 1; };
    switch (S().page) {
    case 0:
        if (sysop && (key == kKeyRight || key == kKeyLeft)) {
            SetLevel(player, std::clamp(V(0) + (key == kKeyRight ? 1 : -1), 1, kMaxCharacterLevel));
            SetProfessionPicks(V(114));
        } else if (sysop && key >= 2 && key <= 5) {
            ChooseProfession(player, key - 2);
        } else if (key == kKeyUp || key == kKeyDown) {
            stepColour(key == kKeyUp ? 1 : -1);
            ShowPreview();
        }
        break;
    case 5:
        if (key == kKeyRight || key == kKeyLeft) {
            S().head = (S().head + (key == kKeyRight ? 1 : 2)) % 3;
            SetLooks(player);
        } else if (key == kKeyUp || key == kKeyDown) {
            stepColour(key == kKeyUp ? 1 : -1);
            ShowPreview();
        }
        break;
    case 7:
        if (key == kKeyUp || key == kKeyDown)
            S().selectedStat = (S().selectedStat + (key == kKeyDown ? 1 : kRaisableStats - 1)) % kRaisableStats;
        else if (key == kKeyRight)
            RaiseStatistic(S().selectedStat);
        else if (key == kKeyLeft)
            LowerStatistic(S().selectedStat);
        break;
    default:
        break;
    }
    if (key == kKeyEnter) {
        if (S().page == 3) {
            SetCharacterPage(player, 5);
        } else if (S().page == 4 || S().page == 5) {
            FinishCharacter(player);
            S().hasCharacter = 1;
            SetCharacterPage(player, 0);
        }
        PlayGameSound(0, 0, 0);
    }
    S().redraw = 1;
}

void ActOnCharacterButtons(LocalPlayer& player) {
    static const int kProfessionOf[][2] = {{11, 0}, {12, 3}, {13, 2}, {17, 1}};
    for (const auto& [id, profession] : kProfessionOf)
        if (TakeButtonPress(id) >= 0) {
            ChooseProfession(player, profession);
            S().redraw = 1;
        }
    const auto wrap = [](int v, int n) { return (v % n + n) % n; };
    if (TakeButtonPress(21) >= 0) {
        S().looksType = wrap(S().looksType - 1, 3);
        SetLooks(player);
    }
    if (TakeButtonPress(22) >= 0) {
        S().looksType = wrap(S().looksType + 1, 3);
        SetLooks(player);
    }
    if (TakeButtonPress(23) >= 0) {
        S().head = std::min(S().head + 1, 2);
        SetLooks(player);
    }
    if (TakeButtonPress(24) >= 0) {
        S().head = std::max(S().head - 1, 0);
        SetLooks(player);
    }
    if (TakeButtonPress(25) >= 0) {
        S().image = std::min(S().image + 1, 3);
        SetLooks(player);
    }
    if (TakeButtonPress(26) >= 0) {
        S().image = std::max(S().image - 1, 0);
        SetLooks(player);
    }
    if (TakeButtonPress(10) >= 0 || S().nameNeeded) {
        S().nameNeeded = 0;
        // The last check's answer stays on the page while the next name is typed.
        const int code = EditCharacterName();
        if (Online() && code != 0) {
            ShowRefusal(code);
        } else if (code == 0) {
            if (Online() && g_login.privilegeLevel == 0 && CheckDuplicateName()) {
                std::memset(g_currentCharacter.name, 0, sizeof g_currentCharacter.name);
                S().redraw = 1;
            } else {
                S().nameCheck = 0;
                SetCharacterPage(player, 3);
            }
        }
    }
    if (TakeButtonPress(1) >= 0) {
        SaveCharacterFile(player, S().slot);
        S().hasCharacter = 1;
        if (S().page == 7) {
            PlayGameSound(0, 0, 0);
            SetCharacterPage(player, 0);
        } else {
            EndScreen();
        }
    }
    if (TakeButtonPress(0) >= 0) {
        OpenDeleteBox();
        SetCharacterPage(player, 6);
    }
    if (TakeButtonPress(8) >= 0 && V(113) > 0) {
        ResearchList(S().selectedPick);
        PlayGameSound(0, 0, 0);
        SetCharacterPage(player, 1);
    }
    if (TakeButtonPress(2) >= 0 || TakeButtonPress(7) >= 0)
        EndScreen();
    if (TakeButtonPress(9) >= 0) {
        ReadySpell(S().selectedReadied, S().selectedPick, S().selectedPosition);
        PlayGameSound(0, 0, 0);
        S().redraw = 1;
    }
    if (TakeButtonPress(29) >= 0) {
        ClearReadiedSpell(S().selectedReadied);
        PlayGameSound(0, 0, 0);
        S().redraw = 1;
    }
    if (TakeButtonPress(73) >= 0 || TakeButtonPress(74) >= 0) {
        S().bank = CharacterButtons[S().currentButton].id == 74 ? 1 : 0;
        S().selectedReadied = S().selectedReadied % 20 + S().bank * 20;
        PlayGameSound(0, 0, 0);
        S().redraw = 1;
    }
    if (TakeButtonPress(5) >= 0) {
        PlayGameSound(0, 0, 0);
        if (S().page == 2)
            SetCharacterPage(player, 3);
        else if (S().page == 3)
            SetCharacterPage(player, 5);
    }
    if (TakeButtonPress(4) >= 0) {
        PlayGameSound(0, 0, 0);
        if (S().page == 3)
            SetCharacterPage(player, 2);
        else if (S().page == 5)
            SetCharacterPage(player, 3);
    }
    if (TakeButtonPress(6) >= 0) {
        if (S().page == 7) {
            PlayGameSound(0, 0, 0);
        } else {
            FinishCharacter(player);
            S().hasCharacter = 1;
        }
        SetCharacterPage(player, 0);
    }
    // The delete box: the window system may end it without a choice.
    if (S().deleteOpen && !gwsFindPopup(S().deleteTicket) && S().deleteChoice == 0) {
        S().deleteOpen = 0;
        SetCharacterPage(player, 0);
    }
    if (S().deleteChoice == 1) {
        CloseDeleteBox();
        S().deleteChoice = 0;
        if (Online() && g_login.privilegeLevel == 0)
            DeleteName(&player, PlainName().c_str());
        DeleteCharacterSlot(S().slot);
        S().hasCharacter = 0;
        EndScreen();
    } else if (S().deleteChoice == 2) {
        CloseDeleteBox();
        S().deleteChoice = 0;
        SetCharacterPage(player, 0);
    }
    // The screen does not end under an open delete box: that counts as keeping the character.
    if (S().ended && S().deleteOpen) {
        CloseDeleteBox();
        S().ended = 0;
        SetCharacterPage(player, 0);
    }
}

// ---- Drawing ------------------------------------------------------------------------------------

namespace {

void DrawButtons() {
    for (const CharacterButton& b : CharacterButtons) {
        if (!b.used)
            continue;
        const int w = b.x2 - b.x1, h = b.y2 - b.y1;
        const bool picture = b.id == 11 || b.id == 12 || b.id == 13 || b.id == 17;
        if (picture && g_art && g_art->professions.Pixels16()) {
            const int row = b.id == 11 ? 0 : b.id == 17 ? 1 : b.id == 13 ? 2 : 3;
            const bool chosen = V(114) == row;
            g_screen.BlitImageCell(g_art->professions, b.x1, b.y1, chosen ? 1 : 0, 2, row, 4, 0);
            continue;
        }
        g_screen.FillRect16(b.x1, b.y1, w, h, MakePixel16(b.hover ? 70 : 44, b.hover ? 78 : 50, b.hover ? 112 : 78));
        g_screen.DrawBevelFrame(b.x1, b.y1, w, h, 2);
        Text(b.x1 + (w - TextWidth(b.label, kFont)) / 2, b.y1 + (h - FontTable[kFont].height) / 2, b.label,
             b.hover ? 4 : 0);
    }
}

void DrawTabs() {
    const char* names[2] = {"Spells", "Statistics"};
    for (int t = 0; t < 2; ++t) {
        const int x = 560 + t * 110;
        const bool chosen = t == S().page;
        g_screen.FillRect16(x, 20, 100, 32, chosen ? MakePixel16(110, 84, 34) : MakePixel16(30, 34, 50));
        g_screen.DrawBevelFrame(x, 20, 100, 32, 2);
        Text(x + (100 - TextWidth(names[t], kFont)) / 2, 30, names[t], 0);
    }
}

void DrawSheetPage() {
    char line[120];
    std::snprintf(line, sizeof line, "%s", PlainName().c_str());
    Text(40, 40, line, 4, kTitleFont);
    DrawTabs();
    Text(40, 78, "Spell Lists", 4);
    int row = 0;
    for (int i = 0; i < 10; ++i) {
        const int list = V(134 + i);
        if (list < 1 || list > 49)
            continue;
        const char* name = SpellListTable[list].name[0] ? SpellListTable[list].name : "List";
        std::snprintf(line, sizeof line, "%s (%d)", name, V(144 + i));
        Text(40, kSheetTop + row++ * kSheetRowHeight, line, i == S().selectedPick ? 4 : 0);
    }
    Text(260, 78, "Spells", 4);
    row = 0;
    for (int p = 1; p <= UsablePositions(S().selectedPick) && row < kSheetRows; ++p) {
        const int spell = SpellAtPosition(S().selectedPick, p);
        if (!spell)
            continue;
        std::snprintf(line, sizeof line, "%2d %s", p, SpellName(spell));
        Text(260, kSheetTop + row++ * kSheetRowHeight, line, p == S().selectedPosition ? 4 : 0);
    }
    Text(500, 78, S().bank ? "Readied 6-0" : "Readied 1-5", 4);
    for (int i = 0; i < 20; ++i) {
        const int slot = i + S().bank * 20;
        const int spell = V(25 + slot);
        std::snprintf(line, sizeof line, "%d.%d %s", i / 5 + 1, i % 5 + 1, spell ? SpellName(spell) : "-");
        Text(500, 100 + i * kRowHeight + i / 5 * 6, line, slot == S().selectedReadied ? 4 : 0);
    }
}

void DrawStatisticsPage() {
    char line[120];
    Text(40, 40, PlainName().c_str(), 4, kTitleFont);
    DrawTabs();
    std::snprintf(line, sizeof line, "%s level %s", OrdinalWord(V(0)), ProfessionName(V(114)));
    Text(40, 80, line);
    std::snprintf(line, sizeof line, "Hit Points: %d / %d", V(107), V(108));
    Text(40, 100, line);
    std::snprintf(line, sizeof line, "Power Points: %d / %d", V(109), V(110));
    Text(40, 120, line);
    std::snprintf(line, sizeof line, "Experience: %d", V(1));
    Text(40, 140, line);
    std::snprintf(line, sizeof line, "Needed for %s: %d", OrdinalWord(V(0) + 1), ExperienceForLevel(V(0)) * 100);
    Text(40, 160, line);
    for (int n = 0; n < kStatLabels; ++n) {
        std::snprintf(line, sizeof line, "%-13s %d", kStatNames[n], V(5 + n));
        Text(40, 200 + n * kRowHeight, line);
    }
    const int picks = V(113);
    if (picks == 0)
        std::snprintf(line, sizeof line, "You currently have no Spell List Picks.");
    else if (picks == 1)
        std::snprintf(line, sizeof line, "You currently have 1 Spell List Pick.");
    else
        std::snprintf(line, sizeof line, "You currently have %d Spell List Picks.", picks);
    Text(420, 260, line);
    Text(420, 282, "Spell Lists", 4);
    Text(650, 282, "Known", 4);
    int row = 0;
    for (int i = 0; i < 10; ++i) {
        const int list = V(134 + i);
        if (list < 1 || list > 49)
            continue;
        Text(420, 300 + row * kRowHeight, SpellListTable[list].name[0] ? SpellListTable[list].name : "List",
             i == S().selectedPick ? 4 : 0);
        std::snprintf(line, sizeof line, "%d", V(144 + i));
        Text(650, 300 + row++ * kRowHeight, line);
    }
    static const char* const kHelp[] = {"Strength increases jump distance and fatigue regeneration",
                                        "Quickness increases running speed.", "Agility increases strafing speed.",
                                        "Constitution increases hit points.",
                                        "Empathy increases power for Magicians and Runemages.",
                                        "Presence increases power for Mystics.", "Intuition increases power for Healers."};
    // Beside the statistics, above the picks: the figure stage takes the lower middle.
    for (int i = 0; i < 7; ++i)
        Text(270, 80 + i * 16, kHelp[i]);
}

void DrawNamePage() {
    Text(400 - TextWidth("New Character Creation", kTitleFont) / 2, 60, "New Character Creation", 4, kTitleFont);
    Text(120, 132, "Enter Name:");
    g_screen.FillRect16(kNameBoxX, kNameBoxY, kNameBoxW, kNameBoxH, 0);
    g_screen.DrawRectFrame(kNameBoxX - 1, kNameBoxY - 1, kNameBoxW + 2, kNameBoxH + 2, MakePixel16(220, 184, 96), 1);
    Text(120, 180, "Your character's name must be more than three letters");
    Text(120, 198, "in length and must consist of alphanumeric characters.");
    static const char* const kChecks[] = {"", "Duplicate Name Found!  Please Enter a New Name.",
                                          "Illegal Name!  Please Enter a New Name.",
                                          "Server Timed Out!  Please Enter a New Name."};
    Text(120, 240, kChecks[std::clamp(S().nameCheck, 0, 3)], 4);
}

void DrawProfessionPage() {
    char line[80];
    std::snprintf(line, sizeof line, "Name: %s", PlainName().c_str());
    Text(150, 80, line, 4, kTitleFont);
    Text(150, 160, "Choose Profession:");
}

void DrawLooksPage() {
    char line[80];
    std::snprintf(line, sizeof line, "Name: %s", PlainName().c_str());
    Text(60, 80, line, 4, kTitleFont);
    std::snprintf(line, sizeof line, "%s level %s", OrdinalWord(V(0)), ProfessionName(V(114)));
    Text(60, 104, line);
    Text(60, 124, "Choose Model");
    Text(60, 204, "Choose Head");
    Text(60, 284, "Choose Body");
    if (g_art && g_art->portraits.Pixels16())
        g_screen.BlitImageCell(g_art->portraits, 60, 400, S().looksType * 2 + (S().image & 1), 6, 0, 1, 0);
}

void DrawRaisePage() {
    char line[100];
    std::snprintf(line, sizeof line, "You raised to %s level !", OrdinalWord(V(0)));
    Text(60, 60, line, 4, kTitleFont);
    Text(60, 100, "Use the Up and Down arrow keys to select a stat.");
    Text(60, 118, "Use the Right and Left arrow keys to distribute your points.");
    for (int n = 0; n < kRaisableStats; ++n) {
        std::snprintf(line, sizeof line, "%-13s %d", kRaisableNames[n], RaisableStatValue(n));
        Text(80, 160 + n * kRowHeight, line, n == S().selectedStat ? 4 : 0);
    }
    std::snprintf(line, sizeof line, "You have %d points to add to your statistics.", V(113));
    Text(60, 300, line);
}

}  // namespace

void DrawCharacterSheet(LocalPlayer&) {
    const uint16_t* background = g_screen.SnapshotPixels();
    if (background && g_screen.backBuffer)
        std::memcpy(g_screen.backBuffer, background, sizeof(uint16_t) * kScreenPixels);
    switch (S().page) {
    case 0:
        DrawSheetPage();
        break;
    case 1:
        DrawStatisticsPage();
        break;
    case 2:
        DrawNamePage();
        break;
    case 3:
        DrawProfessionPage();
        break;
    case 5:
        DrawLooksPage();
        break;
    case 7:
        DrawRaisePage();
        break;
    default:
        break;
    }
    // The statue stands beside the looks, right of the figure stage; the sheet's pages have their
    // lists there.
    if (g_art && g_art->statue.Pixels16() && S().page == 5)
        g_screen.BlitImage(g_art->statue, kFigureStage.right + 120, 140, 1);
    DrawButtons();
    g_screen.QueueDirtyRect(0, 0, kScreenWidth, kScreenHeight, 1);
    S().redraw = 0;
}

// ---- The screen ---------------------------------------------------------------------------------

int CharacterCreation(LocalPlayer& player, int slot) {
    if (slot < 0 || slot >= kCharacterSlots)
        slot = g_currentSlot >= 0 && g_currentSlot < kCharacterSlots ? g_currentSlot : 0;
    g_screenState = 7;
    CharacterArt art;
    g_art = &art;
    LoadScreenArt(art.statue, "statues//large.pcx");
    LoadScreenArt(art.portraits, "charport.pcx");
    LoadScreenArt(art.professions, "profbtns.pcx");
    LoadScreenArt(art.remove, "delete0.pcx");
    LoadScreenArt(art.removeHighlight, "delete1.pcx");
    ShowMouseCursor();
    ReadGameClock();
    S() = CharacterScreenState{};
    S().slot = slot;
    g_currentSlot = slot;
    S().previewColour = 1;
    S().page = -1;
    LoadCharacterFile(player, slot);
    SetProfessionStats(player, V(114));
    S().looksType = player.figure_imagenum == 202 ? 1 : player.figure_imagenum == 203 ? 2 : 0;
    S().head = player.body_variant;
    S().image = player.head_variant;
    LoadMenuFigure("sgfs/main.sgf");
    ActivateMenuFigureScene();
    g_screen.LoadScreenPicture(g_screenFiles.characterBack);
    g_screen.SnapshotBackBuffer();

    if (Online()) {
        uint8_t copy[kServiceCopySize];
        ReadServiceCopy(slot, copy);
        S().hasCharacter = SlotRequestState[slot] == 2 && copy[4] != 0;
    } else {
        uint8_t slots[kCharacterSlotBytes];
        ReadCharacterSlots(slots);
        S().hasCharacter = slots[kCharacterRecordSize * slot] != 0;
    }
    if (!S().hasCharacter)
        SetCharacterPage(player, 2);
    else
        SetCharacterPage(player, CheckLevelUp(player) ? 7 : 0);
    g_screen.ZoomTransition(0, 500);
    g_screen.QueueDirtyRect(0, 0, kScreenWidth, kScreenHeight, 1);
    g_screen.PresentScreen();

    uint32_t last = ReadGameClock();
    while (!S().ended && !ScreenEndRequested()) {
        const uint32_t now = ReadGameClock();
        BlockRead();
        CharacterCreationInput(player);
        POINT cursor{};
        GetCursorPos(&cursor);
        gwsMouseMove(cursor.x, cursor.y, -1, 0);
        if (S().redraw)
            DrawCharacterSheet(player);
        ActOnCharacterButtons(player);
        DrawFigureFrame(static_cast<int>(now - last));
        last = now;
        if (!S().hasCharacter && S().page == 2 && !S().nameNeeded) {
            std::string name = PlainName();
            for (char& c : name)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (name == "noname" || name.empty())
                S().nameNeeded = 1;
        }
    }

    // A deleted character's name was released with it and the name is empty by now.
    if (!S().hasCharacter && S().page != 2 && !PlainName().empty())
        DeleteName(&player, PlainName().c_str());
    for (int g = 0; g <= 3; ++g)
        ClearClickRegions(g);
    SetCursorMode(1);
    RemoveButtons();
    if (S().deleteOpen)
        CloseDeleteBox();
    g_art = nullptr;
    g_screen.FreeSnapshot();
    DetachMenuFigure();
    DestroyMenuFigureScene();
    return 0;
}
