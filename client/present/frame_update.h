#pragma once
// The arena presentation's part of every frame: the view camera for the view mode (with the death
// and arrival sequences), the crosshair and the sky, the debug overlays, the HUD, the grid
// fixtures' animation and light, and the engine's actions. Also the colours of shrine and
// earthnode fixtures as they change hands, and frame.txt.

#include <cstdint>

namespace present {

// Seconds handed to the engine's actions; only grows.
extern float ActionClock;

void SgxUpdateFrame();
// Eye view (0) to chase view (1) and back; any other mode goes to the eye view. The new mode.
int ToggleViewMode();
void UpdateViewCamera();
void AnimateGridFixtures();
// frameTime in 0.1 ms; nothing without a world.
void AdvanceWorldTime(int frameTime);
// Drawn into the 2D back buffer at its top left.
void ShowPerformanceOverlay();
void ShowStatistics();

// Shrine 0..19 and earthnode 0..99 records; fixtures 1..49. Others do nothing.
void SetShrineColor(int shrine, int alignment, int power);
void SetEarthbloodColor(int earthnode, int alignment, int bias);

// Six zeros open or close frame.txt; otherwise one line while it is open (never flushed here).
void WriteFrameStats(int a, int b, int c, int d, int e, int f);
// The six values of the last line asked for (the performance overlay shows them).
extern int32_t FrameStatsValues[6];

// Ends the object's arm sequence: a raised or held part is taken off its figure.
void CancelArmSequence(int slot);

// Live animation timings and listed property animators of the engine.
int CountAnimationTimings();
int CountPropertyAnimators();

}  // namespace present
