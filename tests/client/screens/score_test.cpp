// The score screen's texts and the high-score lists.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "client/arena/game_input.h"
#include "client/arena/local_player.h"
#include "client/core/game_values.h"
#include "client/core/numeric.h"
#include "client/net/client_tables.h"
#include "client/screens/character_rules.h"
#include "client/screens/character_state.h"
#include "client/screens/score_screen.h"
#include "common/text.h"
#include "client/screens/fonts.h"
#include "tests/client/screens/screen_fixture.h"
#include "tools/writers/menu_scene.h"

namespace {

class ScoreFixture : public ScreenFixture {
protected:
    void SetUp() override {
        ScreenFixture::SetUp();
        StartScreen();
        ResetGameValues();
        ResetArenaList();
        std::memset(SavedPlayerTable, 0, sizeof SavedPlayerTable);
        std::memset(&player, 0, sizeof player);
        g_localPlayer = &player;
        std::memset(g_currentCharacter.name, 0, sizeof g_currentCharacter.name);
        CopyText(g_currentCharacter.name, "Thorn");
        SwapOddNibbles(g_currentCharacter.name);
        ArenaTable[2].id = 2;
        CurrentArena = 2;
        match().player_count = 6;
        match().match_length = 1800;
        g_linkState = 2;
        SetGameValue(4, 2);
        SetGameValue(0, 5);
        SetGameValue(114, 2);
        PlayingSeconds = 600;
    }
    void TearDown() override {
        g_localPlayer = nullptr;
        g_linkState = 1;
        CurrentArena = -1;
        ScreenFixture::TearDown();
    }
    static ArenaMatch& match() { return ArenaTable[2].match; }
    // Fills saved entry i; the table counts as filled once entry 0 has an id.
    void Saved(int i, int id, const char* name, int team, int kills, int deaths, int raises, int biases) {
        if (SavedPlayerTable[0].id == 0 && i != 0)
            SavedPlayerTable[0].id = kFreeId;
        PlayerTableEntry& p = SavedPlayerTable[i];
        p.id = static_cast<uint16_t>(id);
        CopyText(p.name, name);
        p.team = static_cast<uint16_t>(team);
        p.kills = static_cast<uint16_t>(kills);
        p.deaths = static_cast<uint16_t>(deaths);
        p.raises = static_cast<uint16_t>(raises);
        p.biases = static_cast<uint16_t>(biases);
    }
    void FreeTheRest() {
        for (PlayerTableEntry& p : SavedPlayerTable)
            if (p.id == 0)
                p.id = kFreeId;
    }
    static std::vector<std::string> Texts() {
        std::vector<std::string> out;
        for (const ScreenText& t : ScoreScreenTexts())
            out.push_back(t.text);
        return out;
    }
    static bool Has(const std::string& text) {
        const std::vector<std::string> all = Texts();
        return std::find(all.begin(), all.end(), text) != all.end();
    }
    static const ScreenText* Find(const std::string& text) {
        static std::vector<ScreenText> all;
        all = ScoreScreenTexts();
        for (const ScreenText& t : all)
            if (t.text == text)
                return &t;
        return nullptr;
    }
    LocalPlayer player{};
};

TEST_F(ScoreFixture, TheTitleSaysHowTheMatchEnded) {
    const struct {
        int link, finished, winner;
        const char* title;
        int colour;
    } cases[] = {
        {2, 1, 3, "DRAGON HAS TRIUMPHED!", 1}, {2, 1, 5, "GRYPHON HAS TRIUMPHED!", 2},
        {2, 1, 4, "PHOENIX HAS TRIUMPHED!", 3}, {2, 1, 1, "The Match was a Draw!", 4},
        {2, 0, 3, "MATCH IN PROGRESS", 4},     {1, 1, 3, "SINGLE-PLAYER ARENA", 4},
    };
    for (const auto& c : cases) {
        g_linkState = c.link;
        match().finished = static_cast<uint8_t>(c.finished);
        match().winner = static_cast<uint8_t>(c.winner);
        const std::vector<ScreenText> texts = ScoreScreenTexts();
        ASSERT_FALSE(texts.empty());
        EXPECT_EQ(texts[0].text, c.title);
        EXPECT_EQ(texts[0].colour, c.colour) << c.title;
        EXPECT_EQ(texts[0].font, 5);
    }
}

TEST_F(ScoreFixture, ExperienceNeedsFourPlayersAndShowsTheNextLevel) {
    player.kills = 3;
    player.biases = 250;
    SetGameValue(132, 40);
    SetGameValue(106, 2);
    SetGameValue(133, -5);
    const int entry = ExperienceForLevel(5);
    SetGameValue(1, 100 * entry - 1);
    EXPECT_TRUE(Has("Thorn the 5th level Mystic of Gryphon"));
    EXPECT_TRUE(Has("3 Kills"));
    EXPECT_TRUE(Has("2 Biases"));
    EXPECT_TRUE(Has("Match Exp:"));
    EXPECT_TRUE(Has("42"));
    EXPECT_TRUE(Find("Bonus Exp:") != nullptr);
    EXPECT_FALSE(Has("-5")) << "a negative bonus shows as 0";
    EXPECT_TRUE(Has("Exp to level 6:"));
    EXPECT_TRUE(Has("1"));
    EXPECT_TRUE(Has("10 minutes played on Gryphon (out of 30 minutes)"));

    SetGameValue(1, 100 * entry);
    EXPECT_TRUE(Has("You can make 6th level!"));
    EXPECT_EQ(Find("Go to the Character Manager to raise your level.")->colour, 4);
    EXPECT_FALSE(Has("Exp to level 6:"));

    SetGameValue(133, 7);
    EXPECT_TRUE(Has("7"));
    EXPECT_TRUE(Has("49")) << "match and bonus experience";
    match().player_count = 4;
    EXPECT_TRUE(Has("Match Exp:")) << "four players earn experience";
    match().player_count = 3;
    EXPECT_TRUE(Has("No Exp - Too Few Players in Arena"));
    EXPECT_FALSE(Has("Match Exp:"));
    EXPECT_TRUE(Has("Exp to Date:"));
}

TEST_F(ScoreFixture, TheTenBestAreRankedByScoreInTableOrderOnTies) {
    // Score = kills + raises / 2 + biases / 4 - deaths.
    const char* names[12] = {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l"};
    const int kills[12] = {1, 9, 5, 5, 0, 7, 2, 3, 4, 6, 8, 5};
    for (int i = 0; i < 12; ++i)
        Saved(i, 40 + i, names[i], 1 + i % 3, kills[i], 1, 2, 4);
    FreeTheRest();
    int ranked[10];
    ASSERT_EQ(RankSavedPlayers(ranked, 10), 10);
    std::string order;
    for (int r : ranked)
        order += SavedPlayerTable[r].name;
    EXPECT_EQ(order, "bkfjcdlihg") << "c, d and l tie at 6 and keep their order";
    EXPECT_EQ(MatchScore(kills[1], 1, 2, 4), 10);
    const ScreenText* first = Find("b");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->colour, 2) << "b is Gryphon's";
    EXPECT_TRUE(Has("10"));
    EXPECT_FALSE(Has("a")) << "the eleventh is not listed";
    EXPECT_FALSE(Has("e"));
}

TEST_F(ScoreFixture, NoTextRunsUnderTheFigurePreview) {
    // The preview draws where the menu scene's camera puts it, over whatever the screen drew.
    EXPECT_EQ(kFigureStage.left, kMenuStageLeft);
    EXPECT_EQ(kFigureStage.top, kMenuStageTop);
    EXPECT_EQ(kFigureStage.right, kMenuStageLeft + kMenuStageWidth);
    EXPECT_EQ(kFigureStage.bottom, kMenuStageTop + kMenuStageHeight);
    // The fullest screen: ten rows of long names, every experience line, the level-up lines and
    // large totals.
    for (int i = 0; i < 12; ++i)
        Saved(i, 40 + i, "Wwwwwwwwwwwwwwwwwwwwwwwwwwwwww", 1 + i % 3, 999, 999, 999, 999);
    FreeTheRest();
    player.kills = player.deaths = player.raises = 99999;
    player.biases = 9999900;
    for (int k = 0; k < 3; ++k)
        match().team_points[k] = 999999;
    SetGameValue(132, 99999);
    SetGameValue(133, 99999);
    SetGameValue(1, 100 * ExperienceForLevel(5));
    const std::vector<ScreenText> texts = ScoreScreenTexts();
    ASSERT_TRUE(std::any_of(texts.begin(), texts.end(), [](const ScreenText& t) { return t.text == "PHOENIX"; }));
    for (const ScreenText& t : texts) {
        const int right = t.x + TextWidth(t.text.c_str(), t.font), bottom = t.y + FontTable[t.font].height;
        EXPECT_FALSE(Overlaps(ScreenBox{t.x, t.y, right, bottom}, kFigureStage)) << t.text << " at " << t.x << "," << t.y;
        EXPECT_TRUE(t.x >= 0 && right <= 800 && t.y >= 0 && bottom <= 600) << t.text << " off the screen";
    }
}

TEST_F(ScoreFixture, ASavedTableNeverFilledListsNobody) {
    int ranked[10];
    EXPECT_EQ(RankSavedPlayers(ranked, 10), 0);
    EXPECT_TRUE(Has("Rank"));
    EXPECT_FALSE(Has("1")) << "no rank column";
    EXPECT_TRUE(Has("Kills: 0"));
}

TEST_F(ScoreFixture, TeamTotalsAddTheOwnStatistics) {
    match().team_points[0] = 11;
    match().team_points[1] = 22;
    match().team_points[2] = 33;
    Saved(0, 50, "x", 2, 4, 1, 2, 3);
    Saved(1, 51, "y", 2, 1, 2, 0, 5);
    Saved(2, 52, "z", 1, 7, 0, 0, 0);
    FreeTheRest();
    player.kills = 10;
    player.deaths = 1;
    player.raises = 1;
    player.biases = 300;
    const std::vector<std::string> t = Texts();
    auto after = [&](const char* head) {
        const auto it = std::find(t.begin(), t.end(), head);
        return it == t.end() ? std::vector<std::string>{} : std::vector<std::string>(it + 1, it + 6);
    };
    EXPECT_EQ(after("GRYPHON"), (std::vector<std::string>{"Points: 22", "Kills: 15", "Raises: 3", "Deaths: 4", "Biases: 11"}));
    EXPECT_EQ(after("DRAGON"), (std::vector<std::string>{"Points: 11", "Kills: 7", "Raises: 0", "Deaths: 0", "Biases: 0"}));
    EXPECT_EQ(after("PHOENIX"), (std::vector<std::string>{"Points: 33", "Kills: 0", "Raises: 0", "Deaths: 0", "Biases: 0"}));
    EXPECT_TRUE(Has("Press Escape to Continue"));
    EXPECT_TRUE(Has("x")) << "the first saved entry is ranked too";
}

TEST_F(ScoreFixture, TheHighScoreListsMatchTheirGolden) {
    std::memset(HighScoreLists, 0, sizeof HighScoreLists);
    const char* names[4][3] = {{"Merlin", "Morgana", "An Extraordinarily Long Name Of A Mage"},
                               {"Zed", "", ""}, {"Ada", "Bea", ""}, {"", "", ""}};
    for (int l = 0; l < 4; ++l)
        for (int k = 0; k < 3; ++k) {
            CopyText(HighScoreLists[l][k].name, names[l][k]);
            HighScoreLists[l][k].level = 30 - k * 7 - l;
        }
    HighScoreLists[0][3].level = 99;  // a level beyond the names: no name, so "<empty>"
    std::fill_n(g_screen.backBuffer, kScreenPixels, 0);
    DrawHighScores();
    std::string message;
    EXPECT_TRUE(ddtest::MatchesGolden(goldenDir, "high_scores", BackBufferImage(), 0, 0, &message)) << message;
}

}  // namespace
