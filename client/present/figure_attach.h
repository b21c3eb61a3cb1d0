#pragma once
// Attachments that follow a skeleton figure's bones each time the figure is placed: the ground
// marks under the feet, the part held in the right hand, and the overlay (a spell effect model)
// at a chosen body part; the overlay's element texture and colour.
//
// The positions are the world translations of the bones and of the figure node as last updated;
// offsets are taken in world axes and become the attachment's local translation.

#include <cstdint>

namespace present {

// height: the floor under the figure minus its position, in engine units (negative above the
// floor). More than 1.28 above the floor the marks hide and stay at that depth.
void PlaceFigureGroundMarks(int figure, float height);
void ShowFigureGroundMarks(int figure);
void HideFigureGroundMarks(int figure);
// 1 when the figure had ground marks (now detached), else 0.
int DetachFigureGroundMarks(int figure);
void PlaceFigureHeldPart(int figure);
// 1 when the figure had a held part (now detached), else 0.
int DetachFigureHeldPart(int figure);
// Parts 0..31 follow that bone, 64 the point between the fingers, 65 between the feet; other
// parts leave the overlay where it is.
void PlaceFigureOverlay(int figure);

// The copy of template model's "Spell" object (or the whole template) hung on the figure at the
// part, turned by mode 0..3, direction (0..4095) and tilt (degrees), replacing any overlay the
// figure had. 1, or 0 without the figure, its extra data or the template.
int CreateFigureOverlayModel(int figure, int model, int part, int mode, int direction, int tilt);
// 1 after removing the overlay, 0 when the figure, its extra data or its overlay is missing.
int RemoveFigureOverlay(int figure);
// The overlay's texture becomes element texture n (0..9; an empty entry or another number leaves
// it without one). 1, or 0 without an overlay.
int SetFigureOverlayElement(int figure, int n);
// The overlay's material becomes (r, g, b) / 255 in colours 1, 2 and 4. 1, or 0 without an overlay.
int SetFigureOverlayColor(int figure, int red, int green, int blue);
// Called for every new figure; does nothing.
int FigureCreatedHook(int figure);

}  // namespace present
