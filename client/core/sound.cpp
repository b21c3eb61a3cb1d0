#include "client/core/sound.h"

#include <algorithm>
#include <iterator>

#include "client/core/game_clock.h"
#include "client/core/sound_layer.h"
#include "common/random.h"

AmbientSoundSlot g_ambientSounds[kAmbientSoundSlots];
PlayingSoundEntry g_playingSounds[kPlayingSoundEntries];
int g_soundState = 0;
int g_musicEnabled = 0;
int g_currentMusic = 0;
int g_loopingAmbient = 0;

namespace {

bool SoundOn() {
    return g_soundState == 2;
}

AmbientSoundSlot* Slot(int slot) {
    return slot >= 0 && slot < kAmbientSoundSlots ? &g_ambientSounds[slot] : nullptr;
}

}  // namespace

int InitSoundSystem(const char* fileName, const char* soundDirectory) {
    InitSoundLayer(fileName, soundDirectory);
    LoadAllMilesSounds();
    SetSoundLayerState(2);
    g_soundState = 2;
    g_currentMusic = 0;
    g_loopingAmbient = 0;
    std::fill(std::begin(g_playingSounds), std::end(g_playingSounds), PlayingSoundEntry{});
    return 1;
}

void ShutdownSoundSystem() {
    ShutdownSoundLayer();
    // Nothing can play without the layer.
    g_soundState = 0;
    g_currentMusic = 0;
    g_loopingAmbient = 0;
}

void PlayGameSound(int sound, int volume, int pan) {
    if (!SoundOn())
        return;
    // Game volumes run from -10 to 0; nothing is louder than the sample itself.
    volume = std::clamp(volume, -10, 0);
    DoMilesSound(sound, (volume + 10) * 10, pan, 0);
}

void SetLoopingAmbient(int sound, int volume, int pan) {
    if (sound != 0 && !SoundOn())
        return;
    int layerVolume = volume + 100;
    if (sound == 0) {
        if (g_loopingAmbient)
            StopMilesSound(g_loopingAmbient);
    } else if (!g_loopingAmbient) {
        PlayLoopingSound(sound, layerVolume, pan);
    } else if (sound != g_loopingAmbient) {
        StopMilesSound(g_loopingAmbient);
        PlayLoopingSound(sound, layerVolume, pan);
    } else {
        ChangeVolume(sound, layerVolume);
    }
    g_loopingAmbient = sound;
}

void PlayAmbientSound(int slot, int distance) {
    AmbientSoundSlot* s = Slot(slot);
    if (!s || !SoundOn())
        return;
    int volume = 100 - distance;
    if (s->randomCount > 0) {
        int now = static_cast<int>(GameClock / 10000);
        if (s->playing && s->nextPlay > now)
            return;
        // One of the slot's run of sounds, picked at random.
        DoMilesSound(s->sound + GameRand() % s->randomCount, volume, 0, 0);
        s->lastPlay = now;
        if (s->maxInterval != s->minInterval)
            s->nextPlay = now + s->minInterval + GameRand() % (s->maxInterval - s->minInterval);
        else
            s->nextPlay = now + s->minInterval;
        s->playing = 1;
        return;
    }
    if (!s->playing)
        PlayLoopingSound(s->sound, volume, 0);  // centred: the layer adds 64 to the pan
    else
        ChangeVolume(s->sound, volume);
    s->playing = 1;
}

void StopAmbientSound(int slot) {
    AmbientSoundSlot* s = Slot(slot);
    if (!s)
        return;
    StopMilesSound(s->sound);
    s->playing = 0;
}

void StopPlayingSounds(int n) {
    for (int i = 0; i < kPlayingSoundEntries; ++i) {
        if (n != -1 && n != i)
            continue;
        if (g_playingSounds[i].active)
            StopMilesSound(g_playingSounds[i].sound);
        g_playingSounds[i] = PlayingSoundEntry{};
    }
}

void StopAllSounds() {
    int count = LoadedSoundCount();
    for (int i = 0; i < count; ++i)
        StopMilesSound(i);
    StopPlayingSounds(-1);
    SetLoopingAmbient(0, 0, 0);
}

void LoadMusic(int track) {
    LoadMilesMusic(track);
}

void UnloadMusic(int track) {
    UnloadMilesMusic(track);
}

void PlayMusic(int track, int loop) {
    if (!SoundOn() || g_musicEnabled != 2 || track == g_currentMusic || track < 0 || track >= kMusicTableSize)
        return;
    StopMilesMusic(g_currentMusic);
    if (track != 0)
        DoMilesMusic(track, loop);
    g_currentMusic = track;
}

void StopMusic() {
    StopMilesMusic(g_currentMusic);
    g_currentMusic = 0;
}

int SetSoundState(int state) {
    if (g_soundState == 0)
        return 0;
    g_soundState = state;
    return 1;
}
