#pragma once
// The sounds of where the player stands: sounds placed in the world, a cell's sound when the player
// steps onto it, and the looping ambient sound of the loudest sounding object nearby (or of the
// cell).
//
// A cell's sound code is the word its marker plane keeps (codes that are no marker); it names an
// entry of the level's sound-region table. Codes outside the table play nothing.

struct LocalPlayer;

// Plays a sound made at (x, y) as the player's view hears it: nothing from range away or farther in
// x or y, game volume 0 within a quarter of the range, 5 - d x 15 / range beyond (d the larger
// distance). Nothing without a sound, a range, a player view or sound on.
void PlaySoundAt(int x, int y, int sound, int range);

// The sound code of the cell at (x, y); 0 off the grid.
int CellSoundCode(int x, int y);
// When the code under the standing player changed, it is remembered and its sound, if any, plays
// once. The player in the air (eye above standing height) changes nothing.
void UpdateCellSound(const LocalPlayer& player);
// Every 200 ms of the ms given: the looping ambient sound becomes the loudest object sound within
// its range, or the cell's own sound when that is louder.
void UpdateAmbientSound(const LocalPlayer& player, int ms);

// Milliseconds since the ambient sound was last chosen.
extern int AmbientSoundClock;
