// sounds.dat and sounds/: a short generated sound for every sound number 0 to 63 and four music
// tracks. The sounds the game names get sounds that fit (a click, a death, hits, the nexus and
// earthnode sounds); the others are distinct tones, chirps and noise bursts for spells, triggers
// and monsters to use. Formats vary (8 and 16 bits, mono and stereo, 11025 to 44100 Hz) so the
// game's conversion is exercised by the installation itself.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/install/install_step.h"
#include "tools/writers/wav_writer.h"

namespace {

constexpr int kSoundCount = 64;
constexpr double kPi = 3.14159265358979323846;

// A deterministic noise source (the output must not depend on the C library).
class Noise {
public:
    explicit Noise(uint32_t seed) : state_(seed * 2654435761u + 1) {}
    double Next() {
        state_ = state_ * 1664525u + 1013904223u;
        return static_cast<double>(state_ >> 8) / 8388608.0 - 1.0;
    }

private:
    uint32_t state_;
};

enum class Wave { Sine, Square, Triangle, Saw };

double Osc(Wave w, double phase) {
    double p = phase - std::floor(phase);
    switch (w) {
    case Wave::Sine: return std::sin(2 * kPi * p);
    case Wave::Square: return p < 0.5 ? 0.7 : -0.7;
    case Wave::Triangle: return p < 0.5 ? 4 * p - 1 : 3 - 4 * p;
    case Wave::Saw: return (2 * p - 1) * 0.8;
    }
    return 0;
}

// Attack and release in seconds around a sustained middle; the shape keeps clicks out.
double Envelope(double t, double length, double attack, double release) {
    if (t < attack)
        return t / attack;
    if (t > length - release)
        return std::max(0.0, (length - t) / release);
    return 1.0;
}

struct Voice {
    Wave wave = Wave::Sine;
    double f0 = 440;        // start frequency
    double f1 = 440;        // end frequency (a chirp when different)
    double noise = 0;       // share of noise, 0 to 1
    double lowpass = 1;     // noise smoothing, 1 none to 0.01 dark
    double vibrato = 0;     // depth in Hz at 6 Hz
    double decay = 0;       // exponential decay per second
};

struct SoundDef {
    const char* file;  // null: fxNN.wav
    double length;
    Voice voice;
    // A second voice an interval above (a chord or a shimmer), 0 for none.
    double interval;
};

// Sounds the game plays by number.
struct NamedSound {
    int number;
    SoundDef def;
};

const NamedSound kNamed[] = {
    {0, {"click.wav", 0.05, {Wave::Square, 1800, 1200, 0.2, 1, 0, 60}, 0}},
    {2, {"death.wav", 0.9, {Wave::Saw, 520, 70, 0.15, 0.3, 4, 1.5}, 0}},
    {3, {"hit.wav", 0.18, {Wave::Sine, 140, 90, 0.6, 0.25, 0, 14}, 0}},
    {4, {"death2.wav", 1.0, {Wave::Square, 300, 45, 0.35, 0.15, 2, 1.2}, 0}},
    {24, {"restore.wav", 0.7, {Wave::Triangle, 392, 784, 0, 1, 3, 1}, 1.5}},
    {25, {"bias.wav", 0.5, {Wave::Sine, 660, 660, 0, 1, 12, 2}, 1.25}},
    {26, {"fail.wav", 0.4, {Wave::Square, 110, 98, 0.05, 1, 0, 2}, 1.06}},
    {29, {"raise.wav", 1.1, {Wave::Triangle, 220, 1320, 0.05, 0.5, 5, 0.8}, 2}},
    {31, {"nodefull.wav", 0.9, {Wave::Sine, 523, 523, 0, 1, 2, 1.2}, 1.2599}},
    {34, {"destroy.wav", 1.2, {Wave::Saw, 180, 40, 0.7, 0.08, 0, 1.8}, 0}},
    {35, {"biasstart.wav", 0.6, {Wave::Sine, 200, 420, 0.1, 0.2, 6, 0}, 1.5}},
    {36, {"castfail.wav", 0.25, {Wave::Square, 150, 140, 0.1, 0.5, 0, 4}, 0}},
    {40, {"wind.wav", 2.0, {Wave::Sine, 0, 0, 1.0, 0.02, 0, 0}, 0}},
    {41, {"hum.wav", 2.0, {Wave::Triangle, 55, 55, 0.05, 0.1, 0, 0}, 1.5}},
    {52, {"hurt.wav", 0.3, {Wave::Saw, 240, 160, 0.4, 0.3, 0, 6}, 0}},
    {53, {"hurtbad.wav", 0.45, {Wave::Saw, 180, 95, 0.55, 0.2, 8, 4}, 0}},
};

// Every other number: its own mix of wave, pitch, direction and noise.
SoundDef Generated(int n) {
    static const Wave kWaves[] = {Wave::Sine, Wave::Square, Wave::Triangle, Wave::Saw};
    SoundDef d{};
    d.file = nullptr;
    d.length = 0.15 + 0.05 * (n % 9);
    d.voice.wave = kWaves[n % 4];
    double base = 180.0 * std::pow(2.0, (n * 7 % 36) / 12.0);
    switch (n % 3) {
    case 0: d.voice.f0 = base; d.voice.f1 = base; break;           // tone
    case 1: d.voice.f0 = base; d.voice.f1 = base * 2.5; break;     // rising chirp
    case 2: d.voice.f0 = base * 2; d.voice.f1 = base / 2; break;   // falling chirp
    }
    d.voice.noise = (n % 5 == 4) ? 0.8 : 0.05 * (n % 4);
    d.voice.lowpass = 0.1 + 0.2 * (n % 4);
    d.voice.vibrato = (n % 6 == 5) ? 8 : 0;
    d.voice.decay = 1.0 + (n % 7);
    d.interval = (n % 8 == 7) ? 1.5 : 0;
    return d;
}

WavSpec FormatFor(int n) {
    if (n % 5 == 1)
        return WavSpec{11025, 1, 8};
    if (n % 7 == 3)
        return WavSpec{44100, 2, 16};
    return WavSpec{22050, 1, 16};
}

std::vector<int16_t> Render(const SoundDef& d, const WavSpec& spec, uint32_t seed) {
    size_t frames = static_cast<size_t>(d.length * spec.rate);
    std::vector<int16_t> out(frames * spec.channels);
    Noise noise(seed);
    double phase = 0, phase2 = 0, smooth = 0;
    const Voice& v = d.voice;
    for (size_t i = 0; i < frames; ++i) {
        double t = static_cast<double>(i) / spec.rate;
        double k = t / d.length;
        double f = v.f0 * std::pow(v.f1 / std::max(v.f0, 1.0), k);
        if (v.f0 <= 0)
            f = 0;
        f += v.vibrato * std::sin(2 * kPi * 6 * t);
        phase += f / spec.rate;
        phase2 += f * d.interval / spec.rate;
        double tone = Osc(v.wave, phase);
        if (d.interval > 0)
            tone = 0.6 * tone + 0.4 * Osc(v.wave, phase2);
        smooth += (noise.Next() - smooth) * v.lowpass;
        double x = (1 - v.noise) * tone + v.noise * smooth * (v.lowpass < 0.5 ? 2.5 : 1);
        x *= Envelope(t, d.length, 0.004, std::min(0.05, d.length / 4)) * std::exp(-v.decay * t) * 0.8;
        x = std::clamp(x, -1.0, 1.0);
        for (int c = 0; c < spec.channels; ++c) {
            // The second channel of a stereo sound lags a little, so it is not plain mono.
            double y = c == 0 ? x : x * (0.8 + 0.2 * std::cos(2 * kPi * 0.5 * t));
            out[i * spec.channels + c] = static_cast<int16_t>(std::lround(y * 30000));
        }
    }
    return out;
}

// A music track: a melody over a bass line, note by note, for the given beats.
struct Track {
    const char* file;
    int tempo;            // beats a minute
    const char* melody;   // semitones above A3, '.' a rest; one character a beat
    const char* bass;
    Wave wave;
};

const Track kTracks[] = {
    {"menu.wav", 96, "CEGEAGEC" "DFAFGFDB" "CEGcBGEC" "DGFEDC.." , "AAFFDDEE" "AAFFDDEE", Wave::Triangle},
    {"screens.wav", 110, "EGBGEGBG" "DFADFADF" "CEGCEGCE" "BDFBDFB.", "EEDDCCBB", Wave::Sine},
    {"victory.wav", 132, "CCCGGGcc" "cBAGAB.c" "........", "CCGGCCGG", Wave::Square},
    {"arena.wav", 120, "A.C.D.E." "D.C.A.G." "A.C.E.G." "E.D.C.A.", "AAAAGGGG" "FFFFEEEE", Wave::Saw},
};

double NoteFrequency(char note) {
    // Letters are the A minor / C major scale; lower case an octave higher.
    static const char* kNames = "ABCDEFG";
    static const int kSemis[] = {0, 2, 3, 5, 7, 8, 10};
    bool high = note >= 'a' && note <= 'g';
    char upper = high ? static_cast<char>(note - 'a' + 'A') : note;
    for (int i = 0; i < 7; ++i)
        if (kNames[i] == upper)
            return 220.0 * std::pow(2.0, (kSemis[i] + (high ? 12 : 0)) / 12.0);
    return 0;
}

std::vector<int16_t> RenderTrack(const Track& t, const WavSpec& spec) {
    const double beat = 60.0 / t.tempo;
    const size_t beats = std::string(t.melody).size();
    const size_t bassBeats = std::string(t.bass).size();
    const size_t frames = static_cast<size_t>(beats * beat * spec.rate);
    std::vector<int16_t> out(frames);
    double mPhase = 0, bPhase = 0;
    for (size_t i = 0; i < frames; ++i) {
        double time = static_cast<double>(i) / spec.rate;
        size_t b = static_cast<size_t>(time / beat);
        double inBeat = time - b * beat;
        double fm = NoteFrequency(t.melody[b % beats]);
        double fb = NoteFrequency(t.bass[b % bassBeats]) / 2;
        mPhase += fm / spec.rate;
        bPhase += fb / spec.rate;
        double env = Envelope(inBeat, beat, 0.01, 0.06) * (0.6 + 0.4 * std::exp(-6 * inBeat));
        double x = (fm > 0 ? 0.45 * Osc(t.wave, mPhase) * env : 0) +
                   (fb > 0 ? 0.3 * Osc(Wave::Sine, bPhase) * Envelope(inBeat, beat, 0.01, 0.02) : 0);
        out[i] = static_cast<int16_t>(std::lround(std::clamp(x, -1.0, 1.0) * 28000));
    }
    return out;
}

bool WriteWav(const InstallContext& ctx, const std::string& name, const WavSpec& spec,
              const std::vector<int16_t>& samples) {
    std::vector<uint8_t> bytes = EncodeWav(spec, samples);
    return WriteFileBytes(ctx.Path("sounds/" + name), bytes.data(), bytes.size());
}

bool WriteSounds(const InstallContext& ctx) {
    std::string dat =
        "; Sound effects and music tracks; files are in the sounds directory.\n"
        "[sounds]\n"
        "debug=0\n"
        "\n"
        "[winsounds]\n"
        "numsounds=" + std::to_string(kSoundCount) + "\n";
    for (int n = 0; n < kSoundCount; ++n) {
        SoundDef def = Generated(n);
        for (const NamedSound& s : kNamed)
            if (s.number == n)
                def = s.def;
        char name[32];
        if (def.file)
            std::snprintf(name, sizeof name, "%s", def.file);
        else
            std::snprintf(name, sizeof name, "fx%02d.wav", n);
        WavSpec spec = FormatFor(n);
        if (!WriteWav(ctx, name, spec, Render(def, spec, static_cast<uint32_t>(n) + 1)))
            return false;
        char section[64];
        std::snprintf(section, sizeof section, "\n[winsound%02d]\nfile=%s\n", n, name);
        dat += section;
    }
    dat += "\n[music]\n";
    int track = 1;
    for (const Track& t : kTracks) {
        WavSpec spec{22050, 1, 16};
        if (!WriteWav(ctx, t.file, spec, RenderTrack(t, spec)))
            return false;
        char line[64];
        std::snprintf(line, sizeof line, "music%02d=%s\n", track++, t.file);
        dat += line;
    }
    return WriteTextFile(ctx.Path("sounds.dat"), dat);
}

InstallStep g_step("sounds", 40, WriteSounds);

}  // namespace
