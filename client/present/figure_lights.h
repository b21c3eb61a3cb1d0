#pragma once
// What figures carry besides their model: a point light that moves with the figure, a small
// billboard picture above it, and vertex lighting re-baked from the level's preburned lights; the
// tests whether a point or a figure is on the screen; and the sky dome that follows the viewer.
// Dimmers, ranges and heights come in hundredths, colours 0..255 per channel.

#include <cstdint>

#include "client/present/figure_table.h"

namespace present {

// Nothing when the figure is missing, has no record or already has a light.
void AttachFigureLight(int figure, int dimmer, int range, int red, int green, int blue, int height);
void SetFigureLight(int figure, int dimmer, int range, int red, int green, int blue);
void SetFigureLightRange(int figure, int range);
// 1 when a light was removed.
int RemoveFigureLight(int figure);
// Vertex colours from the preburned lights; 1, or 0 without a figure.
int RelightFigure(int figure);

// Stands a billboard's strip up: a quarter turn about the node's x axis.
void TurnQuarterAboutX(SgAVObject* node);

// A billboard number 1..49, or 0 (no scene, none free, no figure or no record).
int CreateFigureBillboard(int figure);
// 256 pixels of 32 bits, 16 rows of 16; null changes nothing.
void SetFigureBillboardPixels(int billboard, const uint32_t* pixels);
void SetFigureBillboardHeight(int billboard, int height);
void HideFigureBillboard(int figure);
void ShowFigureBillboard(int figure);
// Takes the billboard off the figure (the slot keeps it); 1, or 0 when there is none.
int DetachFigureBillboard(int figure);
// Frees the slot; the figure holding the billboard forgets it.
void RemoveFigureBillboard(int billboard);

// Engine coordinates; either 0 wants the whole sphere in front of the eye, 1 any of it.
int IsPointOnScreen(float x, float y, float z, float radius, int either);
// Game units: 1 when the figure exists and its foot or its head point is on the screen.
int IsFigureOnScreen(int figure, int x, int y, int z, int height, int radius, int either);

// Hangs template m (the sky dome is 199) under the sky node; 0 without the template.
int AttachSkyModel(int m);
// 16.16 hundredths of the viewer's position.
int MoveSkyWithViewer(int x, int y, int z);

}  // namespace present
