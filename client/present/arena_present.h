#pragma once
// The arena presentation as the game's services: the display, frame, cameras, fog, wire-frame,
// level of detail, viewer light, screen tint, room queries, world creation and its reset, the
// frame update, the HUD, thin walls, the figures (creation, placement, animation, textures, tints,
// lights, billboards, attachments), the figure tables and the menu preview.

#include <memory>

#include "client/present/present_services.h"

std::unique_ptr<PresentServices> MakeArenaPresent();
// Installs one for the rest of the run.
void InstallArenaPresent();
