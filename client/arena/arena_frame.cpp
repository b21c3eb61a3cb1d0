#include "client/arena/arena_frame.h"

#include <algorithm>
#include <cstddef>

#include "client/arena/ambient_sound.h"
#include "client/arena/object_frame.h"
#include "client/arena/thin.h"
#include "client/arena/trigger.h"
#include "client/arena/world_effects.h"
#include "client/level/level_textures.h"
#include "common/random.h"

namespace {

AnimatedImage g_animations[kTextureCount];

}  // namespace

void RunArenaSimulation(LocalPlayer& player, int ms, int frame) {
    CheckWorldEffects(ms);
    UpdateObjects(player, frame);
    UpdateDoors(frame);
    AnimateImages(ms);
    UpdateThins(frame);
    UpdateAmbientSound(player, ms);
}

void AnimateImages(int ms) {
    for (int n = 0; n < kTextureCount; ++n) {
        const TextureEntry& e = g_textures.entries[n];
        AnimatedImage& a = g_animations[n];
        if (e.timer <= 0 || e.numframes <= 0)
            continue;
        if (a.second && a.secondTarget)
            *a.secondTarget = a.second;
        a.accumulator += ms;
        if (e.numframes == 1) {
            a.accumulator %= e.timer;
            a.phase = static_cast<int>(256LL * a.accumulator / e.timer);
            continue;
        }
        if (a.accumulator <= e.timer)
            continue;
        a.accumulator %= e.timer;
        // A flicker: from 1 back to 0 with chance 100 - p, from 0 on to 1 with chance p.
        if (a.flip > 0)
            a.frame = GameRand() % 100 < a.flip ? 1 : 0;
        else
            a.frame = (a.frame + 1) % (e.numframes < kTextureFrames ? e.numframes : kTextureFrames);
        const int image = e.frames[a.frame];
        if (image >= 0 && static_cast<size_t>(image) < g_textures.images.size() &&
            !g_textures.images[image].pixels.empty())
            g_textures.firstPixels[n] = g_textures.images[image].pixels.data();
    }
}

const AnimatedImage& GetAnimatedImage(int n) {
    static const AnimatedImage kNone{};
    return n >= 0 && n < kTextureCount ? g_animations[n] : kNone;
}

void SetImageFlip(int n, int percent) {
    if (n >= 0 && n < kTextureCount)
        g_animations[n].flip = std::clamp(percent, 0, 100);
}

void SetSecondImage(int n, const uint8_t* image, const uint8_t** target) {
    if (n < 0 || n >= kTextureCount)
        return;
    g_animations[n].second = image;
    g_animations[n].secondTarget = target;
}

void ResetAnimatedImages() {
    for (AnimatedImage& a : g_animations)
        a = {};
}
