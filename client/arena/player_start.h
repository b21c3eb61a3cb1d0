#pragma once
// Putting the local player into an arena: the place it starts or is raised at, and its own figure
// that the others see.

struct LocalPlayer;

// Start places (mode): 0 the team's start, 1 its first raise point, 2 a raise point at random
// (online) or a transport destination at random (offline). Online the player lands somewhere in
// the start or raise cell; offline at its centre. Teams outside 0..3 start as team 0.
void PlacePlayerAtStart(LocalPlayer& player, int team, int mode);

// The player's own figure: a monster of the kind that never thinks, standing where the view is,
// labelled with the character's name in the team's colour. Its slot (0 when none is free) is
// stored in own_object and returned.
int CreateOwnPlayerObject(LocalPlayer& player, int kind);

// The own figure takes the player's figure choice, kept to the three player figures, when it
// differs from what the figure shows.
void TakePlayerFigure(const LocalPlayer& player);
