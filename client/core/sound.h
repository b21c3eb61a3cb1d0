#pragma once
// The sound front end the game calls: sound effects by number with a game volume (-10 to 0), the
// one looping ambient sound, the level's ambient sound slots and the music tracks. Sound plays only
// while the sound state is 2. Sounds placed in the world are the arena's (ambient_sound.h): they
// are heard from the player's view.

constexpr int kAmbientSoundSlots = 20;
constexpr int kPlayingSoundEntries = 10;

// One ambient sound of the level (filled by the level loader). With a count of random sounds the
// slot plays one of sound .. sound + count - 1 now and then; without, it loops sound.
struct AmbientSoundSlot {
    int sound;
    int playing;
    int minInterval;  // seconds
    int maxInterval;
    int randomCount;
    int lastPlay;     // seconds of the game clock
    int nextPlay;
};

struct PlayingSoundEntry {
    int active;
    int sound;
};

extern AmbientSoundSlot g_ambientSounds[kAmbientSoundSlots];
extern PlayingSoundEntry g_playingSounds[kPlayingSoundEntries];
extern int g_soundState;    // 0 off, 2 on (1 when the player switched sound effects off)
extern int g_musicEnabled;  // 2 on
extern int g_currentMusic;  // 0 none
extern int g_loopingAmbient;  // 0 none

// Starts the sample layer with sounds.dat-style fileName and its section/directory, loads every
// sound and turns sound on. Returns 1.
int InitSoundSystem(const char* fileName, const char* soundDirectory);
void ShutdownSoundSystem();

void PlayGameSound(int sound, int volume, int pan);
void SetLoopingAmbient(int sound, int volume, int pan);
void PlayAmbientSound(int slot, int distance);
void StopAmbientSound(int slot);
void StopPlayingSounds(int n);
void StopAllSounds();

void LoadMusic(int track);
void UnloadMusic(int track);
void PlayMusic(int track, int loop);
void StopMusic();

int SetSoundState(int state);
