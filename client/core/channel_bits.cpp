#include "client/core/channel_bits.h"

uint16_t PackPixel16(const ChannelBits& bits, int red, int green, int blue) {
    int r = (red & 0xFF) >> (8 - bits.red);
    int g = (green & 0xFF) >> (8 - bits.green);
    int b = (blue & 0xFF) >> (8 - bits.blue);
    return static_cast<uint16_t>((r << (bits.green + bits.blue)) + (g << bits.blue) + b);
}
