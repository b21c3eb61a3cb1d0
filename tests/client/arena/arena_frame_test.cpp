#include <vector>

#include "client/arena/arena_frame.h"
#include "client/arena/monster_think.h"
#include "client/arena/spell.h"
#include "client/arena/world_effects.h"
#include "client/core/game_values.h"
#include "client/level/level_textures.h"
#include "tests/client/arena/arena_fixture.h"

namespace {

class ArenaFrame : public ArenaFixture {
protected:
    ArenaFrame() {
        ResetAnimatedImages();
        ForgetClones();
        ClearWorldEffects();
    }
    ~ArenaFrame() override {
        ClearTextureTable();
        ResetAnimatedImages();
        ForgetClones();
        ClearWorldEffects();
        FreeSpells();
    }
};

TEST_F(ArenaFrame, AnimatedTexturesStepOrTurnTheirPhase) {
    g_textures.images.resize(3);
    for (int i = 0; i < 3; ++i)
        g_textures.images[i].pixels.assign(4, static_cast<uint8_t>(i));
    TextureEntry& walk = g_textures.entries[5];
    walk.timer = 100;
    walk.numframes = 3;
    walk.frames[0] = 0;
    walk.frames[1] = 1;
    walk.frames[2] = 2;
    TextureEntry& glow = g_textures.entries[6];
    glow.timer = 200;
    glow.numframes = 1;
    TextureEntry& empty = g_textures.entries[7];
    empty.timer = 100;
    empty.numframes = 0;
    g_textures.entries[8].numframes = 3;  // no frame time: still

    const struct {
        int ms, frame, phase;
    } steps[] = {{60, 0, 76}, {40, 0, 128}, {10, 1, 140}, {150, 2, 76}, {110, 0, 217}};
    for (const auto& s : steps) {
        AnimateImages(s.ms);
        EXPECT_EQ(GetAnimatedImage(5).frame, s.frame) << s.ms;
        EXPECT_EQ(GetAnimatedImage(6).phase, s.phase) << s.ms;
        EXPECT_EQ(g_textures.firstPixels[5], s.frame || s.ms == 110 ? g_textures.images[s.frame].pixels.data()
                                                                      : nullptr)
            << s.ms;
    }
    EXPECT_EQ(GetAnimatedImage(7).frame, 0);
    EXPECT_EQ(GetAnimatedImage(7).accumulator, 0) << "no frames, nothing to turn";
    EXPECT_EQ(GetAnimatedImage(8).accumulator, 0);
}

TEST_F(ArenaFrame, AClonesMonsterComesOnceUntilItIsGone) {
    Generator& g = g_level.monsterGens[2];
    g.active = 1;
    g.kind = 3;
    g.maximum = 5;
    g.x = 640;
    g.y = 640;
    EXPECT_EQ(SpawnClone(2), 2);
    const int slot = g.object;
    ASSERT_GT(slot, 0);
    EXPECT_EQ(WorldObjectTable[slot].generator, 2);
    EXPECT_EQ(IsCloneLive(2), 1);
    EXPECT_EQ(SpawnClone(2), -1) << "still out";
    KillObject(slot);
    EXPECT_EQ(IsCloneLive(2), 0);
    EXPECT_EQ(SpawnClone(2), 2);
    EXPECT_NE(g.object, slot);
    for (int bad : {-1, 7})
        EXPECT_EQ(SpawnClone(bad), -1) << bad;
    g_level.monsterGens[0] = g;
    EXPECT_EQ(SpawnClone(0), 0) << "the first clone is a clone too";
    g_level.monsterGens[4].kind = 0;
    EXPECT_EQ(SpawnClone(4), -1) << "a generator of no monster";

    // The clone trigger spawns through it.
    ClearWorldObjects();
    ForgetClones();
    CloneTrigger trigger;
    trigger.which_clone = 2;
    trigger.On();
    EXPECT_EQ(IsCloneLive(2), 1);
}

TEST_F(ArenaFrame, OneStepMovesBoltsObjectsAndThinsTogether) {
    SetGameValue(115, 6);
    CSpellBolt& b = MakeSpell<CSpellBolt>(6, SPELL_BOLT);
    b.range = 400;
    b.max_timer = 1000;
    b.object_spacing = 40;
    b.imagenum = 3;
    ASSERT_EQ(b.Cast(player), 1);
    const int mover = Live(OBJ_MOVING, 3000, 3000);
    WorldObjectTable[mover].speed = 100;
    WorldObjectTable[mover].pos_x = 3000 << 16;
    WorldObjectTable[mover].pos_y = 3000 << 16;
    const int wall = MakeThin(3500, 3500, 3600, 3500, THIN_SPELL, 10);
    ThinTable[wall].target_height = 110;
    RunArenaSimulation(player, 100, 1000);
    EXPECT_EQ(WorldEffectTable[0].time, 100);
    int segments = 0;
    for (int s = 1; s < WorldObjectHighWater; ++s)
        segments += WorldObjectTable[s].active == 1 && WorldObjectTable[s].kind == 6;
    EXPECT_EQ(segments, 1) << "one period of 100 ms";
    EXPECT_EQ(WorldObjectTable[mover].y, 3010) << "100 units a second";
    EXPECT_EQ(ThinTable[wall].height, 21) << "a tenth of the way up";
}

}  // namespace

namespace {

TEST_F(ArenaFrame, AFlickeringTextureFlipsBetweenItsFirstTwoFramesByItsPercentage) {
    g_textures.images.resize(3);
    for (int i = 0; i < 3; ++i)
        g_textures.images[i].pixels.assign(4, static_cast<uint8_t>(i));
    for (int n : {5, 6, 7}) {
        TextureEntry& e = g_textures.entries[n];
        e.timer = 10;
        e.numframes = 3;
        for (int f = 0; f < 3; ++f)
            e.frames[f] = f;
    }
    SetImageFlip(5, 25);
    SetImageFlip(6, 100);
    SetImageFlip(7, 0);
    SetImageFlip(-1, 50);   // ignored
    SetImageFlip(250, 50);
    int ones = 0, stays = 0, leaves = 0, last = 0, steps = 0;
    for (int i = 0; i < 4000; ++i) {
        AnimateImages(11);
        const int f = GetAnimatedImage(5).frame;
        ASSERT_TRUE(f == 0 || f == 1) << "never frame 2";
        ASSERT_EQ(g_textures.firstPixels[5], g_textures.images[f].pixels.data());
        ones += f;
        if (last == 1)
            (f == 1 ? stays : leaves) += 1;
        last = f;
        ++steps;
        EXPECT_EQ(GetAnimatedImage(6).frame, 1) << "100%: always the second frame";
    }
    // About a quarter of the steps land on frame 1, whichever frame they left.
    EXPECT_NEAR(ones, steps / 4, steps / 20);
    EXPECT_NEAR(stays * 3, leaves, leaves / 5);
    EXPECT_EQ(GetAnimatedImage(7).frame, 4000 % 3) << "no percentage: every frame in turn";
    SetImageFlip(5, 400);
    EXPECT_EQ(GetAnimatedImage(5).flip, 100);
}

TEST_F(ArenaFrame, ASecondImageIsPutIntoItsTargetEveryFrame) {
    const uint8_t pixels[4] = {};
    const uint8_t* target = nullptr;
    g_textures.entries[9].timer = 100;
    g_textures.entries[9].numframes = 1;
    SetSecondImage(9, pixels, &target);
    AnimateImages(10);
    EXPECT_EQ(target, pixels);
    target = nullptr;
    AnimateImages(10);
    EXPECT_EQ(target, pixels) << "again the next frame";
    SetSecondImage(9, nullptr, &target);
    target = nullptr;
    AnimateImages(10);
    EXPECT_EQ(target, nullptr);
    SetSecondImage(9, pixels, &target);
    ResetAnimatedImages();
    AnimateImages(10);
    EXPECT_EQ(target, nullptr) << "entry forgets second images";
}

}  // namespace
