#pragma once
// The sound front end running over the silent backend with short sounds 0 .. count-1 written into a
// temporary working directory, and its debug log (sounderr.txt) read back: which sound numbers
// played, at which volume. The object enters the directory and starts sound; it stops sound when
// it goes away.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "client/core/sound.h"
#include "platform/win/platform.h"
#include "tests/support/temp_dir.h"
#include "tools/writers/wav_writer.h"

// The headless window layer on the virtual clock, for a SoundLog made after it; the real clock comes
// back when it goes.
class HeadlessWindowing {
public:
    HeadlessWindowing() {
        platform::ResetWindowing();
        platform::InitWindowing(platform::Backend::Headless);
        platform::UseVirtualClock();
    }
    ~HeadlessWindowing() {
        platform::ResetWindowing();
        platform::UseRealClock();
    }
    HeadlessWindowing(const HeadlessWindowing&) = delete;
    HeadlessWindowing& operator=(const HeadlessWindowing&) = delete;
};

class SoundLog {
public:
    explicit SoundLog(int count) {
        dir_.Enter();
        std::string dat = "[sounds]\ndebug=1\n[winsounds]\nnumsounds=" + std::to_string(count) + "\n";
        const auto bytes = EncodeWav(WavSpec{22050, 1, 16}, std::vector<int16_t>(2205, 1000));
        for (int n = 0; n < count; ++n) {
            const std::string name = "s" + std::to_string(n) + ".wav";
            dir_.Write("sounds/" + name, std::string(bytes.begin(), bytes.end()));
            char section[16];
            std::snprintf(section, sizeof section, "%02d", n);
            dat += std::string("[winsound") + section + "]\nfile=" + name + "\n";
        }
        dir_.Write("sounds.dat", dat);
        started_ = InitSoundSystem("sounds.dat", "sounds") == 1;
    }
    ~SoundLog() { ShutdownSoundSystem(); }
    SoundLog(const SoundLog&) = delete;
    SoundLog& operator=(const SoundLog&) = delete;

    bool Started() const { return started_; }
    std::string Text() const { return dir_.Read("sounderr.txt"); }
    size_t Count(const std::string& text) const {
        const std::string log = Text();
        size_t n = 0;
        for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
            ++n;
        return n;
    }
    // The sound numbers started since the start or the last call, in order. Every sound is then
    // stopped, so the next ones find free sample handles.
    std::vector<int> TakePlayed() {
        const std::string log = Text();
        static const std::string kStart = "DoMilesSound #";
        std::vector<int> played;
        for (size_t at = log.find(kStart, read_); at != std::string::npos; at = log.find(kStart, at + 1)) {
            const char* p = log.c_str() + at + kStart.size();
            char* end = nullptr;
            const long n = std::strtol(p, &end, 10);
            if (std::strncmp(end, " -> vol=", 8) == 0)
                played.push_back(static_cast<int>(n));
        }
        StopAllSounds();
        read_ = Text().size();
        return played;
    }

private:
    TempDir dir_;
    bool started_ = false;
    size_t read_ = 0;
};
