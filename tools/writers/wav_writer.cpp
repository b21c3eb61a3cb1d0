#include "tools/writers/wav_writer.h"

#include "common/byte_writer.h"

std::vector<uint8_t> EncodeWav(const WavSpec& spec, const std::vector<int16_t>& samples) {
    const uint32_t bytesPerSample = spec.bits == 8 ? 1 : 2;
    const uint32_t dataBytes = static_cast<uint32_t>(samples.size()) * bytesPerSample;
    ByteWriter w;
    w.Bytes("RIFF", 4);
    w.U32LE(4 + (8 + 16) + 8 + dataBytes + (dataBytes & 1));
    w.Bytes("WAVE", 4);
    w.Bytes("fmt ", 4);
    w.U32LE(16);
    w.U16LE(1);  // PCM
    w.U16LE(static_cast<uint16_t>(spec.channels));
    w.U32LE(static_cast<uint32_t>(spec.rate));
    w.U32LE(static_cast<uint32_t>(spec.rate) * spec.channels * bytesPerSample);
    w.U16LE(static_cast<uint16_t>(spec.channels * bytesPerSample));
    w.U16LE(static_cast<uint16_t>(spec.bits));
    w.Bytes("data", 4);
    w.U32LE(dataBytes);
    for (int16_t s : samples) {
        if (spec.bits == 8)
            w.U8(static_cast<uint8_t>((s >> 8) + 128));
        else
            w.I16LE(s);
    }
    if (dataBytes & 1)
        w.U8(0);  // chunks are padded to even sizes
    return w.Data();
}
