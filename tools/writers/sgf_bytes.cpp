#include "tools/writers/sgf_bytes.h"

#include "engine/core/sg_stream.h"

std::vector<uint8_t> SgfBytesOf(SgObject* topLevel) {
    SgSceneStream stream;
    stream.SetRunSaveHooks(false);
    stream.InsertObject(topLevel);
    std::vector<uint8_t> bytes;
    stream.Save(bytes);
    return bytes;
}
