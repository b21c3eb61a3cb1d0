// File lists come from update servers: any bytes must parse safely, and whatever is accepted
// must name a file inside the installation.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "updater/lib/file_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* f = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (f) {
        FileList list;
        if (ParseFileListStream(f, &list)) {
            for (const FileListEntry& e : list.entries) {
                std::string name = e.name;
                if (name.empty() || name[0] == '/' || name.find(':') != std::string::npos ||
                    name.find('\\') != std::string::npos || ("/" + name + "/").find("/../") != std::string::npos ||
                    e.size > kMaxFileBytes || e.packedSize > kMaxFileBytes)
                    std::abort();
            }
        }
        std::fclose(f);
    }
    // The same bytes as one entry line, field by field.
    std::string line(reinterpret_cast<const char*>(data), size);
    for (int i = 0; i < 8 && !line.empty(); ++i) {
        std::string field;
        uint32_t value = 0;
        size_t before = line.size();
        if (i % 2 ? !TakeField(line, &field, kNameFieldMax) : !ParseHexField(line, &value, 16))
            break;
        if (line.size() >= before)
            std::abort();  // every taken field shortens the line
    }
    return 0;
}
