#pragma once
// The score screen after a match and the high-score lists the service sends.

#include <cstdint>
#include <string>
#include <vector>

#include "client/net/client_tables.h"
#include "client/screens/figure_stage.h"

// The player table as it was when the match ended, kept for the score screen; emptied (first id
// 0) when an online match starts.
extern PlayerTableEntry SavedPlayerTable[kPlayerTableSize];
// The local player's playing time in the match, seconds.
extern int32_t PlayingSeconds;

// kills + raises / 2 + biases / 4 - deaths.
int MatchScore(int kills, int deaths, int raises, int biases);
// The used entries of the saved table, highest score first (equal scores in table order);
// none when the table was never filled. Returns the number of indices written (at most max).
int RankSavedPlayers(int* indices, int max);

struct ScreenText {
    int x, y, colour, font;
    std::string text;
};
// Every text of the score screen with its place, colour and font.
std::vector<ScreenText> ScoreScreenTexts();
void DrawScoreScreen();
void DrawHighScores();
