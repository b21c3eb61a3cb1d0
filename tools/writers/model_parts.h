#pragma once
// Small pieces the sample-model writers share.

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "engine/core/sg_ref.h"
#include "engine/core/sg_texture_property.h"

// A fresh engine object held by a reference, named.
template <class T>
SgRef<T> Named(T* object, const char* name) {
    SgRef<T> ref(object);
    ref->AssignName(name);
    return ref;
}

// Keys are handed to their owners as clones; this owns the originals for the call.
template <class K>
struct OwnedKeys {
    std::vector<K*> items;
    OwnedKeys(std::initializer_list<K*> keys) : items(keys) {}
    OwnedKeys(const OwnedKeys&) = delete;
    OwnedKeys& operator=(const OwnedKeys&) = delete;
    ~OwnedKeys() {
        for (K* k : items)
            delete k;
    }
    const K* const* Data() const { return items.data(); }
    uint32_t Count() const { return static_cast<uint32_t>(items.size()); }
};

// A texture of one image read from the file (beside the model) in whatever format suits.
inline SgRef<SgTextureProperty> FileTexture(const char* file) {
    SgRef<SgImage> image(new SgImage);
    image->SetFileName(file);
    image->formatKind = SgImage::kAnyFormat;
    SgRef<SgTextureProperty> texture(new SgTextureProperty);
    texture->AppendImage(image.Get());
    texture->currentIndex = 0;
    return texture;
}
