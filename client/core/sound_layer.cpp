#include "client/core/sound_layer.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>

#include "client/core/config_file.h"
#include "common/text.h"
#include "platform/fs/fs.h"
#include "platform/win/platform.h"

namespace {

constexpr size_t kNameSize = 50;   // 49 characters and the terminator
constexpr size_t kPathSize = 256;

struct LoadedImage {
    bool loaded = false;
    void* image = nullptr;
};

struct SoundLayer {
    LoadedImage sounds[kSoundTableSize];
    LoadedImage music[kMusicTableSize];
    HSAMPLE samples[kSampleHandles] = {};
    HDIGDRIVER driver = nullptr;
    int state = 0;
    int debug = 0;
    int loadedCount = 0;
    FILE* log = nullptr;
    char fileName[kPathSize] = {};
    char directory[kPathSize] = {};
};

SoundLayer g_layer;

void SoundLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
void SoundLog(const char* format, ...) {
    if (!g_layer.debug || !g_layer.log)
        return;
    va_list args;
    va_start(args, format);
    std::vfprintf(g_layer.log, format, args);
    va_end(args);
    std::fflush(g_layer.log);
}

// Images are printed as the library hands them out; the low 32 bits are enough to tell them apart.
unsigned Addr(const void* p) {
    return static_cast<unsigned>(reinterpret_cast<uintptr_t>(p));
}

HSAMPLE Sample(int i) {
    return i >= 0 && i < kSampleHandles ? g_layer.samples[i] : nullptr;
}

int UserValue(int i, unsigned slot) {
    return static_cast<int>(AIL_sample_user_data(Sample(i), slot));
}

void SetUserValues(HSAMPLE s, int kind, int n, int volume) {
    AIL_set_sample_user_data(s, kSampleUserKind, kind);
    AIL_set_sample_user_data(s, kSampleUserNumber, n);
    AIL_set_sample_user_data(s, kSampleUserVolume, volume);
}

// Frees an image and forgets it under the library's lock: the looping callback reads the tables
// from the audio thread.
void FreeImage(LoadedImage& entry) {
    AIL_lock();
    void* old = entry.image;
    entry.image = nullptr;
    entry.loaded = false;
    AIL_unlock();
    if (old)
        AIL_mem_free_lock(old);
}

void SetImage(LoadedImage& entry, void* image) {
    AIL_lock();
    entry.loaded = true;
    entry.image = image;
    AIL_unlock();
}

// Reads [section] key from sounds.dat and the file it names; false when there is no entry.
bool LoadEntry(LoadedImage& entry, const char* section, const char* key, const char* kind, int n) {
    FreeImage(entry);
    char name[kNameSize];
    if (!GetConfigString(g_layer.fileName, section, key, name, sizeof name, "", 0)) {
        SoundLog("%s #%d -> [%s] from [%s] could not find .dat entry!\n", kind, n, name, g_layer.fileName);
        return false;
    }
    char path[kPathSize];
    FormatText(path, sizeof path, "%s\\%s", g_layer.directory, name);
    SetImage(entry, AIL_file_read(path, nullptr));
    SoundLog("%s #%d -> [%s] from [%s] loaded [%x].\n", kind, n, path, g_layer.fileName, Addr(entry.image));
    return true;
}

}  // namespace

int InitSoundLayer(const char* fileName, const char* directory) {
    g_layer.debug = 0;
    GetConfigInt(fileName, directory, "debug", &g_layer.debug, 0, 0);
    g_layer.state = 1;
    for (LoadedImage& e : g_layer.sounds)
        e = LoadedImage{};
    for (LoadedImage& e : g_layer.music)
        e = LoadedImage{};
    for (HSAMPLE& s : g_layer.samples)
        s = nullptr;
    g_layer.loadedCount = 0;
    if (g_layer.debug && !g_layer.log)
        g_layer.log = platform::OpenGameFile("sounderr.txt", "w");
    CopyText(g_layer.fileName, sizeof g_layer.fileName, fileName ? fileName : "");
    CopyText(g_layer.directory, sizeof g_layer.directory, directory ? directory : "");
    SoundLog("Registering sound file [%s] and sound dir [%s]\n", g_layer.fileName, g_layer.directory);

    AIL_startup();
    SoundLog("Miles sound system install succesful.\n");
    PCMWAVEFORMAT format{};
    format.wf.wFormatTag = WAVE_FORMAT_PCM;
    format.wf.nChannels = 2;
    format.wf.nSamplesPerSec = 22050;
    format.wBitsPerSample = 16;
    format.wf.nBlockAlign = 4;
    format.wf.nAvgBytesPerSec = 22050 * 4;
    if (AIL_waveOutOpen(&g_layer.driver, nullptr, WAVE_MAPPER, &format) == 0) {
        g_layer.state = 2;
        SoundLog("Wave out driver started Ok!\n");
    } else {
        g_layer.driver = nullptr;
    }
    for (int i = 0; i < kSampleHandles; ++i) {
        g_layer.samples[i] = AIL_allocate_sample_handle(g_layer.driver);
        SoundLog("Sample #%d Allocated -> [%x]\n", i, Addr(g_layer.samples[i]));
    }
    return g_layer.state;
}

void ShutdownSoundLayer() {
    for (LoadedImage& e : g_layer.sounds)
        FreeImage(e);
    for (LoadedImage& e : g_layer.music)
        FreeImage(e);
    AIL_lock();
    for (int i = 0; i < kSampleHandles; ++i) {
        if (g_layer.samples[i]) {
            AIL_release_sample_handle(g_layer.samples[i]);
            SoundLog("Sample #%d Released\n", i);
        }
        g_layer.samples[i] = nullptr;
    }
    AIL_unlock();
    AIL_shutdown();
    g_layer.driver = nullptr;
    g_layer.state = 0;
    g_layer.loadedCount = 0;
    if (g_layer.log)
        std::fclose(g_layer.log);
    g_layer.log = nullptr;
}

int SoundLayerState() {
    return g_layer.state;
}

void SetSoundLayerState(int state) {
    g_layer.state = state;
}

void LoadMilesSound(int n) {
    if (n < 0 || n >= kSoundTableSize)
        return;
    char section[32];
    FormatText(section, sizeof section, "winsound%02d", n);
    LoadEntry(g_layer.sounds[n], section, "file", "Sound", n);
}

void LoadMilesMusic(int n) {
    if (n < 0 || n >= kMusicTableSize)
        return;
    char key[32];
    FormatText(key, sizeof key, "music%02d", n);
    LoadEntry(g_layer.music[n], "music", key, "Music", n);
}

void UnloadMilesMusic(int n) {
    if (n < 0 || n >= kMusicTableSize)
        return;
    SoundLog("Music #%d Unloaded\n", n);
    FreeImage(g_layer.music[n]);
}

int LoadAllMilesSounds() {
    int count = 0;
    GetConfigInt(g_layer.fileName, "winsounds", "numsounds", &count, 0, 0);
    // The count comes from a file: it never runs past the table.
    if (count < 0)
        count = 0;
    if (count > kSoundTableSize)
        count = kSoundTableSize;
    SoundLog("LoadAllMilesSounds -> %d sounds to load from [%s]\n", count, g_layer.fileName);
    for (int i = 0; i < count; ++i)
        LoadMilesSound(i);
    g_layer.loadedCount = count;
    return count;
}

int LoadedSoundCount() {
    return g_layer.loadedCount;
}

bool SoundIsLoaded(int n) {
    return n >= 0 && n < kSoundTableSize && g_layer.sounds[n].loaded;
}

HSAMPLE SoundLayerSample(int i) {
    return Sample(i);
}

int FindFreeSample() {
    for (int i = 1; i < kSampleHandles; ++i)
        if (AIL_sample_status(Sample(i)) == SMP_DONE)
            return i;
    return -1;
}

int FindSoundSample(int n) {
    for (int i = 1; i < kSampleHandles; ++i) {
        if (!Sample(i) || AIL_sample_status(Sample(i)) == SMP_DONE)
            continue;
        if (UserValue(i, kSampleUserKind) == kSampleKindSound && UserValue(i, kSampleUserNumber) == n)
            return i;
    }
    return -1;
}

int MakeOpenMilesSample(int volume) {
    int lowest = 100;  // a sound at full volume is never taken
    int which = -1;
    for (int i = 1; i < kSampleHandles; ++i) {
        if (AIL_sample_status(Sample(i)) == SMP_DONE)
            return i;
        int v = UserValue(i, kSampleUserVolume);
        if (v < lowest) {
            lowest = v;
            which = i;
        }
    }
    if (which < 0 || lowest >= volume)
        return -1;
    SoundLog("MakeOpenMilesSample -> Removing #%d at vol=%d!\n", which, lowest);
    AIL_register_EOS_callback(Sample(which), nullptr);
    AIL_end_sample(Sample(which));
    return which;
}

void DoMilesSound(int n, int volume, int pan, int loop) {
    if (n < 0 || n >= kSoundTableSize)
        return;
    if (loop && FindSoundSample(n) != -1) {
        SoundLog("DoMilesSound #%d -> Duplicate Looping Sound!\n", n);
        StopMilesSound(n);
    }
    int i = FindFreeSample();
    if (i < 0) {
        SoundLog("DoMilesSound #%d -> No Open Sample Found!\n", n);
        i = MakeOpenMilesSample(volume);
        if (i < 0)
            return;
    }
    SoundLog("DoMilesSound #%d -> vol=%d pan=%d sample=%d\n", n, volume, pan, i);
    HSAMPLE s = Sample(i);
    AIL_init_sample(s);
    AIL_set_sample_file(s, g_layer.sounds[n].image, 0);
    if (volume != 100)
        AIL_set_sample_volume(s, volume);
    if (pan + 64 != 64)
        AIL_set_sample_pan(s, pan + 64);
    AIL_register_EOS_callback(s, loop ? MilesLoopingCallback : nullptr);
    SetUserValues(s, kSampleKindSound, n, volume);
    AIL_start_sample(s);
}

void PlayLoopingSound(int n, int volume, int pan) {
    DoMilesSound(n, volume, pan, 1);
}

void ChangeVolume(int n, int volume) {
    int i = FindSoundSample(n);
    if (i < 0) {
        SoundLog("ChangeVolume #%d -> Sound not found!\n", n);
        return;
    }
    if (UserValue(i, kSampleUserVolume) == volume)
        return;
    SoundLog("ChangeVolume #%d -> vol=%d sample=%d\n", n, volume, i);
    AIL_set_sample_volume(Sample(i), volume);
    AIL_set_sample_user_data(Sample(i), kSampleUserVolume, volume);
}

void DoMilesMusic(int n, int loop) {
    if (n < 0 || n >= kMusicTableSize)
        return;
    HSAMPLE s = Sample(kMusicSample);
    if (AIL_sample_status(s) != SMP_DONE) {
        SoundLog("DoMilesMusic #%d -> Old Music Already Playing!\n", n);
        return;
    }
    SoundLog("DoMilesMusic #%d -> sample=%d\n", n, kMusicSample);
    AIL_init_sample(s);
    AIL_set_sample_file(s, g_layer.music[n].image, 0);
    AIL_set_sample_volume(s, 50);
    AIL_register_EOS_callback(s, loop ? MilesLoopingCallback : nullptr);
    // A track played once tells the window when it has finished, as the music device did.
    if (!loop)
        platform::NotifyWindowAtSampleEnd(s, platform::MainWindow(), MM_MCINOTIFY, MCI_NOTIFY_SUCCESSFUL);
    SetUserValues(s, kSampleKindMusic, n, 50);
    AIL_start_sample(s);
}

// Runs inside the mixer with the library's lock held (on the audio thread with a device).
void MilesLoopingCallback(HSAMPLE sample) {
    int which = static_cast<int>(AIL_sample_user_data(sample, kSampleUserKind));
    int n = static_cast<int>(AIL_sample_user_data(sample, kSampleUserNumber));
    int volume = static_cast<int>(AIL_sample_user_data(sample, kSampleUserVolume));
    int index = -1;
    for (int i = 0; i < kSampleHandles; ++i)
        if (g_layer.samples[i] == sample)
            index = i;
    SoundLog("MilesLoopingCallback -> which=%d sound=%d sample=%d\n", which, n, index);
    void* image = nullptr;
    if (which == kSampleKindSound && n >= 0 && n < kSoundTableSize)
        image = g_layer.sounds[n].image;
    else if (which == kSampleKindMusic && n >= 0 && n < kMusicTableSize)
        image = g_layer.music[n].image;
    AIL_init_sample(sample);
    AIL_set_sample_file(sample, image, 0);
    if (volume != 100)
        AIL_set_sample_volume(sample, volume);
    SetUserValues(sample, which, n, volume);
    AIL_register_EOS_callback(sample, MilesLoopingCallback);
    AIL_start_sample(sample);
}

void StopMilesSound(int n) {
    if (n < 0 || n >= kSoundTableSize)
        return;
    SoundLog("StopMilesSound #%d\n", n);
    for (int i = 1; i < kSampleHandles; ++i) {
        int status = AIL_sample_status(Sample(i));
        if ((status != SMP_PLAYING && status != SMP_STOPPED) || UserValue(i, kSampleUserNumber) != n)
            continue;
        SoundLog("StopMilesSound -> Found! Sample #%d\n", i);
        AIL_register_EOS_callback(Sample(i), nullptr);
        AIL_end_sample(Sample(i));
    }
}

void StopMilesMusic(int n) {
    if (n < 0 || n >= kMusicTableSize)
        return;
    SoundLog("StopMilesMusic #%d\n", n);
    if (UserValue(kMusicSample, kSampleUserNumber) != n) {
        SoundLog("Music Not Found! which=%d sample=#%d\n", n, kMusicSample);
        return;
    }
    SoundLog("Music Found! Sample #%d\n", kMusicSample);
    AIL_register_EOS_callback(Sample(kMusicSample), nullptr);
    AIL_end_sample(Sample(kMusicSample));
}
