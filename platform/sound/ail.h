#pragma once
// The sample-playback library the game's sound layer is written against: start-up, one wave
// output (22050 Hz, stereo, 16-bit), sample handles that play sound file images read into memory
// with a volume, a pan, user values and an end-of-sample callback, and the status of each handle.
// The names and meanings follow the library the game was written for; everything is declared
// here. Sounds are WAV files, converted once when read.
//
// Two backends: SDL audio with our own mixer on SDL's audio thread, and a silent one (chosen in
// headless runs and tests) that renders nothing but moves every handle along the platform clock,
// so status, timing and callbacks are the same as with a device and exact with the virtual
// clock. Every call takes the library's lock; the end-of-sample callback runs inside the mixer
// with the lock held (on the audio thread with SDL, inside a library call or the message pump
// with the silent backend), so stopping a sample from the main thread cannot race it.

#include <cstdint>
#include <functional>
#include <string>

#include "platform/win/win.h"

struct DigitalDriverObject;
struct SampleObject;
using HDIGDRIVER = DigitalDriverObject*;
using HSAMPLE = SampleObject*;
using AILSAMPLECB = void (*)(HSAMPLE);

struct WAVEFORMAT {
    uint16_t wFormatTag;
    uint16_t nChannels;
    uint32_t nSamplesPerSec;
    uint32_t nAvgBytesPerSec;
    uint16_t nBlockAlign;
};

struct PCMWAVEFORMAT {
    WAVEFORMAT wf;
    uint16_t wBitsPerSample;
};

constexpr uint16_t WAVE_FORMAT_PCM = 1;
constexpr int WAVE_MAPPER = -1;  // the default output device

// Status of a sample handle.
constexpr int SMP_FREE = 1;     // not allocated
constexpr int SMP_DONE = 2;     // allocated and not playing (never started, ended, or finished)
constexpr int SMP_PLAYING = 4;
constexpr int SMP_STOPPED = 8;  // paused by AIL_stop_sample

// Volume 0 to 127 is accepted and held; playback treats 100 and above as the sample's own level
// (the default), lower values scale it linearly. Pan 0 is left, 64 (the default) centre, 127 right.
constexpr int AIL_DEFAULT_VOLUME = 100;
constexpr int AIL_DEFAULT_PAN = 64;
constexpr unsigned AIL_USER_DATA_SLOTS = 8;
constexpr int AIL_MAX_SAMPLES = 32;

int AIL_startup();
// Closes the wave output when open. Images read by AIL_file_read stay until freed.
void AIL_shutdown();
const char* AIL_last_error();

// Opens the one wave output. Only PCM at 22050 Hz, 2 channels, 16 bits is offered. 0 on success.
int AIL_waveOutOpen(HDIGDRIVER* driver, void** waveOut, int deviceId, const PCMWAVEFORMAT* format);
void AIL_waveOutClose(HDIGDRIVER driver);

// Up to AIL_MAX_SAMPLES handles; null when none is left or the driver is null.
HSAMPLE AIL_allocate_sample_handle(HDIGDRIVER driver);
void AIL_release_sample_handle(HSAMPLE sample);

// Ends the handle without calling its callback and resets it: no sound, default volume and pan,
// no end callback, no end notification (user values are kept). Status done.
void AIL_init_sample(HSAMPLE sample);
// Gives the handle a file image from AIL_file_read. 1 when the image is a playable sound, else 0
// (the handle then has no sound and will not start).
int AIL_set_sample_file(HSAMPLE sample, const void* fileImage, int block);
void AIL_set_sample_volume(HSAMPLE sample, int volume);
int AIL_sample_volume(HSAMPLE sample);
void AIL_set_sample_pan(HSAMPLE sample, int pan);
int AIL_sample_pan(HSAMPLE sample);
void AIL_set_sample_user_data(HSAMPLE sample, unsigned index, intptr_t value);
intptr_t AIL_sample_user_data(HSAMPLE sample, unsigned index);
// Sets the function called when the sample ends (it finishes, or AIL_end_sample ends it); null
// removes it. Returns the previous one.
AILSAMPLECB AIL_register_EOS_callback(HSAMPLE sample, AILSAMPLECB callback);
// Plays the handle's sound from its start; without a sound it stays done.
void AIL_start_sample(HSAMPLE sample);
void AIL_stop_sample(HSAMPLE sample);
void AIL_resume_sample(HSAMPLE sample);
// A playing or paused sample becomes done and its end callback runs.
void AIL_end_sample(HSAMPLE sample);
int AIL_sample_status(HSAMPLE sample);  // SMP_FREE for a null or released handle

// Reads a whole file (a game path, see platform/fs) into memory. dest must be null; the image is
// freed with AIL_mem_free_lock. Null when the file cannot be read. A handle playing an image that
// is freed keeps its sound until it is given another.
void* AIL_file_read(const char* fileName, void* dest);
void AIL_mem_free_lock(void* image);

// Holds the library's lock (the mixer waits), so a caller can change what end callbacks read.
void AIL_lock();
void AIL_unlock();

namespace platform {

enum class SoundBackend { Auto, Silent, Sdl };
// Backend of the next wave output. Auto takes GAME_AUDIO ("silent" or "sdl") when set, else the
// silent backend when the window layer is headless and SDL audio otherwise.
void SetSoundBackend(SoundBackend backend);
// Backend of the open wave output (Auto when none is open).
SoundBackend ActiveSoundBackend();

// When the sample next finishes by itself, message (with wParam, lParam 0) is posted to window
// from the message pump. Ending the sample or initialising it again cancels the notice.
void NotifyWindowAtSampleEnd(HSAMPLE sample, HWND window, UINT message, WPARAM wParam);

// Frames of the current sound played by the handle.
size_t SampleFramePosition(HSAMPLE sample);

// Receives one line for every call that changes a handle ("AIL_set_sample_volume 3 40"), for
// tests that check what the game sends. Null stops it.
using SoundTraceSink = std::function<void(const std::string&)>;
void SetSoundTraceSink(SoundTraceSink sink);

}  // namespace platform
