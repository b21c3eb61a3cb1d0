// Configuration files come from the installation and the user: any bytes must read safely.

#include <cstdint>
#include <cstdio>

#include "client/core/config_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* f = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (!f)
        return 0;
    static const char* const kSections[] = {"main", "socket", "arena0", "", "[", "screens"};
    static const char* const kKeys[] = {"name", "port", "", "=", "grid", "protocol"};
    char value[64];
    int n = 0;
    for (const char* s : kSections)
        for (const char* k : kKeys) {
            ReadConfigString(f, s, k, value, sizeof value, "d");
            ReadConfigInt(f, s, k, &n, 1);
        }
    ForgetConfigStream(f);
    std::fclose(f);
    return 0;
}
