#pragma once
// The display's bits per channel of a 16-bit pixel: red in the top bits, then green, then blue.
// The screen surface learns them from its surface's masks; code that builds pixels before or
// without it takes them as an argument.

#include <cstdint>

struct ChannelBits {
    int red = 5;
    int green = 6;
    int blue = 5;
};

constexpr ChannelBits kChannels565{5, 6, 5};
constexpr ChannelBits kChannels555{5, 5, 5};

inline bool IsChannels565(const ChannelBits& bits) {
    return bits.red == 5 && bits.green == 6 && bits.blue == 5;
}

// ((red >> (8 - R)) << (G + B)) + ((green >> (8 - G)) << B) + (blue >> (8 - B)); components are
// 0..255.
uint16_t PackPixel16(const ChannelBits& bits, int red, int green, int blue);
