#include "engine/core/sg_texture_property.h"

#include "engine/core/sg_registry.h"
#include "engine/core/sg_stream.h"

namespace {

// Puts the images the ids name after the array's used slots, in stored order; an id of 0, or one
// that names no image, leaves its slot empty.
void LinkImages(SgSceneStream& s, const SgPtrArray<uint32_t>* ids, SgArray<SgImage>& images) {
    if (!ids)
        return;
    uint32_t base = images.UsedSize();
    images.ReserveMore(ids->UsedSize());
    for (uint32_t i = 0; i < ids->UsedSize(); ++i)
        images.SetAtGrow(base + i, SgRef<SgImage>(s.Resolve<SgImage>(ids->At(i))));
}

void RegisterImages(SgSceneStream& s, const SgArray<SgImage>& images) {
    for (uint32_t i = 0; i < images.UsedSize(); ++i)
        if (SgImage* image = images.At(i))
            image->RegisterInStream(s);
}

void SaveImageLinks(SgSceneStream& s, const SgArray<SgImage>& images) {
    s.WriteU32(images.UsedSize());
    for (uint32_t i = 0; i < images.UsedSize(); ++i)
        s.WriteLinkId(images.At(i));
}

bool SameImages(const SgArray<SgImage>& a, const SgArray<SgImage>& b) {
    if (a.UsedSize() != b.UsedSize())
        return false;
    for (uint32_t i = 0; i < a.UsedSize(); ++i)
        if (!SgSameObjects(a.At(i), b.At(i)))
            return false;
    return true;
}

bool LoadValues(SgSceneStream& s, SgPtrArray<uint32_t>& values) {
    uint32_t n = s.ReadU32();
    if (!s.CheckCount(n, 4))
        return false;
    values.ReserveMore(n);
    for (uint32_t i = 0; i < n; ++i)
        values.Append(s.ReadU32());
    return s.ReadOk();
}

void SaveValues(SgSceneStream& s, const SgPtrArray<uint32_t>& values) {
    s.WriteU32(values.UsedSize());
    for (uint32_t i = 0; i < values.UsedSize(); ++i)
        s.WriteU32(values.At(i));
}

bool SameValues(const SgPtrArray<uint32_t>& a, const SgPtrArray<uint32_t>& b) {
    if (a.UsedSize() != b.UsedSize())
        return false;
    for (uint32_t i = 0; i < a.UsedSize(); ++i)
        if (a.At(i) != b.At(i))
            return false;
    return true;
}

SgPtrArray<uint32_t>* FirstIdList(const SgObject* object) {
    SgLinkIdData1* link = object->LinkRecord<SgLinkIdData1>();
    return link ? link->IdList(0) : nullptr;
}

}  // namespace

constinit SgTypeRecord SgTextureProperty::typeRecord{"SgTextureProperty", &SgProperty::typeRecord};
constinit SgTypeRecord SgMultiTextureProperty::typeRecord{"SgMultiTextureProperty", &SgProperty::typeRecord};

int SgTextureProperty::Register() {
    return SgClassRegistry::Register(typeRecord, SgCreateObject<SgTextureProperty, SgLinkIdData1>);
}
int SgMultiTextureProperty::Register() {
    return SgClassRegistry::Register(typeRecord, SgCreateObject<SgMultiTextureProperty, SgLinkIdData1>);
}

const SgTypeRecord* SgTextureProperty::GetTypeRecord() const { return &typeRecord; }
const SgTypeRecord* SgMultiTextureProperty::GetTypeRecord() const { return &typeRecord; }

SgRef<SgTextureProperty> SgTextureProperty::Default() { return SgDefaultInstanceOf<SgTextureProperty>(); }
SgRef<SgMultiTextureProperty> SgMultiTextureProperty::Default() {
    return SgDefaultInstanceOf<SgMultiTextureProperty>();
}

// ---- Texture ----

SgTextureProperty::SgTextureProperty(const char* fileName) {
    SgRef<SgImage> image = SgImage::CreateFromFile(fileName, 2, SgImage::kAnyFormat);
    if (image) {
        images.SetAtGrow(0, image);
        currentIndex = 0;
    }
}

SgRef<SgImage> SgTextureProperty::CurrentImage() const {
    // A file or an action may leave any index here.
    if (currentIndex < 0)
        return {};
    return images.GetArrayElementRef(static_cast<uint32_t>(currentIndex));
}

bool SgTextureProperty::LoadFromStream(SgSceneStream& s) {
    if (!SgProperty::LoadFromStream(s))
        return false;
    currentIndex = s.ReadI32();
    return SgLoadLinkIds(s, FirstIdList(this));
}

void SgTextureProperty::LinkFromStream(SgSceneStream& s) {
    SgProperty::LinkFromStream(s);
    LinkImages(s, FirstIdList(this), images);
}

bool SgTextureProperty::RegisterInStream(SgSceneStream& s) {
    if (!SgProperty::RegisterInStream(s))
        return false;
    RegisterImages(s, images);
    return true;
}

void SgTextureProperty::SaveToStream(SgSceneStream& s) const {
    SgProperty::SaveToStream(s);
    s.WriteI32(currentIndex);
    SaveImageLinks(s, images);
}

bool SgTextureProperty::IsEqualTo(const SgObject* other) const {
    const SgTextureProperty* o = SgKindCast<SgTextureProperty>(other);
    return o && SgProperty::IsEqualTo(o) && o->currentIndex == currentIndex && SameImages(images, o->images);
}

// ---- Multi-texture ----

bool SgMultiTextureProperty::LoadFromStream(SgSceneStream& s) {
    if (!SgProperty::LoadFromStream(s))
        return false;
    return SgLoadLinkIds(s, FirstIdList(this)) && LoadValues(s, blendModes) && LoadValues(s, addressingModes) &&
           LoadValues(s, filterModes);
}

void SgMultiTextureProperty::LinkFromStream(SgSceneStream& s) {
    SgProperty::LinkFromStream(s);
    LinkImages(s, FirstIdList(this), textures);
}

bool SgMultiTextureProperty::RegisterInStream(SgSceneStream& s) {
    if (!SgProperty::RegisterInStream(s))
        return false;
    RegisterImages(s, textures);
    return true;
}

void SgMultiTextureProperty::SaveToStream(SgSceneStream& s) const {
    SgProperty::SaveToStream(s);
    SaveImageLinks(s, textures);
    SaveValues(s, blendModes);
    SaveValues(s, addressingModes);
    SaveValues(s, filterModes);
}

bool SgMultiTextureProperty::IsEqualTo(const SgObject* other) const {
    const SgMultiTextureProperty* o = SgKindCast<SgMultiTextureProperty>(other);
    return o && SgProperty::IsEqualTo(o) && SameImages(textures, o->textures) &&
           SameValues(blendModes, o->blendModes) && SameValues(addressingModes, o->addressingModes) &&
           SameValues(filterModes, o->filterModes);
}
