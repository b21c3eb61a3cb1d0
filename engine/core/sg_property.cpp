#include "engine/core/sg_property.h"

#include "engine/core/sg_registry.h"
#include "engine/core/sg_stream.h"

namespace {

uint32_t g_nextMaterialId = 1;

}  // namespace

constinit SgTypeRecord SgProperty::typeRecord{"SgProperty", &SgObject::typeRecord};
constinit SgTypeRecord SgAlphaProperty::typeRecord{"SgAlphaProperty", &SgProperty::typeRecord};
constinit SgTypeRecord SgCorrectionProperty::typeRecord{"SgCorrectionProperty", &SgProperty::typeRecord};
constinit SgTypeRecord SgFogProperty::typeRecord{"SgFogProperty", &SgProperty::typeRecord};
constinit SgTypeRecord SgMaterialProperty::typeRecord{"SgMaterialProperty", &SgProperty::typeRecord};
constinit SgTypeRecord SgShadeProperty::typeRecord{"SgShadeProperty", &SgProperty::typeRecord};
constinit SgTypeRecord SgTextureModeProperty::typeRecord{"SgTextureModeProperty", &SgProperty::typeRecord};
constinit SgTypeRecord SgTransparentProperty::typeRecord{"SgTransparentProperty", &SgProperty::typeRecord};
constinit SgTypeRecord SgWireframeProperty::typeRecord{"SgWireframeProperty", &SgProperty::typeRecord};
constinit SgTypeRecord SgZBufferProperty::typeRecord{"SgZBufferProperty", &SgProperty::typeRecord};
constinit SgTypeRecord SgDitherProperty::typeRecord{"SgDitherProperty", &SgProperty::typeRecord};
constinit SgTypeRecord SgVertexColorProperty::typeRecord{"SgVertexColorProperty", &SgProperty::typeRecord};
constinit SgTypeRecord SgSpecularProperty::typeRecord{"SgSpecularProperty", &SgProperty::typeRecord};

int SgProperty::Register() { return SgClassRegistry::Register(typeRecord, SgCreateAbstract); }
int SgAlphaProperty::Register() { return SgClassRegistry::Register(typeRecord, SgCreateObject<SgAlphaProperty>); }
int SgCorrectionProperty::Register() {
    return SgClassRegistry::Register(typeRecord, SgCreateObject<SgCorrectionProperty>);
}
int SgFogProperty::Register() { return SgClassRegistry::Register(typeRecord, SgCreateObject<SgFogProperty>); }
int SgMaterialProperty::Register() {
    return SgClassRegistry::Register(typeRecord, SgCreateObject<SgMaterialProperty>);
}
int SgShadeProperty::Register() { return SgClassRegistry::Register(typeRecord, SgCreateObject<SgShadeProperty>); }
int SgTextureModeProperty::Register() {
    return SgClassRegistry::Register(typeRecord, SgCreateObject<SgTextureModeProperty>);
}
int SgTransparentProperty::Register() {
    return SgClassRegistry::Register(typeRecord, SgCreateObject<SgTransparentProperty>);
}
int SgWireframeProperty::Register() {
    return SgClassRegistry::Register(typeRecord, SgCreateObject<SgWireframeProperty>);
}
int SgZBufferProperty::Register() {
    return SgClassRegistry::Register(typeRecord, SgCreateObject<SgZBufferProperty>);
}
int SgDitherProperty::Register() { return SgClassRegistry::Register(typeRecord, SgCreateObject<SgDitherProperty>); }
int SgVertexColorProperty::Register() {
    return SgClassRegistry::Register(typeRecord, SgCreateObject<SgVertexColorProperty>);
}
int SgSpecularProperty::Register() {
    return SgClassRegistry::Register(typeRecord, SgCreateObject<SgSpecularProperty>);
}

const SgTypeRecord* SgProperty::GetTypeRecord() const { return &typeRecord; }
const SgTypeRecord* SgAlphaProperty::GetTypeRecord() const { return &typeRecord; }
const SgTypeRecord* SgCorrectionProperty::GetTypeRecord() const { return &typeRecord; }
const SgTypeRecord* SgFogProperty::GetTypeRecord() const { return &typeRecord; }
const SgTypeRecord* SgMaterialProperty::GetTypeRecord() const { return &typeRecord; }
const SgTypeRecord* SgShadeProperty::GetTypeRecord() const { return &typeRecord; }
const SgTypeRecord* SgTextureModeProperty::GetTypeRecord() const { return &typeRecord; }
const SgTypeRecord* SgTransparentProperty::GetTypeRecord() const { return &typeRecord; }
const SgTypeRecord* SgWireframeProperty::GetTypeRecord() const { return &typeRecord; }
const SgTypeRecord* SgZBufferProperty::GetTypeRecord() const { return &typeRecord; }
const SgTypeRecord* SgDitherProperty::GetTypeRecord() const { return &typeRecord; }
const SgTypeRecord* SgVertexColorProperty::GetTypeRecord() const { return &typeRecord; }
const SgTypeRecord* SgSpecularProperty::GetTypeRecord() const { return &typeRecord; }

SgRef<SgAlphaProperty> SgAlphaProperty::Default() { return SgDefaultInstanceOf<SgAlphaProperty>(); }
SgRef<SgCorrectionProperty> SgCorrectionProperty::Default() { return SgDefaultInstanceOf<SgCorrectionProperty>(); }
SgRef<SgFogProperty> SgFogProperty::Default() { return SgDefaultInstanceOf<SgFogProperty>(); }
SgRef<SgMaterialProperty> SgMaterialProperty::Default() { return SgDefaultInstanceOf<SgMaterialProperty>(); }
SgRef<SgShadeProperty> SgShadeProperty::Default() { return SgDefaultInstanceOf<SgShadeProperty>(); }
SgRef<SgTextureModeProperty> SgTextureModeProperty::Default() { return SgDefaultInstanceOf<SgTextureModeProperty>(); }
SgRef<SgTransparentProperty> SgTransparentProperty::Default() { return SgDefaultInstanceOf<SgTransparentProperty>(); }
SgRef<SgWireframeProperty> SgWireframeProperty::Default() { return SgDefaultInstanceOf<SgWireframeProperty>(); }
SgRef<SgZBufferProperty> SgZBufferProperty::Default() { return SgDefaultInstanceOf<SgZBufferProperty>(); }
SgRef<SgDitherProperty> SgDitherProperty::Default() { return SgDefaultInstanceOf<SgDitherProperty>(); }
SgRef<SgVertexColorProperty> SgVertexColorProperty::Default() { return SgDefaultInstanceOf<SgVertexColorProperty>(); }
SgRef<SgSpecularProperty> SgSpecularProperty::Default() { return SgDefaultInstanceOf<SgSpecularProperty>(); }

void SgMakeDefaultProperties() {
    // The material first, so the process's first material id goes to the default instance.
    SgMaterialProperty::Default();
    SgAlphaProperty::Default();
    SgCorrectionProperty::Default();
    SgFogProperty::Default();
    SgShadeProperty::Default();
    SgTextureModeProperty::Default();
    SgTransparentProperty::Default();
    SgWireframeProperty::Default();
    SgZBufferProperty::Default();
    SgDitherProperty::Default();
    SgVertexColorProperty::Default();
    SgSpecularProperty::Default();
}

// ---- SgProperty ----

bool SgProperty::LoadFromStream(SgSceneStream& s) {
    if (!SgObject::LoadFromStream(s))
        return false;
    override = s.ReadU8();
    return s.ReadOk();
}

void SgProperty::SaveToStream(SgSceneStream& s) const {
    SgObject::SaveToStream(s);
    s.WriteU8(override);
}

bool SgProperty::IsEqualTo(const SgObject* other) const {
    if (!SgObject::IsEqualTo(other))
        return false;
    const SgProperty* o = SgKindCast<SgProperty>(other);
    return o && o->override == override;
}

// ---- Alpha ----

bool SgAlphaProperty::LoadFromStream(SgSceneStream& s) {
    if (!SgProperty::LoadFromStream(s))
        return false;
    blendOn = s.ReadU8();
    sourceBlend = s.ReadU32();
    destinationBlend = s.ReadU32();
    return s.ReadOk();
}

void SgAlphaProperty::SaveToStream(SgSceneStream& s) const {
    SgProperty::SaveToStream(s);
    s.WriteU8(blendOn);
    s.WriteU32(sourceBlend);
    s.WriteU32(destinationBlend);
}

bool SgAlphaProperty::IsEqualTo(const SgObject* other) const {
    const SgAlphaProperty* o = SgKindCast<SgAlphaProperty>(other);
    return o && SgProperty::IsEqualTo(o) && o->blendOn == blendOn && o->sourceBlend == sourceBlend &&
           o->destinationBlend == destinationBlend;
}

// ---- Correction ----

bool SgCorrectionProperty::LoadFromStream(SgSceneStream& s) {
    if (!SgProperty::LoadFromStream(s))
        return false;
    perspectiveOn = s.ReadU8();
    return s.ReadOk();
}

void SgCorrectionProperty::SaveToStream(SgSceneStream& s) const {
    SgProperty::SaveToStream(s);
    s.WriteU8(perspectiveOn);
}

bool SgCorrectionProperty::IsEqualTo(const SgObject* other) const {
    const SgCorrectionProperty* o = SgKindCast<SgCorrectionProperty>(other);
    return o && SgProperty::IsEqualTo(o) && o->perspectiveOn == perspectiveOn;
}

// ---- Fog ----

bool SgFogProperty::LoadFromStream(SgSceneStream& s) {
    if (!SgProperty::LoadFromStream(s))
        return false;
    fogOn = s.ReadU8();
    depth = s.ReadF32();
    fogKind = s.ReadU32();
    color.LoadFromStream(s);
    return s.ReadOk();
}

void SgFogProperty::SaveToStream(SgSceneStream& s) const {
    SgProperty::SaveToStream(s);
    s.WriteU8(fogOn);
    s.WriteF32(depth);
    s.WriteU32(fogKind);
    color.SaveToStream(s);
}

bool SgFogProperty::IsEqualTo(const SgObject* other) const {
    const SgFogProperty* o = SgKindCast<SgFogProperty>(other);
    return o && SgProperty::IsEqualTo(o) && o->fogOn == fogOn && o->depth == depth && o->fogKind == fogKind &&
           o->color == color;
}

// ---- Material ----

SgMaterialProperty::SgMaterialProperty() : materialId(g_nextMaterialId++) {}

bool SgMaterialProperty::LoadFromStream(SgSceneStream& s) {
    if (!SgProperty::LoadFromStream(s))
        return false;
    ambient.LoadFromStream(s);
    diffuse.LoadFromStream(s);
    specular.LoadFromStream(s);
    emissive.LoadFromStream(s);
    shininess = s.ReadF32();
    alpha = s.ReadF32();
    return s.ReadOk();
}

void SgMaterialProperty::SaveToStream(SgSceneStream& s) const {
    SgProperty::SaveToStream(s);
    ambient.SaveToStream(s);
    diffuse.SaveToStream(s);
    specular.SaveToStream(s);
    emissive.SaveToStream(s);
    s.WriteF32(shininess);
    s.WriteF32(alpha);
}

bool SgMaterialProperty::IsEqualTo(const SgObject* other) const {
    const SgMaterialProperty* o = SgKindCast<SgMaterialProperty>(other);
    return o && SgProperty::IsEqualTo(o) && o->ambient == ambient && o->diffuse == diffuse &&
           o->specular == specular && o->emissive == emissive && o->shininess == shininess && o->alpha == alpha;
}

// ---- Shade: no override byte ----

bool SgShadeProperty::LoadFromStream(SgSceneStream& s) {
    if (!SgObject::LoadFromStream(s))
        return false;
    smoothOn = s.ReadU8();
    return s.ReadOk();
}

void SgShadeProperty::SaveToStream(SgSceneStream& s) const {
    SgObject::SaveToStream(s);
    s.WriteU8(smoothOn);
}

bool SgShadeProperty::IsEqualTo(const SgObject* other) const {
    const SgShadeProperty* o = SgKindCast<SgShadeProperty>(other);
    return o && SgObject::IsEqualTo(o) && o->smoothOn == smoothOn;
}

// ---- Texture mode ----

bool SgTextureModeProperty::LoadFromStream(SgSceneStream& s) {
    if (!SgProperty::LoadFromStream(s))
        return false;
    applyMode = s.ReadU32();
    filterMode = s.ReadU32();
    addressingMode = s.ReadU32();
    return s.ReadOk();
}

void SgTextureModeProperty::SaveToStream(SgSceneStream& s) const {
    SgProperty::SaveToStream(s);
    s.WriteU32(applyMode);
    s.WriteU32(filterMode);
    s.WriteU32(addressingMode);
}

bool SgTextureModeProperty::IsEqualTo(const SgObject* other) const {
    const SgTextureModeProperty* o = SgKindCast<SgTextureModeProperty>(other);
    return o && SgProperty::IsEqualTo(o) && o->applyMode == applyMode && o->filterMode == filterMode;
}

// ---- Transparent ----

bool SgTransparentProperty::LoadFromStream(SgSceneStream& s) {
    if (!SgProperty::LoadFromStream(s))
        return false;
    transparentOn = s.ReadU8();
    value = s.ReadU32();
    return s.ReadOk();
}

void SgTransparentProperty::SaveToStream(SgSceneStream& s) const {
    SgProperty::SaveToStream(s);
    s.WriteU8(transparentOn);
    s.WriteU32(value);
}

bool SgTransparentProperty::IsEqualTo(const SgObject* other) const {
    const SgTransparentProperty* o = SgKindCast<SgTransparentProperty>(other);
    return o && SgProperty::IsEqualTo(o) && o->transparentOn == transparentOn && o->value == value;
}

// ---- Wireframe ----

bool SgWireframeProperty::LoadFromStream(SgSceneStream& s) {
    if (!SgProperty::LoadFromStream(s))
        return false;
    wireframeOn = s.ReadU8();
    return s.ReadOk();
}

void SgWireframeProperty::SaveToStream(SgSceneStream& s) const {
    SgProperty::SaveToStream(s);
    s.WriteU8(wireframeOn);
}

bool SgWireframeProperty::IsEqualTo(const SgObject* other) const {
    const SgWireframeProperty* o = SgKindCast<SgWireframeProperty>(other);
    return o && SgProperty::IsEqualTo(o) && o->wireframeOn == wireframeOn;
}

// ---- Z-buffer ----

bool SgZBufferProperty::LoadFromStream(SgSceneStream& s) {
    if (!SgProperty::LoadFromStream(s))
        return false;
    depthTest = s.ReadU8();
    depthWrite = s.ReadU8();
    return s.ReadOk();
}

void SgZBufferProperty::SaveToStream(SgSceneStream& s) const {
    SgProperty::SaveToStream(s);
    s.WriteU8(depthTest);
    s.WriteU8(depthWrite);
}

bool SgZBufferProperty::IsEqualTo(const SgObject* other) const {
    const SgZBufferProperty* o = SgKindCast<SgZBufferProperty>(other);
    return o && SgProperty::IsEqualTo(o) && o->depthTest == depthTest && o->depthWrite == depthWrite;
}

// ---- Dither ----

bool SgDitherProperty::LoadFromStream(SgSceneStream& s) {
    if (!SgProperty::LoadFromStream(s))
        return false;
    ditherOn = s.ReadU8();
    return s.ReadOk();
}

void SgDitherProperty::SaveToStream(SgSceneStream& s) const {
    SgProperty::SaveToStream(s);
    s.WriteU8(ditherOn);
}

bool SgDitherProperty::IsEqualTo(const SgObject* other) const {
    const SgDitherProperty* o = SgKindCast<SgDitherProperty>(other);
    return o && SgProperty::IsEqualTo(o) && o->ditherOn == ditherOn;
}

// ---- Vertex colour ----

bool SgVertexColorProperty::LoadFromStream(SgSceneStream& s) {
    if (!SgProperty::LoadFromStream(s))
        return false;
    mode = s.ReadU32();
    return s.ReadOk();
}

void SgVertexColorProperty::SaveToStream(SgSceneStream& s) const {
    SgProperty::SaveToStream(s);
    s.WriteU32(mode);
}

bool SgVertexColorProperty::IsEqualTo(const SgObject* other) const {
    const SgVertexColorProperty* o = SgKindCast<SgVertexColorProperty>(other);
    return o && SgProperty::IsEqualTo(o) && o->mode == mode;
}

// ---- Specular ----

bool SgSpecularProperty::LoadFromStream(SgSceneStream& s) {
    if (!SgProperty::LoadFromStream(s))
        return false;
    specularOn = s.ReadU8();
    return s.ReadOk();
}

void SgSpecularProperty::SaveToStream(SgSceneStream& s) const {
    SgProperty::SaveToStream(s);
    s.WriteU8(specularOn);
}

bool SgSpecularProperty::IsEqualTo(const SgObject* other) const {
    const SgSpecularProperty* o = SgKindCast<SgSpecularProperty>(other);
    return o && SgProperty::IsEqualTo(o) && o->specularOn == specularOn;
}
