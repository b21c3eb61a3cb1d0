#include "platform/sound/wav.h"

#include <cstring>

#include "common/byte_reader.h"

namespace platform {
namespace {

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatExtensible = 0xFFFE;
constexpr uint32_t kMinRate = 4000;
constexpr uint32_t kMaxRate = 192000;

bool Fail(std::string* error, const char* why) {
    if (error)
        *error = why;
    return false;
}

struct WavFormat {
    uint16_t tag = 0;
    uint16_t channels = 0;
    uint32_t rate = 0;
    uint16_t bits = 0;
};

bool ReadFormat(ByteReader chunk, WavFormat* f, std::string* error) {
    f->tag = chunk.U16LE();
    f->channels = chunk.U16LE();
    f->rate = chunk.U32LE();
    chunk.U32LE();  // bytes a second: derived, not trusted
    chunk.U16LE();  // block alignment: likewise
    f->bits = chunk.U16LE();
    if (!chunk.Ok())
        return Fail(error, "format chunk too short");
    if (f->tag == kFormatExtensible) {
        // cbSize, valid bits, channel mask, then the sub-format GUID whose first word is the tag.
        chunk.U16LE();
        chunk.U16LE();
        chunk.U32LE();
        uint16_t sub = chunk.U16LE();
        if (!chunk.Ok())
            return Fail(error, "extensible format chunk too short");
        f->tag = sub;
    }
    if (f->tag != kFormatPcm)
        return Fail(error, "not PCM");
    if (f->channels != 1 && f->channels != 2)
        return Fail(error, "not one or two channels");
    if (f->bits != 8 && f->bits != 16)
        return Fail(error, "not 8 or 16 bits");
    if (f->rate < kMinRate || f->rate > kMaxRate)
        return Fail(error, "unsupported rate");
    return true;
}

}  // namespace

std::vector<int16_t> ResampleToMixRate(const std::vector<int16_t>& in, int channels, uint32_t rate) {
    if (channels <= 0 || rate == 0)
        return {};
    size_t inFrames = in.size() / static_cast<size_t>(channels);
    if (rate == static_cast<uint32_t>(kMixRate) || inFrames == 0)
        return std::vector<int16_t>(in.begin(), in.begin() + static_cast<ptrdiff_t>(inFrames * channels));
    uint64_t outFrames = (static_cast<uint64_t>(inFrames) * kMixRate + rate - 1) / rate;
    std::vector<int16_t> out(static_cast<size_t>(outFrames) * channels);
    for (uint64_t i = 0; i < outFrames; ++i) {
        uint64_t num = i * rate;
        size_t idx = static_cast<size_t>(num / kMixRate);
        int64_t frac = static_cast<int64_t>(num % kMixRate);
        size_t next = idx + 1 < inFrames ? idx + 1 : inFrames - 1;
        for (int c = 0; c < channels; ++c) {
            int64_t a = in[idx * channels + c];
            int64_t b = in[next * channels + c];
            out[i * channels + c] = static_cast<int16_t>(a + (b - a) * frac / kMixRate);
        }
    }
    return out;
}

bool ParseWav(const uint8_t* data, size_t size, SoundPcm* out, std::string* error) {
    ByteReader r(data, size);
    char riff[4], wave[4];
    r.Bytes(riff, 4);
    r.U32LE();  // RIFF size: the chunks themselves are checked instead
    r.Bytes(wave, 4);
    if (!r.Ok() || std::memcmp(riff, "RIFF", 4) != 0 || std::memcmp(wave, "WAVE", 4) != 0)
        return Fail(error, "not a RIFF WAVE file");

    WavFormat format;
    bool haveFormat = false;
    ByteReader samples;
    bool haveData = false;
    while (r.Remaining() >= 8 && !(haveFormat && haveData)) {
        char id[4];
        r.Bytes(id, 4);
        uint32_t chunkSize = r.U32LE();
        size_t available = r.Remaining();
        if (std::memcmp(id, "data", 4) == 0 && chunkSize > available)
            chunkSize = static_cast<uint32_t>(available);  // a cut file: keep what is there
        if (chunkSize > available)
            return Fail(error, "chunk runs past the end");
        ByteReader chunk(r.Current(), chunkSize);
        if (std::memcmp(id, "fmt ", 4) == 0 && !haveFormat) {
            if (!ReadFormat(chunk, &format, error))
                return false;
            haveFormat = true;
        } else if (std::memcmp(id, "data", 4) == 0 && !haveData) {
            samples = chunk;
            haveData = true;
        }
        r.Skip(chunkSize);
        if ((chunkSize & 1) && r.Remaining() > 0)
            r.Skip(1);  // chunks are padded to even sizes
    }
    if (!haveFormat)
        return Fail(error, "no format chunk");
    if (!haveData)
        return Fail(error, "no data chunk");

    size_t frameBytes = static_cast<size_t>(format.channels) * (format.bits / 8);
    size_t inFrames = samples.Size() / frameBytes;
    if (inFrames == 0)
        return Fail(error, "no frames");
    uint64_t outFrames = (static_cast<uint64_t>(inFrames) * kMixRate + format.rate - 1) / format.rate;
    if (outFrames > kMaxSoundFrames)
        return Fail(error, "sound too long");

    std::vector<int16_t> pcm(inFrames * format.channels);
    for (size_t i = 0; i < pcm.size(); ++i) {
        if (format.bits == 8)
            pcm[i] = static_cast<int16_t>((static_cast<int>(samples.U8()) - 128) * 256);
        else
            pcm[i] = samples.I16LE();
    }
    out->channels = format.channels;
    out->samples = ResampleToMixRate(pcm, format.channels, format.rate);
    out->frames = out->samples.size() / format.channels;
    return true;
}

}  // namespace platform
