#include "tools/writers/sgf_bytes.h"

#include "engine/core/sg_stream.h"

std::vector<uint8_t> SgfBytesOf(SgObject* topLevel) { return SgfBytesOf({topLevel}); }

std::vector<uint8_t> SgfBytesOf(std::initializer_list<SgObject*> topLevel) {
    SgSceneStream stream;
    stream.SetRunSaveHooks(false);
    for (SgObject* object : topLevel)
        stream.InsertObject(object);
    std::vector<uint8_t> bytes;
    stream.Save(bytes);
    return bytes;
}
