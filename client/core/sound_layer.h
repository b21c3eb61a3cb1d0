#pragma once
// The sample layer: loads the sounds and music tracks named in sounds.dat into memory and plays
// them on eight sample handles of the sample library (handle 0 carries the music, 1 to 7 the
// sounds). Each handle keeps three user values: kind (0 sound, 1 music), number and volume.
// With [sounds] debug=1 every step is written to sounderr.txt.

#include "platform/sound/ail.h"

constexpr int kSoundTableSize = 500;  // sound numbers 0 to 499
constexpr int kMusicTableSize = 20;   // tracks 0 to 19
constexpr int kSampleHandles = 8;
constexpr int kMusicSample = 0;

// User value slots of a handle.
constexpr unsigned kSampleUserKind = 0;
constexpr unsigned kSampleUserNumber = 1;
constexpr unsigned kSampleUserVolume = 2;
constexpr int kSampleKindSound = 0;
constexpr int kSampleKindMusic = 1;

// Layer state: 0 before start, 1 after start, 2 when the wave output opened.
int InitSoundLayer(const char* fileName, const char* directory);
void ShutdownSoundLayer();
int SoundLayerState();
void SetSoundLayerState(int state);

void LoadMilesSound(int n);
void LoadMilesMusic(int n);
void UnloadMilesMusic(int n);
// Loads sounds 0 to numsounds - 1 ([winsounds] numsounds, at most the table's 500); returns how
// many.
int LoadAllMilesSounds();
// The count LoadAllMilesSounds used.
int LoadedSoundCount();
bool SoundIsLoaded(int n);

int FindFreeSample();
int FindSoundSample(int n);
int MakeOpenMilesSample(int volume);
void DoMilesSound(int n, int volume, int pan, int loop);
void PlayLoopingSound(int n, int volume, int pan);
void ChangeVolume(int n, int volume);
void DoMilesMusic(int n, int loop);
void MilesLoopingCallback(HSAMPLE sample);
void StopMilesSound(int n);
void StopMilesMusic(int n);

// Handle i (0 to 7), null before start or when the wave output could not open.
HSAMPLE SoundLayerSample(int i);
