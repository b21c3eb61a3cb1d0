// Sound files come from the installation: any bytes must be read safely, and whatever is
// accepted must convert to whole frames within the length limit.

#include <cstdint>
#include <cstdlib>

#include "platform/sound/wav.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    platform::SoundPcm pcm;
    if (!platform::ParseWav(data, size, &pcm))
        return 0;
    if (pcm.channels < 1 || pcm.channels > 2 || pcm.frames == 0 || pcm.frames > platform::kMaxSoundFrames ||
        pcm.samples.size() != pcm.frames * static_cast<size_t>(pcm.channels))
        std::abort();
    return 0;
}
