#pragma once
// Render-state properties: small shared objects that each describe one aspect of drawing. Scene
// objects carry lists of them; the display keeps the one in force per type number and hands its
// values to the renderer. This file holds the abstract SgProperty and the twelve plain classes;
// each has a default instance (its constructor's values) for the display.
//
// SgAlphaProperty is the model of a small engine class: type record, Register, the seven
// operations and a create function through SgCreateObject.

#include <cstdint>

#include "engine/core/sg_lists.h"
#include "engine/core/sg_math.h"
#include "engine/core/sg_object.h"

// Type numbers; the display indexes its arrays by them (0 to 14; no class has 14).
enum SgPropertyType : int {
    SG_ALPHA_PROPERTY = 0,
    SG_CORRECTION_PROPERTY = 1,
    SG_FOG_PROPERTY = 2,
    SG_MATERIAL_PROPERTY = 3,
    SG_SHADE_PROPERTY = 4,
    SG_TEXTURE_MODE_PROPERTY = 5,
    SG_TEXTURE_PROPERTY = 6,
    SG_TRANSPARENT_PROPERTY = 7,
    SG_WIREFRAME_PROPERTY = 8,
    SG_ZBUFFER_PROPERTY = 9,
    SG_DITHER_PROPERTY = 10,
    SG_VERTEX_COLOR_PROPERTY = 11,
    SG_SPECULAR_PROPERTY = 12,
    SG_MULTI_TEXTURE_PROPERTY = 13,
    SG_PROPERTY_TYPE_COUNT = 15,
};

class SgProperty;

// A scene object's (or screen polygon's) list of properties, read from the front.
using SgPropertyList = SgRefChain<SgProperty>;

// The one default instance of a property class, made on first use and released at exit; each
// call hands out a new reference to it.
template <class T>
SgRef<T> SgDefaultInstanceOf() {
    static SgRef<T> instance(new T);
    return instance;
}

class SgProperty : public SgObject {
public:
    static SgTypeRecord typeRecord;
    static int Register();

    const SgTypeRecord* GetTypeRecord() const override;
    // The object part, then the override byte.
    bool LoadFromStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    bool IsEqualTo(const SgObject* other) const override;
    virtual int PropertyType() const = 0;

    // While a property with override set is in force, pushes of its type are only counted, so
    // it holds for the whole subtree of the node that carries it.
    uint8_t override = 0;

protected:
    ~SgProperty() override = default;
};

class SgAlphaProperty : public SgProperty {
public:
    static SgTypeRecord typeRecord;
    static constexpr int kType = SG_ALPHA_PROPERTY;
    static int Register();
    static SgRef<SgAlphaProperty> Default();

    const SgTypeRecord* GetTypeRecord() const override;
    bool LoadFromStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    bool IsEqualTo(const SgObject* other) const override;
    int PropertyType() const override { return kType; }

    uint8_t blendOn = 0;
    uint32_t sourceBlend = 6;
    uint32_t destinationBlend = 7;

protected:
    ~SgAlphaProperty() override = default;
};

class SgCorrectionProperty : public SgProperty {
public:
    static SgTypeRecord typeRecord;
    static constexpr int kType = SG_CORRECTION_PROPERTY;
    static int Register();
    static SgRef<SgCorrectionProperty> Default();

    const SgTypeRecord* GetTypeRecord() const override;
    bool LoadFromStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    bool IsEqualTo(const SgObject* other) const override;
    int PropertyType() const override { return kType; }

    uint8_t perspectiveOn = 1;

protected:
    ~SgCorrectionProperty() override = default;
};

class SgFogProperty : public SgProperty {
public:
    static SgTypeRecord typeRecord;
    static constexpr int kType = SG_FOG_PROPERTY;
    static int Register();
    static SgRef<SgFogProperty> Default();

    const SgTypeRecord* GetTypeRecord() const override;
    bool LoadFromStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    bool IsEqualTo(const SgObject* other) const override;
    int PropertyType() const override { return kType; }

    uint8_t fogOn = 0;
    float depth = 1.0f;
    uint32_t fogKind = 0;  // 1 and 2 select the renderer's two fog kinds, 0 neither
    SgRgb color;

protected:
    ~SgFogProperty() override = default;
};

class SgMaterialProperty : public SgProperty {
public:
    static SgTypeRecord typeRecord;
    static constexpr int kType = SG_MATERIAL_PROPERTY;
    static int Register();
    static SgRef<SgMaterialProperty> Default();

    // Takes the next material id (the first material of the process has id 1).
    SgMaterialProperty();
    const SgTypeRecord* GetTypeRecord() const override;
    bool LoadFromStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    // Colours, shininess and alpha; not the id, changed flag or revision.
    bool IsEqualTo(const SgObject* other) const override;
    int PropertyType() const override { return kType; }

    // Set again after changing values, or the renderer keeps its cached copy.
    uint8_t changed = 1;
    uint32_t materialId;
    SgRgb ambient{0.5f, 0.5f, 0.5f};
    SgRgb diffuse{0.5f, 0.5f, 0.5f};
    SgRgb specular;
    SgRgb emissive;
    float shininess = 0.0f;
    float alpha = 1.0f;
    uint32_t revision = 1;

protected:
    ~SgMaterialProperty() override = default;
};

// Its records carry no override byte, and override takes no part in its comparison.
class SgShadeProperty : public SgProperty {
public:
    static SgTypeRecord typeRecord;
    static constexpr int kType = SG_SHADE_PROPERTY;
    static int Register();
    static SgRef<SgShadeProperty> Default();

    const SgTypeRecord* GetTypeRecord() const override;
    bool LoadFromStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    bool IsEqualTo(const SgObject* other) const override;
    int PropertyType() const override { return kType; }

    uint8_t smoothOn = 1;

protected:
    ~SgShadeProperty() override = default;
};

class SgTextureModeProperty : public SgProperty {
public:
    static SgTypeRecord typeRecord;
    static constexpr int kType = SG_TEXTURE_MODE_PROPERTY;
    static int Register();
    static SgRef<SgTextureModeProperty> Default();

    const SgTypeRecord* GetTypeRecord() const override;
    bool LoadFromStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    // Apply and filter modes; the addressing mode takes no part.
    bool IsEqualTo(const SgObject* other) const override;
    int PropertyType() const override { return kType; }

    uint32_t applyMode = 3;
    uint32_t filterMode = 0;      // 0 to 5
    uint32_t addressingMode = 3;  // 0 both clamp, 1 u clamp v wrap, 2 u wrap v clamp, 3 both wrap

protected:
    ~SgTextureModeProperty() override = default;
};

class SgTransparentProperty : public SgProperty {
public:
    static SgTypeRecord typeRecord;
    static constexpr int kType = SG_TRANSPARENT_PROPERTY;
    static int Register();
    static SgRef<SgTransparentProperty> Default();

    const SgTypeRecord* GetTypeRecord() const override;
    bool LoadFromStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    bool IsEqualTo(const SgObject* other) const override;
    int PropertyType() const override { return kType; }

    uint8_t transparentOn = 0;
    uint32_t value = 0;

protected:
    ~SgTransparentProperty() override = default;
};

class SgWireframeProperty : public SgProperty {
public:
    static SgTypeRecord typeRecord;
    static constexpr int kType = SG_WIREFRAME_PROPERTY;
    static int Register();
    static SgRef<SgWireframeProperty> Default();

    const SgTypeRecord* GetTypeRecord() const override;
    bool LoadFromStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    bool IsEqualTo(const SgObject* other) const override;
    int PropertyType() const override { return kType; }

    uint8_t wireframeOn = 0;

protected:
    ~SgWireframeProperty() override = default;
};

class SgZBufferProperty : public SgProperty {
public:
    static SgTypeRecord typeRecord;
    static constexpr int kType = SG_ZBUFFER_PROPERTY;
    static int Register();
    static SgRef<SgZBufferProperty> Default();

    const SgTypeRecord* GetTypeRecord() const override;
    bool LoadFromStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    bool IsEqualTo(const SgObject* other) const override;
    int PropertyType() const override { return kType; }

    uint8_t depthTest = 0;
    uint8_t depthWrite = 0;

protected:
    ~SgZBufferProperty() override = default;
};

class SgDitherProperty : public SgProperty {
public:
    static SgTypeRecord typeRecord;
    static constexpr int kType = SG_DITHER_PROPERTY;
    static int Register();
    static SgRef<SgDitherProperty> Default();

    const SgTypeRecord* GetTypeRecord() const override;
    bool LoadFromStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    bool IsEqualTo(const SgObject* other) const override;
    int PropertyType() const override { return kType; }

    uint8_t ditherOn = 0;

protected:
    ~SgDitherProperty() override = default;
};

class SgVertexColorProperty : public SgProperty {
public:
    static SgTypeRecord typeRecord;
    static constexpr int kType = SG_VERTEX_COLOR_PROPERTY;
    static int Register();
    static SgRef<SgVertexColorProperty> Default();

    const SgTypeRecord* GetTypeRecord() const override;
    bool LoadFromStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    bool IsEqualTo(const SgObject* other) const override;
    int PropertyType() const override { return kType; }

    uint32_t mode = 5;

protected:
    ~SgVertexColorProperty() override = default;
};

class SgSpecularProperty : public SgProperty {
public:
    static SgTypeRecord typeRecord;
    static constexpr int kType = SG_SPECULAR_PROPERTY;
    static int Register();
    static SgRef<SgSpecularProperty> Default();

    const SgTypeRecord* GetTypeRecord() const override;
    bool LoadFromStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    bool IsEqualTo(const SgObject* other) const override;
    int PropertyType() const override { return kType; }

    uint8_t specularOn = 0;

protected:
    ~SgSpecularProperty() override = default;
};

// Makes every default instance (run at start-up by the registration list, so the default
// material takes id 1).
void SgMakeDefaultProperties();
