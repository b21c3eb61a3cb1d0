#pragma once
// The sample library's mixer: voices of converted PCM mixed into 22050 Hz stereo 16-bit with a
// volume (0 to 100; 100 and above leave the sample as it is) and a pan (0 left, 64 centre, 127 right),
// summed and clipped. Rendering without an output buffer only advances the voices, which is how
// the silent backend keeps time. A voice that reaches its end is marked done at its exact frame
// and reported to the end handler, which may start it again; the rest of the block then plays
// the restarted voice, so loops are seamless.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/sound/ail.h"
#include "platform/sound/wav.h"

namespace platform {

// A voice's status takes the values of a sample handle's (SMP_FREE ... SMP_STOPPED).
constexpr int kDefaultVolume = AIL_DEFAULT_VOLUME;
constexpr int kFullVolume = 100;  // volumes at or above play the sample at its own level
constexpr int kCentrePan = AIL_DEFAULT_PAN;
constexpr int kMaxPan = 127;

struct MixerVoice {
    int status = SMP_FREE;
    std::shared_ptr<const SoundPcm> pcm;
    size_t position = 0;  // frames played
    int volume = kDefaultVolume;
    int pan = kCentrePan;
};

// Gains of the two output channels for a volume and a pan, as 16.16 fixed point (65536 leaves a
// sample unchanged). Centre leaves both channels at the volume; panning to one side fades the
// other channel out linearly, so a sound played at the defaults is exactly its own samples.
void ChannelGains(int volume, int pan, int32_t* left, int32_t* right);

class SoundMixer {
public:
    using EndHandler = std::function<void(int voice)>;

    explicit SoundMixer(int voices);

    int VoiceCount() const { return static_cast<int>(voices_.size()); }
    MixerVoice& Voice(int i) { return voices_[static_cast<size_t>(i)]; }
    const MixerVoice& Voice(int i) const { return voices_[static_cast<size_t>(i)]; }

    void SetEndHandler(EndHandler handler) { onEnd_ = std::move(handler); }

    // Mixes frames of interleaved stereo into out, or only advances the voices when out is null.
    void Render(int16_t* out, size_t frames);
    // True while Render runs (end handlers run inside it).
    bool Rendering() const { return rendering_; }

private:
    static constexpr size_t kBlockFrames = 512;

    void MixVoice(const MixerVoice& v, int32_t* acc, size_t frames) const;

    std::vector<MixerVoice> voices_;
    std::vector<int> ended_;
    EndHandler onEnd_;
    bool rendering_ = false;
};

}  // namespace platform
