#pragma once
// The per-frame update of every world object: movement, smoothing, figures, turning, images,
// lifetimes, effect slots, offline monsters and the generators. Frame times in 0.1 ms.

struct LocalPlayer;

void UpdateObjects(LocalPlayer& player, int frame);
// Moves the object by its speeds over the frame in pieces of at most 8 units.
void MoveWorldObject(LocalPlayer& player, int slot, int frame);
// 1 when the point ahead (px, py) lies across the thin from the object.
int ObjectCrossesThin(int slot, int px, int py, int thin);
void SmoothObjectMotion(int slot, int frame);
void AdvanceObjectImage(int slot, int frame);
void TickObjectLifetime(LocalPlayer& player, int slot, int frame);
void TickObjectEffects(int slot, int frame);
