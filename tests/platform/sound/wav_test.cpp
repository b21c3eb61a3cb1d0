#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/byte_writer.h"
#include "platform/sound/wav.h"
#include "tools/writers/wav_writer.h"

namespace {

using platform::ParseWav;
using platform::SoundPcm;

// A RIFF image from chunks, for the malformed cases the writer never makes.
std::vector<uint8_t> Riff(const std::vector<std::pair<std::string, std::vector<uint8_t>>>& chunks,
                          const char* form = "WAVE") {
    ByteWriter w;
    w.Bytes("RIFF", 4);
    w.U32LE(0);
    w.Bytes(form, 4);
    for (const auto& [id, body] : chunks) {
        w.Bytes(id.data(), 4);
        w.U32LE(static_cast<uint32_t>(body.size()));
        w.Bytes(body.data(), body.size());
        if (body.size() & 1)
            w.U8(0);
    }
    w.PatchU32LE(4, static_cast<uint32_t>(w.Size() - 8));
    return w.Data();
}

std::vector<uint8_t> Fmt(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits) {
    ByteWriter w;
    w.U16LE(tag);
    w.U16LE(channels);
    w.U32LE(rate);
    w.U32LE(rate * channels * bits / 8);
    w.U16LE(static_cast<uint16_t>(channels * bits / 8));
    w.U16LE(bits);
    return w.Data();
}

std::vector<uint8_t> Samples16(const std::vector<int16_t>& s) {
    ByteWriter w;
    for (int16_t v : s)
        w.I16LE(v);
    return w.Data();
}

TEST(WavTest, ConvertsEveryAcceptedFormat) {
    struct Case {
        WavSpec spec;
        std::vector<int16_t> in;
        int channels;
        std::vector<int16_t> expected;
    };
    const Case cases[] = {
        // At the mix rate the samples are copied exactly.
        {{22050, 1, 16}, {0, 1000, -32768, 32767}, 1, {0, 1000, -32768, 32767}},
        {{22050, 2, 16}, {1, -1, 2, -2}, 2, {1, -1, 2, -2}},
        // 8-bit keeps the high byte: 0x7F00 -> 127 -> 0x7F00; -0x8000 -> 0 -> -0x8000.
        {{22050, 1, 8}, {0x7F00, -0x8000, 0x0100}, 1, {0x7F00, -0x8000, 0x0100}},
        // Half the rate: every other output frame lies half-way between two input frames.
        {{11025, 1, 16}, {0, 1000, 3000}, 1, {0, 500, 1000, 2000, 3000, 3000}},
        // Double the rate: every other input frame.
        {{44100, 2, 16}, {10, 20, 11, 21, 12, 22, 13, 23}, 2, {10, 20, 12, 22}},
    };
    for (const Case& c : cases) {
        SoundPcm pcm;
        std::string error;
        ASSERT_TRUE(ParseWav(EncodeWav(c.spec, c.in).data(), EncodeWav(c.spec, c.in).size(), &pcm, &error))
            << c.spec.rate << " " << c.spec.bits << ": " << error;
        EXPECT_EQ(pcm.channels, c.channels);
        EXPECT_EQ(pcm.samples, c.expected) << c.spec.rate << " Hz, " << c.spec.bits << " bits";
        EXPECT_EQ(pcm.frames, c.expected.size() / c.channels);
    }
}

TEST(WavTest, ReadsTheExtensibleFormAndSkipsOtherChunks) {
    ByteWriter ext;
    for (uint8_t b : Fmt(0xFFFE, 1, 22050, 16))
        ext.U8(b);
    ext.U16LE(22);      // extension size
    ext.U16LE(16);      // valid bits
    ext.U32LE(4);       // channel mask
    ext.U16LE(1);       // sub-format: PCM
    ext.Zeros(14);
    // An odd-sized chunk before the data is padded; the parser must step over the pad byte.
    auto image = Riff({{"fmt ", ext.Data()}, {"LIST", {1, 2, 3}}, {"data", Samples16({5, 6, 7})}});
    SoundPcm pcm;
    ASSERT_TRUE(ParseWav(image.data(), image.size(), &pcm));
    EXPECT_EQ(pcm.samples, (std::vector<int16_t>{5, 6, 7}));
}

TEST(WavTest, KeepsWhatIsThereOfACutDataChunk) {
    auto image = Riff({{"fmt ", Fmt(1, 1, 22050, 16)}, {"data", Samples16({1, 2, 3, 4})}});
    image.resize(image.size() - 3);  // the size field still claims four samples
    SoundPcm pcm;
    ASSERT_TRUE(ParseWav(image.data(), image.size(), &pcm));
    EXPECT_EQ(pcm.samples, (std::vector<int16_t>{1, 2}));
}

TEST(WavTest, RefusesWhatItCannotPlay) {
    const std::vector<int16_t> some{1, 2, 3, 4};
    const std::pair<const char*, std::vector<uint8_t>> cases[] = {
        {"empty", {}},
        {"not RIFF", std::vector<uint8_t>(64, 'x')},
        {"not WAVE", Riff({{"fmt ", Fmt(1, 1, 22050, 16)}, {"data", Samples16(some)}}, "AVI ")},
        {"no format", Riff({{"data", Samples16(some)}})},
        {"no data", Riff({{"fmt ", Fmt(1, 1, 22050, 16)}})},
        {"float", Riff({{"fmt ", Fmt(3, 1, 22050, 32)}, {"data", Samples16(some)}})},
        {"24 bits", Riff({{"fmt ", Fmt(1, 1, 22050, 24)}, {"data", Samples16(some)}})},
        {"3 channels", Riff({{"fmt ", Fmt(1, 3, 22050, 16)}, {"data", Samples16(some)}})},
        {"rate 0", Riff({{"fmt ", Fmt(1, 1, 0, 16)}, {"data", Samples16(some)}})},
        {"rate too high", Riff({{"fmt ", Fmt(1, 1, 400000, 16)}, {"data", Samples16(some)}})},
        {"short format", Riff({{"fmt ", {1, 0, 1, 0}}, {"data", Samples16(some)}})},
        {"no frames", Riff({{"fmt ", Fmt(1, 2, 22050, 16)}, {"data", {1, 2, 3}}})},
    };
    for (const auto& [name, image] : cases) {
        SoundPcm pcm;
        std::string error;
        EXPECT_FALSE(ParseWav(image.data(), image.size(), &pcm, &error)) << name;
        EXPECT_FALSE(error.empty()) << name;
    }
}

TEST(WavTest, RefusesASoundLongerThanTheLimit) {
    // 4000 Hz expands five and a half times; a file of 2.5 million frames would exceed ten minutes.
    ByteWriter data;
    data.Zeros(2500000);
    auto image = Riff({{"fmt ", Fmt(1, 1, 4000, 8)}, {"data", data.Data()}});
    SoundPcm pcm;
    std::string error;
    EXPECT_FALSE(ParseWav(image.data(), image.size(), &pcm, &error));
    EXPECT_EQ(error, "sound too long");
}

}  // namespace
