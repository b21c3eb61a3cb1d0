#include "platform/sound/ail.h"

#include <SDL.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/fs/fs.h"
#include "platform/sound/mixer.h"
#include "platform/sound/wav.h"
#include "platform/win/platform.h"

struct SampleObject {
    DigitalDriverObject* driver = nullptr;
    int index = 0;
    bool allocated = false;
    AILSAMPLECB eos = nullptr;
    std::array<intptr_t, AIL_USER_DATA_SLOTS> user{};
    int volume = AIL_DEFAULT_VOLUME;  // as set, 0..127
    bool notify = false;
    HWND notifyWindow = nullptr;
    UINT notifyMessage = 0;
    WPARAM notifyParam = 0;
};

struct Notice {
    HWND window;
    UINT message;
    WPARAM wParam;
};

struct DigitalDriverObject {
    platform::SoundBackend backend = platform::SoundBackend::Silent;
    platform::SoundMixer mixer{AIL_MAX_SAMPLES};
    std::array<SampleObject, AIL_MAX_SAMPLES> samples;
    SDL_AudioDeviceID device = 0;
    uint64_t startNanos = 0;  // silent backend: clock at frame 0
    uint64_t framesRendered = 0;
    int messageSource = 0;
    std::vector<Notice> notices;
};

namespace platform {
namespace {

constexpr size_t kMaxFileBytes = 64u << 20;

struct FileImage {
    std::vector<uint8_t> bytes;
    std::shared_ptr<const SoundPcm> pcm;  // null when the bytes are not a playable sound
};

struct Library {
    std::recursive_mutex lock;
    bool started = false;
    DigitalDriverObject* driver = nullptr;
    std::unordered_map<const void*, std::unique_ptr<FileImage>> images;
    SoundBackend requested = SoundBackend::Auto;
    SoundTraceSink trace;
    std::string lastError;
};

Library& Lib() {
    static Library* lib = new Library;  // never destroyed: the audio thread may outlive statics
    return *lib;
}

using Guard = std::lock_guard<std::recursive_mutex>;

void Trace(const char* call, const SampleObject* s, long long a = 0, bool hasArg = false) {
    Library& lib = Lib();
    if (!lib.trace)
        return;
    char line[96];
    if (hasArg)
        std::snprintf(line, sizeof line, "%s %d %lld", call, s->index, a);
    else
        std::snprintf(line, sizeof line, "%s %d", call, s->index);
    lib.trace(line);
}

// The handle when it is one of the open driver's allocated samples; stale handles are ignored.
SampleObject* Valid(HSAMPLE s) {
    DigitalDriverObject* d = Lib().driver;
    if (!s || !d || s < d->samples.data() || s >= d->samples.data() + d->samples.size() || !s->allocated)
        return nullptr;
    return s;
}

MixerVoice& VoiceOf(SampleObject* s) {
    return s->driver->mixer.Voice(s->index);
}

uint64_t FramesIn(uint64_t nanos) {
    return nanos / 1000000000ull * kMixRate + nanos % 1000000000ull * kMixRate / 1000000000ull;
}

// Silent backend: brings every handle up to the platform clock, running end callbacks at their
// frames. Nothing when a render is already under way (a callback calling back into the library).
void CatchUp(DigitalDriverObject* d) {
    if (!d || d->backend != SoundBackend::Silent || d->mixer.Rendering())
        return;
    uint64_t now = NowNanos();
    if (now < d->startNanos) {  // the clock was replaced: start counting again
        d->startNanos = now;
        d->framesRendered = 0;
    }
    uint64_t target = FramesIn(now - d->startNanos);
    if (target > d->framesRendered) {
        uint64_t frames = target - d->framesRendered;
        d->framesRendered = target;
        d->mixer.Render(nullptr, static_cast<size_t>(frames));
    }
}

SampleObject* Enter(HSAMPLE s) {
    SampleObject* v = Valid(s);
    if (v)
        CatchUp(v->driver);
    return v;
}

// Runs change on a valid handle under the lock, after naming the call in the trace.
template <typename Change>
void ChangeSample(HSAMPLE sample, const char* call, Change change, long long arg = 0, bool hasArg = false) {
    Guard g(Lib().lock);
    SampleObject* s = Enter(sample);
    if (!s)
        return;
    if (call)
        Trace(call, s, arg, hasArg);
    change(*s, VoiceOf(s));
}

void OnVoiceEnd(DigitalDriverObject* d, int index) {
    SampleObject& s = d->samples[static_cast<size_t>(index)];
    if (s.notify) {
        s.notify = false;
        d->notices.push_back({s.notifyWindow, s.notifyMessage, s.notifyParam});
    }
    if (s.eos)
        s.eos(&s);
}

void SDLCALL AudioCallback(void* user, Uint8* stream, int len) {
    auto* d = static_cast<DigitalDriverObject*>(user);
    Guard g(Lib().lock);
    d->mixer.Render(reinterpret_cast<int16_t*>(stream), static_cast<size_t>(len) / 4);
}

// Posts the end notices from the main thread's pump.
void DeliverNotices() {
    std::vector<Notice> notices;
    {
        Guard g(Lib().lock);
        DigitalDriverObject* d = Lib().driver;
        if (!d)
            return;
        CatchUp(d);
        notices.swap(d->notices);
        d->notices.reserve(AIL_MAX_SAMPLES);
    }
    for (const Notice& n : notices)
        PostMessage(n.window, n.message, n.wParam, 0);
}

SoundBackend ChooseBackend() {
    SoundBackend b = Lib().requested;
    if (b != SoundBackend::Auto)
        return b;
    if (const char* env = std::getenv("GAME_AUDIO"); env && *env) {
        if (std::strcmp(env, "silent") == 0)
            return SoundBackend::Silent;
        if (std::strcmp(env, "sdl") == 0)
            return SoundBackend::Sdl;
    }
    return IsHeadless() ? SoundBackend::Silent : SoundBackend::Sdl;
}

bool OpenSdlDevice(DigitalDriverObject* d) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        Lib().lastError = SDL_GetError();
        return false;
    }
    SDL_AudioSpec want{};
    want.freq = kMixRate;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = 512;
    want.callback = AudioCallback;
    want.userdata = d;
    SDL_AudioSpec have{};
    // No changes allowed: SDL converts to the device's format itself.
    d->device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (d->device == 0) {
        Lib().lastError = SDL_GetError();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    SDL_PauseAudioDevice(d->device, 0);
    return true;
}

void CloseDriver(DigitalDriverObject* d) {
    // The audio thread takes the lock, so the device is closed without holding it.
    if (d->device) {
        SDL_CloseAudioDevice(d->device);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        d->device = 0;
    }
    RemoveMessageSource(d->messageSource);
    Guard g(Lib().lock);
    if (Lib().driver == d)
        Lib().driver = nullptr;
    delete d;
}

}  // namespace

void SetSoundBackend(SoundBackend backend) {
    Guard g(Lib().lock);
    Lib().requested = backend;
}

SoundBackend ActiveSoundBackend() {
    Guard g(Lib().lock);
    return Lib().driver ? Lib().driver->backend : SoundBackend::Auto;
}

void NotifyWindowAtSampleEnd(HSAMPLE sample, HWND window, UINT message, WPARAM wParam) {
    Guard g(Lib().lock);
    SampleObject* s = Enter(sample);
    if (!s)
        return;
    s->notify = true;
    s->notifyWindow = window;
    s->notifyMessage = message;
    s->notifyParam = wParam;
}

size_t SampleFramePosition(HSAMPLE sample) {
    Guard g(Lib().lock);
    SampleObject* s = Enter(sample);
    return s ? VoiceOf(s).position : 0;
}

void SetSoundTraceSink(SoundTraceSink sink) {
    Guard g(Lib().lock);
    Lib().trace = std::move(sink);
}

}  // namespace platform

using platform::Guard;
using platform::Lib;

int AIL_startup() {
    Guard g(Lib().lock);
    Lib().started = true;
    return 1;
}

void AIL_shutdown() {
    DigitalDriverObject* d;
    {
        Guard g(Lib().lock);
        d = Lib().driver;
        Lib().started = false;
    }
    if (d)
        platform::CloseDriver(d);
}

const char* AIL_last_error() {
    return Lib().lastError.c_str();
}

int AIL_waveOutOpen(HDIGDRIVER* driver, void** waveOut, int /*deviceId*/, const PCMWAVEFORMAT* format) {
    if (driver)
        *driver = nullptr;
    if (waveOut)
        *waveOut = nullptr;
    Guard g(Lib().lock);
    if (!driver || !format) {
        Lib().lastError = "no driver or format";
        return -1;
    }
    if (!Lib().started) {
        Lib().lastError = "library not started";
        return -1;
    }
    if (Lib().driver) {
        Lib().lastError = "wave output already open";
        return -1;
    }
    if (format->wf.wFormatTag != WAVE_FORMAT_PCM || format->wf.nChannels != 2 ||
        format->wf.nSamplesPerSec != static_cast<uint32_t>(platform::kMixRate) || format->wBitsPerSample != 16) {
        Lib().lastError = "only PCM 22050 Hz stereo 16-bit is offered";
        return -1;
    }
    auto* d = new DigitalDriverObject;
    for (size_t i = 0; i < d->samples.size(); ++i) {
        d->samples[i].driver = d;
        d->samples[i].index = static_cast<int>(i);
    }
    d->notices.reserve(AIL_MAX_SAMPLES);
    d->mixer.SetEndHandler([d](int voice) { platform::OnVoiceEnd(d, voice); });
    d->backend = platform::ChooseBackend();
    d->startNanos = platform::NowNanos();
    // Published before the device starts so the first callback finds a complete driver.
    Lib().driver = d;
    if (d->backend == platform::SoundBackend::Sdl && !platform::OpenSdlDevice(d)) {
        Lib().driver = nullptr;
        delete d;
        return -1;
    }
    d->messageSource = platform::AddMessageSource(platform::DeliverNotices);
    *driver = d;
    return 0;
}

void AIL_waveOutClose(HDIGDRIVER driver) {
    {
        Guard g(Lib().lock);
        if (!driver || driver != Lib().driver)
            return;
    }
    platform::CloseDriver(driver);
}

HSAMPLE AIL_allocate_sample_handle(HDIGDRIVER driver) {
    Guard g(Lib().lock);
    if (!driver || driver != Lib().driver)
        return nullptr;
    for (SampleObject& s : driver->samples) {
        if (s.allocated)
            continue;
        s = SampleObject{driver, s.index};
        s.allocated = true;
        platform::MixerVoice& v = driver->mixer.Voice(s.index);
        v = platform::MixerVoice{};
        v.status = SMP_DONE;
        return &s;
    }
    return nullptr;
}

void AIL_release_sample_handle(HSAMPLE sample) {
    platform::ChangeSample(sample, nullptr, [](SampleObject& s, platform::MixerVoice& v) {
        v = platform::MixerVoice{};
        s.allocated = false;
        s.eos = nullptr;
        s.notify = false;
    });
}

void AIL_init_sample(HSAMPLE sample) {
    platform::ChangeSample(sample, "AIL_init_sample", [](SampleObject& s, platform::MixerVoice& v) {
        v.status = SMP_DONE;
        v.pcm.reset();
        v.position = 0;
        v.volume = AIL_DEFAULT_VOLUME;
        v.pan = AIL_DEFAULT_PAN;
        s.volume = AIL_DEFAULT_VOLUME;
        s.eos = nullptr;
        s.notify = false;
    });
}

int AIL_set_sample_file(HSAMPLE sample, const void* fileImage, int /*block*/) {
    Guard g(Lib().lock);
    SampleObject* s = platform::Enter(sample);
    if (!s)
        return 0;
    platform::Trace("AIL_set_sample_file", s);
    platform::MixerVoice& v = platform::VoiceOf(s);
    if (v.status == SMP_PLAYING || v.status == SMP_STOPPED)
        v.status = SMP_DONE;
    v.pcm.reset();
    v.position = 0;
    auto it = Lib().images.find(fileImage);
    if (!fileImage || it == Lib().images.end() || !it->second->pcm)
        return 0;
    v.pcm = it->second->pcm;
    return 1;
}

void AIL_set_sample_volume(HSAMPLE sample, int volume) {
    platform::ChangeSample(
        sample, "AIL_set_sample_volume",
        [volume](SampleObject& s, platform::MixerVoice& v) { v.volume = s.volume = std::clamp(volume, 0, 127); },
        volume, true);
}

int AIL_sample_volume(HSAMPLE sample) {
    Guard g(Lib().lock);
    SampleObject* s = platform::Enter(sample);
    return s ? s->volume : 0;
}

void AIL_set_sample_pan(HSAMPLE sample, int pan) {
    platform::ChangeSample(
        sample, "AIL_set_sample_pan",
        [pan](SampleObject&, platform::MixerVoice& v) { v.pan = std::clamp(pan, 0, platform::kMaxPan); }, pan,
        true);
}

int AIL_sample_pan(HSAMPLE sample) {
    Guard g(Lib().lock);
    SampleObject* s = platform::Enter(sample);
    return s ? platform::VoiceOf(s).pan : AIL_DEFAULT_PAN;
}

void AIL_set_sample_user_data(HSAMPLE sample, unsigned index, intptr_t value) {
    if (index >= AIL_USER_DATA_SLOTS)
        return;
    platform::ChangeSample(sample, nullptr, [=](SampleObject& s, platform::MixerVoice&) { s.user[index] = value; });
}

intptr_t AIL_sample_user_data(HSAMPLE sample, unsigned index) {
    Guard g(Lib().lock);
    SampleObject* s = platform::Enter(sample);
    if (!s || index >= AIL_USER_DATA_SLOTS)
        return 0;
    return s->user[index];
}

AILSAMPLECB AIL_register_EOS_callback(HSAMPLE sample, AILSAMPLECB callback) {
    Guard g(Lib().lock);
    SampleObject* s = platform::Enter(sample);
    if (!s)
        return nullptr;
    platform::Trace(callback ? "AIL_register_EOS_callback" : "AIL_register_EOS_callback null", s);
    AILSAMPLECB old = s->eos;
    s->eos = callback;
    return old;
}

void AIL_start_sample(HSAMPLE sample) {
    platform::ChangeSample(sample, "AIL_start_sample", [](SampleObject&, platform::MixerVoice& v) {
        v.position = 0;
        v.status = v.pcm && v.pcm->frames > 0 ? SMP_PLAYING : SMP_DONE;
    });
}

void AIL_stop_sample(HSAMPLE sample) {
    platform::ChangeSample(sample, "AIL_stop_sample", [](SampleObject&, platform::MixerVoice& v) {
        if (v.status == SMP_PLAYING)
            v.status = SMP_STOPPED;
    });
}

void AIL_resume_sample(HSAMPLE sample) {
    platform::ChangeSample(sample, "AIL_resume_sample", [](SampleObject&, platform::MixerVoice& v) {
        if (v.status == SMP_STOPPED)
            v.status = SMP_PLAYING;
    });
}

void AIL_end_sample(HSAMPLE sample) {
    platform::ChangeSample(sample, "AIL_end_sample", [](SampleObject& s, platform::MixerVoice& v) {
        if (v.status != SMP_PLAYING && v.status != SMP_STOPPED)
            return;
        v.status = SMP_DONE;
        s.notify = false;
        if (s.eos)
            s.eos(&s);
    });
}

int AIL_sample_status(HSAMPLE sample) {
    Guard g(Lib().lock);
    SampleObject* s = platform::Enter(sample);
    return s ? platform::VoiceOf(s).status : SMP_FREE;
}

void* AIL_file_read(const char* fileName, void* dest) {
    if (!fileName || dest)
        return nullptr;
    FILE* f = platform::OpenGameFile(fileName, "rb");
    if (!f)
        return nullptr;
    auto image = std::make_unique<platform::FileImage>();
    bool ok = std::fseek(f, 0, SEEK_END) == 0;
    long size = ok ? std::ftell(f) : -1;
    ok = ok && size >= 0 && static_cast<size_t>(size) <= platform::kMaxFileBytes && std::fseek(f, 0, SEEK_SET) == 0;
    if (ok) {
        // At least one byte so every image has an address of its own.
        image->bytes.resize(std::max<size_t>(static_cast<size_t>(size), 1));
        ok = size == 0 || std::fread(image->bytes.data(), 1, static_cast<size_t>(size), f) == static_cast<size_t>(size);
    }
    std::fclose(f);
    if (!ok)
        return nullptr;
    auto pcm = std::make_shared<platform::SoundPcm>();
    if (platform::ParseWav(image->bytes.data(), static_cast<size_t>(size), pcm.get()))
        image->pcm = std::move(pcm);
    void* key = image->bytes.data();
    Guard g(Lib().lock);
    Lib().images[key] = std::move(image);
    return key;
}

void AIL_mem_free_lock(void* image) {
    std::unique_ptr<platform::FileImage> doomed;
    Guard g(Lib().lock);
    auto it = Lib().images.find(image);
    if (it == Lib().images.end())
        return;
    doomed = std::move(it->second);
    Lib().images.erase(it);
}

void AIL_lock() {
    Lib().lock.lock();
}

void AIL_unlock() {
    Lib().lock.unlock();
}
