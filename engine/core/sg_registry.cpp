#include "engine/core/sg_registry.h"

namespace {

template <class F>
int RegisterOnce(SgNameHashMap<F>& registry, SgTypeRecord& record, F create) {
    if (record.registered)
        return 0;
    record.registered = true;
    registry.Insert(record.name, create);
    return 1;
}

}  // namespace

SgNameHashMap<SgCreateFunction>& SgClassRegistry::Objects() {
    static SgNameHashMap<SgCreateFunction> registry(kBuckets);
    return registry;
}

SgNameHashMap<SgExtraCreateFunction>& SgClassRegistry::ExtraData() {
    static SgNameHashMap<SgExtraCreateFunction> registry(kBuckets);
    return registry;
}

int SgClassRegistry::Register(SgTypeRecord& record, SgCreateFunction create) {
    return RegisterOnce(Objects(), record, create);
}

int SgClassRegistry::RegisterExtra(SgTypeRecord& record, SgExtraCreateFunction create) {
    return RegisterOnce(ExtraData(), record, create);
}

bool SgCreateAbstract(SgSceneStream&, SgObject**) { return true; }
