#pragma once
// The engine reads models and images through its replaceable opener; the game gives it the
// platform's game-file opener ('\' separators, names matched without regard to case), or figure
// textures named "figures\..." are never found.

namespace present {

void InstallGameFileOpener();

}  // namespace present
