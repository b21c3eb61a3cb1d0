// Level pack archives: any bytes must open or fail cleanly, and every entry handed out must lie
// inside the inflated block. Seeds are archives whose stored name is "fuzz.zpk".

#include <cstdint>

#include "client/core/pack_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (int mode : {1, 0}) {
        PackFile pack;
        if (pack.OpenPackFileFromMemory("grids\\fuzz.zpk", data, size, mode) != 0)
            continue;
        for (const PackEntry& listed : pack.directory) {
            PackEntry e;
            if (pack.FindPackEntry(listed.name, &e) != 0)
                continue;
            // Touch every byte handed out.
            ByteReader r = pack.EntryReader(e);
            volatile uint8_t sink = 0;
            while (!r.AtEnd())
                sink = sink ^ r.U8();
        }
        PackEntry e;
        pack.FindPackEntry("GRID.DAT", &e);
        pack.FindPackEntry("", &e);
    }
    return 0;
}
