#pragma once
// Where the menu figure preview draws: the viewport of the preview camera in "sgfs/main.sgf",
// the main menu's stage. The after-match view and the character screen show the figure there
// over whatever they drew, so their texts and buttons keep out of it.

struct ScreenBox {
    int left, top, right, bottom;
};
inline constexpr ScreenBox kFigureStage{200, 330, 420, 580};

inline bool Overlaps(const ScreenBox& a, const ScreenBox& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}
