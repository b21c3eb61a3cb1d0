#pragma once
// The simulation step of every arena frame, and the level's animated textures it turns.

#include <cstdint>

struct LocalPlayer;

// Bolts, objects, doors, animated textures, thins and the ambient sound advance by one frame: ms in milliseconds,
// frame the same time in 0.1 ms.
void RunArenaSimulation(LocalPlayer& player, int ms, int frame);

// Every animated texture with a frame time moves on by ms: one frame steps to the next when its
// time has passed, or flickers between its first two frames when it has a flip percentage; a
// single frame keeps a phase 0..255 through its time. A second image, when set, is put into its
// target every frame.
void AnimateImages(int ms);
// The frame, phase and time of animated texture n (tests and the presentation read them).
struct AnimatedImage {
    int accumulator, phase, frame;
    int flip;  // percent chance of going to (or staying on) frame 1 at each step; 0 steps in turn
    const uint8_t* second;
    const uint8_t** secondTarget;
};
const AnimatedImage& GetAnimatedImage(int n);
// Texture n flickers between frames 0 and 1: percent (held to 0..100) is the chance of frame 1.
void SetImageFlip(int n, int percent);
// Texture n puts image into *target every frame (null stops it).
void SetSecondImage(int n, const uint8_t* image, const uint8_t** target);
// At arena entry every animation starts at its first frame, without flips or second images.
void ResetAnimatedImages();
