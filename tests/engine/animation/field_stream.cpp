#include "tests/engine/animation/field_stream.h"

#include <cstring>

#include "engine/core/sg_registry.h"
#include "engine/core/sg_stream.h"

namespace {

std::function<void(SgSceneStream&)> g_write;
std::function<bool(SgSceneStream&)> g_read;

class FieldCarrier : public SgObject {
public:
    static SgTypeRecord typeRecord;
    const SgTypeRecord* GetTypeRecord() const override { return &typeRecord; }
    bool LoadFromStream(SgSceneStream& s) override {
        return SgObject::LoadFromStream(s) && (!g_read || g_read(s)) && s.ReadOk();
    }
    void SaveToStream(SgSceneStream& s) const override {
        SgObject::SaveToStream(s);
        if (g_write)
            g_write(s);
    }
};
constinit SgTypeRecord FieldCarrier::typeRecord{"SgTestFieldCarrier", &SgObject::typeRecord};
const int g_registered = SgClassRegistry::Register(FieldCarrier::typeRecord, SgCreateObject<FieldCarrier>);

std::vector<uint8_t> SaveCarrier(const std::function<void(SgSceneStream&)>& write) {
    g_write = write;
    SgRef<FieldCarrier> carrier(new FieldCarrier);
    SgSceneStream stream;
    stream.InsertObject(carrier.Get());
    std::vector<uint8_t> bytes;
    stream.Save(bytes);
    g_write = nullptr;
    return bytes;
}

// The end record: the length-prefixed end marker.
size_t EndBytes() { return 4 + std::strlen(SgSceneStream::kEndMarker); }

}  // namespace

std::vector<uint8_t> WriteFields(const std::function<void(SgSceneStream&)>& write) {
    std::vector<uint8_t> empty = SaveCarrier(nullptr);
    std::vector<uint8_t> full = SaveCarrier(write);
    size_t prefix = empty.size() - EndBytes();
    return std::vector<uint8_t>(full.begin() + static_cast<std::ptrdiff_t>(prefix),
                                full.end() - static_cast<std::ptrdiff_t>(EndBytes()));
}

bool ReadFields(const std::vector<uint8_t>& fields, const std::function<bool(SgSceneStream&)>& read) {
    std::vector<uint8_t> empty = SaveCarrier(nullptr);
    std::vector<uint8_t> file(empty.begin(), empty.end() - static_cast<std::ptrdiff_t>(EndBytes()));
    file.insert(file.end(), fields.begin(), fields.end());
    file.insert(file.end(), empty.end() - static_cast<std::ptrdiff_t>(EndBytes()), empty.end());
    g_read = read;
    SgSceneStream stream;
    bool ok = stream.Load(file.data(), file.size());
    g_read = nullptr;
    return ok;
}
