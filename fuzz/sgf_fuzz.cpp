// sgf model files come from the installation and from downloads: any bytes must load safely, and
// what loads must save and load again. Leaks count as failures (every object the stream made is
// released with it).

#include <cstdint>
#include <vector>

#include "engine/core/sg_action.h"
#include "engine/core/sg_stream.h"

namespace {

void Check(const uint8_t* data, size_t size) {
    SgSceneStream stream;
    if (!stream.Load(data, size))
        return;
    std::vector<uint8_t> saved;
    {
        SgSceneStream out;
        for (uint32_t i = 0; i < stream.TopLevelCount(); ++i)
            out.InsertObject(stream.TopLevelObject(i));
        if (!out.Save(saved))
            __builtin_trap();
    }
    SgSceneStream again;
    if (!again.Load(saved.data(), saved.size()) || again.TopLevelCount() != stream.TopLevelCount())
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Check(data, size);
    // Loaded actions join the process's list; each input starts without them.
    SgAction::ClearList();
    return 0;
}
