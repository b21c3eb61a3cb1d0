#pragma once
// Interim, until the arena presentation is built: the display and frame operations over our
// DirectDraw (the 2D screen image composed into a frame and shown in the window); every other
// operation does nothing and answers 0.

#include <memory>

#include "client/present/present_services.h"

std::unique_ptr<PresentServices> MakeInterimPresent2D();
// Installs one for the rest of the run.
void InstallInterimPresent2D();
