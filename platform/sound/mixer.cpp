#include "platform/sound/mixer.h"

#include <algorithm>

namespace platform {

void ChannelGains(int volume, int pan, int32_t* left, int32_t* right) {
    volume = std::clamp(volume, 0, kFullVolume);
    pan = std::clamp(pan, 0, kMaxPan);
    int64_t l = pan <= kCentrePan ? 65536 : int64_t(kMaxPan - pan) * 65536 / (kMaxPan - kCentrePan);
    int64_t r = pan >= kCentrePan ? 65536 : int64_t(pan) * 65536 / kCentrePan;
    *left = static_cast<int32_t>(l * volume / kFullVolume);
    *right = static_cast<int32_t>(r * volume / kFullVolume);
}

SoundMixer::SoundMixer(int voices) : voices_(static_cast<size_t>(voices > 0 ? voices : 0)) {
    ended_.reserve(voices_.size());  // no allocation on the audio thread
}

void SoundMixer::MixVoice(const MixerVoice& v, int32_t* acc, size_t frames) const {
    int32_t gl, gr;
    ChannelGains(v.volume, v.pan, &gl, &gr);
    if (gl == 0 && gr == 0)
        return;
    const int16_t* s = v.pcm->samples.data();
    if (v.pcm->channels == 1) {
        s += v.position;
        for (size_t i = 0; i < frames; ++i) {
            int64_t x = s[i];
            acc[2 * i] += static_cast<int32_t>((x * gl) >> 16);
            acc[2 * i + 1] += static_cast<int32_t>((x * gr) >> 16);
        }
    } else {
        s += 2 * v.position;
        for (size_t i = 0; i < frames; ++i) {
            acc[2 * i] += static_cast<int32_t>((int64_t(s[2 * i]) * gl) >> 16);
            acc[2 * i + 1] += static_cast<int32_t>((int64_t(s[2 * i + 1]) * gr) >> 16);
        }
    }
}

void SoundMixer::Render(int16_t* out, size_t frames) {
    rendering_ = true;
    int32_t acc[2 * kBlockFrames];
    size_t done = 0;
    while (done < frames) {
        size_t chunk = std::min(frames - done, kBlockFrames);
        for (const MixerVoice& v : voices_)
            if (v.status == SMP_PLAYING)
                chunk = std::min(chunk, v.pcm->frames - v.position);

        if (out && chunk > 0) {
            std::fill(acc, acc + 2 * chunk, 0);
            for (const MixerVoice& v : voices_)
                if (v.status == SMP_PLAYING)
                    MixVoice(v, acc, chunk);
            int16_t* o = out + 2 * done;
            for (size_t i = 0; i < 2 * chunk; ++i)
                o[i] = static_cast<int16_t>(std::clamp(acc[i], -32768, 32767));
        }

        ended_.clear();
        for (size_t i = 0; i < voices_.size(); ++i) {
            MixerVoice& v = voices_[i];
            if (v.status != SMP_PLAYING)
                continue;
            v.position += chunk;
            if (v.position >= v.pcm->frames) {
                v.status = SMP_DONE;
                ended_.push_back(static_cast<int>(i));
            }
        }
        // Handlers run after every voice has moved, so a restart begins cleanly at frame 0.
        if (onEnd_)
            for (int i : ended_)
                onEnd_(i);
        done += chunk;
    }
    rendering_ = false;
}

}  // namespace platform
