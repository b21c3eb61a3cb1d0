#include "client/screens/score_screen.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "client/arena/game_input.h"
#include "client/arena/local_player.h"
#include "client/core/game_values.h"
#include "client/core/numeric.h"
#include "client/net/net_match.h"
#include "client/screens/character_rules.h"
#include "client/screens/character_state.h"
#include "client/screens/fonts.h"
#include "client/screens/notice_lines.h"
#include "client/screens/screen_surface.h"
#include "common/text.h"

PlayerTableEntry SavedPlayerTable[kPlayerTableSize];
int32_t PlayingSeconds = 0;

namespace {

constexpr int kFont = 1;
constexpr int kTitleFont = 5;

uint16_t* Buffer() { return g_screen.backBuffer; }
void Text(int x, int y, int colour, const char* text) { DrawText(x, y, colour, text, 0, Buffer(), kFont, 0); }

// The score screen's texts as they are built, then drawn in one go.
std::vector<ScreenText>* collected = nullptr;
void Put(int x, int y, int colour, const char* text, int font = kFont) {
    collected->push_back(ScreenText{x, y, colour, font, text});
}
void PutCentred(int y, int colour, const char* text, int font) { Put(400 - TextWidth(text, font) / 2, y, colour, text, font); }

// A team's colour; teams outside 0..3 get the general colour.
int TeamColour(int team) { return team >= 0 && team < 4 ? TeamColorIndex(team) : 4; }

int EntryScore(const PlayerTableEntry& p) { return MatchScore(p.kills, p.deaths, p.raises, p.biases); }

struct Totals {
    int kills = 0, raises = 0, deaths = 0, biases = 0;
};

}  // namespace

int MatchScore(int kills, int deaths, int raises, int biases) { return kills + raises / 2 + biases / 4 - deaths; }

int RankSavedPlayers(int* indices, int max) {
    // A table never filled (offline, or a match not played to its end) has no rows.
    if (SavedPlayerTable[0].id == 0 || max <= 0)
        return 0;
    int ranked[kPlayerTableSize];
    int n = 0;
    for (int i = 0; i < kPlayerTableSize; ++i)
        if (SavedPlayerTable[i].id != kFreeId)
            ranked[n++] = i;
    std::stable_sort(ranked, ranked + n, [](int a, int b) {
        return EntryScore(SavedPlayerTable[a]) > EntryScore(SavedPlayerTable[b]);
    });
    n = std::min(n, max);
    std::copy(ranked, ranked + n, indices);
    return n;
}

std::vector<ScreenText> ScoreScreenTexts() {
    std::vector<ScreenText> texts;
    collected = &texts;
    const ArenaMatch* m = CurrentMatch();
    const ArenaMatch none{};
    const ArenaMatch& match = m ? *m : none;
    const bool connected = g_linkState == 2;
    char text[160];
    int y = 20;

    if (connected && match.finished) {
        const int team = match.winner == 3 ? 1 : match.winner == 5 ? 2 : match.winner == 4 ? 3 : 0;
        static const char* const kWins[4] = {"The Match was a Draw!", "DRAGON HAS TRIUMPHED!", "GRYPHON HAS TRIUMPHED!",
                                             "PHOENIX HAS TRIUMPHED!"};
        PutCentred(y, team ? TeamColour(team) : 4, kWins[team], kTitleFont);
    } else {
        PutCentred(y, 4, connected ? "MATCH IN PROGRESS" : "SINGLE-PLAYER ARENA", kTitleFont);
    }
    y += 40;

    const int ownTeam = GetGameValue(4);
    const LocalPlayer* self = g_localPlayer;
    const int kills = self ? self->kills : 0, deaths = self ? self->deaths : 0;
    const int raises = self ? self->raises : 0, biases = self ? self->biases / 100 : 0;
    FormatText(text, sizeof text, "%s the %s level %s of %s", CurrentCharacterName(),
               OrdinalWord(GetGameValue(0)), ProfessionName(GetGameValue(114)), TeamNameOf(ownTeam));
    Put(40, y, 4, text);
    y += 14;
    FormatText(text, sizeof text, "%d Kills", kills);
    Put(40, y, 5, text);
    FormatText(text, sizeof text, "%d Deaths", deaths);
    Put(140, y, 5, text);
    FormatText(text, sizeof text, "%d Raises", raises);
    Put(240, y, 5, text);
    FormatText(text, sizeof text, "%d Biases", biases);
    Put(340, y, 5, text);

    int ey = 60;
    const int matchExp = GetGameValue(132) + GetGameValue(106);
    const int bonus = std::max(GetGameValue(133), 0);
    auto expLine = [&](const char* label, int value) {
        Put(480, ey, 5, label);
        FormatText(text, sizeof text, "%d", value);
        Put(600, ey, 5, text);
        ey += 14;
    };
    if (match.player_count < 4) {
        Put(480, ey, 5, "No Exp - Too Few Players in Arena");
        ey += 14;
    } else {
        expLine("Match Exp:", matchExp);
        expLine("Bonus Exp:", bonus);
        expLine("Total Exp:", matchExp + bonus);
    }
    const int experience = GetGameValue(1);
    const int level = GetGameValue(0);
    expLine("Exp to Date:", experience);
    const int64_t needed = 100LL * ExperienceForLevel(level);
    if (experience < needed) {
        FormatText(text, sizeof text, "Exp to level %d:", level + 1);
        expLine(text, static_cast<int>(needed - experience));
    } else {
        FormatText(text, sizeof text, "You can make %s level!", OrdinalWord(level + 1));
        Put(480, ey, 4, text);
        ey += 14;
        Put(480, ey, 4, "Go to the Character Manager to raise your level.");
        ey += 14;
    }

    y = std::max(y + 20, ey + 6);
    FormatText(text, sizeof text, "%d minutes played on %s (out of %d minutes)", PlayingSeconds / 60, TeamNameOf(ownTeam),
               static_cast<int>(match.match_length / 60));
    Put(40, y, 5, text);
    y += 24;

    static const int kColumns[9] = {40, 85, 230, 320, 400, 460, 520, 580, 640};
    static const char* const kHeads[9] = {"Rank", "Name", "Class", "Team", "Score", "Kills", "Deaths", "Raises", "Biases"};
    for (int c = 0; c < 9; ++c)
        Put(kColumns[c], y, 4, kHeads[c]);
    y += 14;
    int ranked[10];
    const int rows = RankSavedPlayers(ranked, 10);
    for (int r = 0; r < rows; ++r, y += 12) {
        const PlayerTableEntry& p = SavedPlayerTable[ranked[r]];
        const int colour = TeamColour(p.team);
        const int values[5] = {EntryScore(p), p.kills, p.deaths, p.raises, p.biases};
        FormatText(text, sizeof text, "%d", r + 1);
        Put(kColumns[0], y, colour, text);
        CopyText(text, FieldText(p.name));
        FitTextToWidth(text, kFont, kColumns[2] - kColumns[1] - 4);
        Put(kColumns[1], y, colour, text);
        Put(kColumns[2], y, colour, ProfessionName(p.value16));
        Put(kColumns[3], y, colour, TeamNameOf(p.team));
        for (int c = 0; c < 5; ++c) {
            FormatText(text, sizeof text, "%d", values[c]);
            Put(kColumns[4 + c], y, colour, text);
        }
    }

    // The totals and the last line sit right of the figure's stage.
    y = kFigureStage.top + 10;
    static const char* const kTeams[4] = {"", "DRAGON", "GRYPHON", "PHOENIX"};
    for (int team = 1; team <= 3; ++team) {
        Totals t;
        if (SavedPlayerTable[0].id != 0)
            for (const PlayerTableEntry& p : SavedPlayerTable)
                if (p.id != kFreeId && p.team == team) {
                    t.kills += p.kills;
                    t.raises += p.raises;
                    t.deaths += p.deaths;
                    t.biases += p.biases;
                }
        if (team == ownTeam) {
            t.kills += kills;
            t.raises += raises;
            t.deaths += deaths;
            t.biases += biases;
        }
        const int x = kFigureStage.right + 30 + (team - 1) * 120;
        const int colour = TeamColour(team);
        Put(x, y, colour, kTeams[team]);
        const int points = static_cast<int>(match.team_points[team - 1]);
        const struct {
            const char* format;
            int value;
        } lines[5] = {{"Points: %d", points}, {"Kills: %d", t.kills}, {"Raises: %d", t.raises},
                      {"Deaths: %d", t.deaths}, {"Biases: %d", t.biases}};
        for (int k = 0; k < 5; ++k) {
            FormatText(text, sizeof text, lines[k].format, lines[k].value);
            Put(x, y + 14 + k * 12, colour, text);
        }
    }
    const char* const last = "Press Escape to Continue";
    Put((kFigureStage.right + kScreenWidth) / 2 - TextWidth(last, kFont) / 2, kFigureStage.bottom - 20, 4, last);
    collected = nullptr;
    return texts;
}

void DrawScoreScreen() {
    if (!Buffer())
        return;
    for (const ScreenText& t : ScoreScreenTexts())
        DrawText(t.x, t.y, t.colour, t.text.c_str(), 0, Buffer(), t.font, 0);
    g_screen.QueueDirtyRect(0, 0, kScreenWidth, kScreenHeight, 1);
}

void DrawHighScores() {
    if (!Buffer())
        return;
    g_screen.CopyFromBackground(10, 10, 620, 460);
    static const char* const kLists[4] = {"Magicians", "Mentalists", "Arcanists", "Clerics"};
    DrawText(320 - TextWidth("High Scores", kTitleFont) / 2, 14, 6, "High Scores", 0, Buffer(), kTitleFont, 0);
    for (int list = 0; list < 4; ++list) {
        const int x = 20 + (list % 2) * 310, top = 60 + (list / 2) * 200;
        Text(x, top, 6, kLists[list]);
        for (int k = 0; k < 10; ++k) {
            const HighScoreRecord& r = HighScoreLists[list][k];
            const int y = top + 16 + k * 16;
            if (!r.name[0]) {
                Text(x, y, 5, "<empty>");
                continue;
            }
            char name[61];
            CopyText(name, std::string_view(r.name, strnlen(r.name, sizeof r.name)));
            FitTextToWidth(name, kFont, 165);
            Text(x, y, 5, name);
            Text(x + 175, y, 5, OrdinalWord(r.level));
        }
    }
    g_screen.QueueDirtyRect(10, 10, 620, 460, 1);
}
