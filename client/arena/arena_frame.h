#pragma once
// The simulation step of every arena frame, and the level's animated textures it turns.

struct LocalPlayer;

// Bolts, objects, doors, animated textures, thins and the ambient sound advance by one frame: ms in milliseconds,
// frame the same time in 0.1 ms.
void RunArenaSimulation(LocalPlayer& player, int ms, int frame);

// Every animated texture with a frame time moves on by ms: one frame steps to the next when its
// time has passed; a single frame keeps a phase 0..255 through its time.
void AnimateImages(int ms);
// The frame, phase and time of animated texture n (tests and the presentation read them).
struct AnimatedImage {
    int accumulator, phase, frame;
};
const AnimatedImage& GetAnimatedImage(int n);
// At arena entry every animation starts at its first frame.
void ResetAnimatedImages();
