// PCX pictures in every mode: any bytes must decode or fail cleanly, within the image's own
// block, the pool and the back buffer.

#include <cstdint>
#include <vector>

#include "client/core/pcx_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::vector<uint16_t> back(800 * 600);
    PcxScreenTarget screen{back.data(), 800, 600, kChannels555};
    for (int mode : {PCX_HEAP, PCX_POOL, PCX_SCREEN}) {
        for (int palette : {1, 0}) {
            PcxImage image;
            ByteReader r(data, size);
            if (image.ReadPcx(r, mode, palette, &screen) == 0)
                image.ConvertPcxToHicolor(kChannels565);
        }
    }
    return 0;
}
