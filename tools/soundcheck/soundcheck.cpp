// soundcheck [installation] [--music-seconds N] [--sound N]: plays every sound of an
// installation's sounds.dat one after another through the game's own sound code (panned left,
// centre and right in turn), then a looping sound, then each music track for a few seconds, in
// the game's window. Esc stops, space skips. It uses SDL audio even without a display (set
// SDL_AUDIODRIVER=dummy where there is no audio device); GAME_AUDIO=silent uses the silent
// backend. Exits 1 when a sound did not load or did not finish.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "client/core/sound.h"
#include "client/core/sound_layer.h"
#include "platform/fs/fs.h"
#include "platform/sound/ail.h"
#include "platform/win/platform.h"

namespace {

bool g_quit = false;
bool g_skip = false;
int g_notices = 0;

LRESULT CheckWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_KEYDOWN:
        if (((lParam >> 16) & 0xFF) == 1)
            g_quit = true;
        if (((lParam >> 16) & 0xFF) == 57)
            g_skip = true;
        return 0;
    case WM_CLOSE:
        g_quit = true;
        return 0;
    case MM_MCINOTIFY:
        ++g_notices;
        if (wParam == MCI_NOTIFY_SUCCESSFUL)
            PlayMusic(0, 1);
        return 0;
    default:
        return DefWindowProc(hwnd, message, wParam, lParam);
    }
}

void Pump() {
    MSG msg;
    while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessage(&msg);
}

// Pumps until done() holds, the time runs out, or the user skips or quits. True when done.
template <typename Done>
bool WaitFor(Done done, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    g_skip = false;
    while (!g_quit && !g_skip) {
        Pump();
        if (done())
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(10);
    }
    return false;
}

bool AnyEffectBusy() {
    for (int i = 1; i < kSampleHandles; ++i)
        if (AIL_sample_status(SoundLayerSample(i)) != SMP_DONE)
            return true;
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    const char* dir = std::getenv("GAME_DIR");
    int musicSeconds = 4;
    int only = -1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--music-seconds") == 0 && i + 1 < argc)
            musicSeconds = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "--sound") == 0 && i + 1 < argc)
            only = std::atoi(argv[++i]);
        else
            dir = argv[i];
    }
    if (dir && !platform::ChangeDirectory(dir)) {
        std::fprintf(stderr, "soundcheck: cannot enter %s\n", dir);
        return 2;
    }
    if (!platform::GameFileExists("sounds.dat")) {
        std::fprintf(stderr, "soundcheck: no sounds.dat here; name the installation directory\n");
        return 2;
    }
    if (!std::getenv("GAME_AUDIO"))
        platform::SetSoundBackend(platform::SoundBackend::Sdl);

    WNDCLASS wc{};
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = CheckWndProc;
    wc.lpszClassName = "Vorn";
    RegisterClass(&wc);
    HWND hwnd = CreateWindowEx(0, "Vorn", "Quorrin sound check", WS_POPUP | WS_SYSMENU, 0, 0, 800, 600, nullptr,
                               nullptr, nullptr, nullptr);
    if (!hwnd)
        return 2;
    ShowWindow(hwnd, SW_SHOW);

    InitSoundSystem("sounds.dat", "sounds");
    // The start sets the layer's state to 2 whatever the device did; without a wave output the
    // layer has no sample handles.
    if (!SoundLayerSample(kMusicSample)) {
        std::fprintf(stderr, "soundcheck: no wave output: %s\n", AIL_last_error());
        ShutdownSoundSystem();
        return 1;
    }
    std::printf("soundcheck: %d sounds, %s audio%s\n", LoadedSoundCount(),
                platform::ActiveSoundBackend() == platform::SoundBackend::Sdl ? "SDL" : "silent",
                platform::IsHeadless() ? ", no display" : "");

    int failures = 0;
    static const int kPans[] = {-64, 0, 63};
    for (int n = 0; n < LoadedSoundCount() && !g_quit; ++n) {
        if (only >= 0 && n != only)
            continue;
        if (!SoundIsLoaded(n)) {
            std::printf("sound %2d: not loaded\n", n);
            ++failures;
            continue;
        }
        int pan = kPans[n % 3];
        DWORD start = GetTickCount();
        PlayGameSound(n, 0, pan);
        bool started = AnyEffectBusy();
        bool ended = WaitFor([] { return !AnyEffectBusy(); }, 5000);
        std::printf("sound %2d: pan %+3d, %s after %lu ms\n", n, pan,
                    !started ? "did not start" : ended ? "ended" : "still playing",
                    static_cast<unsigned long>(GetTickCount() - start));
        failures += !started || (!ended && !g_skip && !g_quit);
        StopAllSounds();
    }

    if (!g_quit && only < 0 && LoadedSoundCount() > 41) {
        std::printf("looping sound 40 for 2 s\n");
        SetLoopingAmbient(40, 0, 0);
        WaitFor([] { return false; }, 2000);
        StopAllSounds();
    }

    g_musicEnabled = 2;
    for (int track = 1; track < kMusicTableSize && !g_quit && only < 0; ++track) {
        LoadMusic(track);
        PlayMusic(track, 0);
        if (AIL_sample_status(SoundLayerSample(kMusicSample)) != SMP_PLAYING) {
            UnloadMusic(track);
            continue;
        }
        std::printf("music %d for up to %d s\n", track, musicSeconds);
        int noticesBefore = g_notices;
        WaitFor([&] { return g_notices > noticesBefore; }, static_cast<DWORD>(musicSeconds) * 1000);
        StopMusic();
        UnloadMusic(track);
    }
    ShutdownSoundSystem();
    DestroyWindow(hwnd);
    std::printf("soundcheck: %s\n", failures ? "FAILED" : "ok");
    return failures ? 1 : 0;
}
