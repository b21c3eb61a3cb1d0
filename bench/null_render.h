#pragma once
// A renderer for benchmarks that takes every call and draws nothing, so a frame's cost is the
// engine's own walk, placement and skinning.

#include "engine/core/sg_render.h"

// Takes every call and does nothing: 800 x 600, every texture taken.
class NullRender : public SgRender {
public:
    const char* GetDeviceName() override { return "null"; }
    uint32_t GetDriverInfo() override { return 0; }
    int32_t BeginFrame() override { return 0; }
    int32_t EndFrame() override { return 0; }
    int32_t PresentFrame() override { return 0; }
    int32_t ClearBuffers(const SgViewRect*, uint32_t) override { return 0; }
    bool SetBackgroundColor(const SgRgb&) override { return true; }
    void UpdateLight(SgLight*, uint8_t) override {}
    void SetMaterial(SgMaterialProperty*) override {}
    void SetCamera(const SgVec3&, const SgMat3&, const SgVec3&, const SgVec3&, const SgVec3&, const SgFrustum&,
                   const SgViewRect&) override {}
    void SetModelTransform(const SgVec3&, const SgMat3&, float) override {}
    int32_t DrawTriShape(uint16_t, uint16_t, const SgVec3*, const SgVec3*, const SgPlaneEq*, uint16_t, const SgVec3*,
                         const SgRgba*, const uint16_t*, const SgBoundSphere&, const SgVec3&) override {
        return 0;
    }
    int32_t DrawTriangles(uint16_t, const SgVec3*, const SgVec3*, const SgPlaneEq*, uint16_t, const SgVec3*,
                          const SgRgba*, const SgBoundSphere&, const SgVec3&) override {
        return 0;
    }
    int32_t DrawTriStrip(uint16_t, const SgVec3*, const SgVec3*, const SgPlaneEq*, uint16_t, const SgVec3*,
                         const SgRgba*, const SgBoundSphere&, const SgVec3&) override {
        return 0;
    }
    int32_t DrawParticles(uint16_t, const SgVec3*, const SgVec3*, const SgRgba*, float, const float*,
                          const SgBoundSphere&) override {
        return 0;
    }
    int32_t DrawScreenPolygon(uint16_t, const SgVec3*, const SgVec3*, const SgRgba*) override { return 0; }
    void SetFogProperty(uint8_t, float, uint32_t, const SgRgb&) override {}
    void SetAlphaProperty(uint8_t, uint32_t, uint32_t) override {}
    void SetZBufferTest(uint8_t) override {}
    void SetZBufferWrite(uint8_t) override {}
    void SetShadeProperty(uint8_t) override {}
    void SetWireframeProperty(uint8_t) override {}
    void SetDitherProperty(uint8_t) override {}
    void SetSpecularProperty(uint8_t) override {}
    void SetVertexColorProperty(uint32_t) override {}
    void SetTransparentProperty(uint8_t) override {}
    void SetTransparentValue(uint32_t) override {}
    bool PrecacheTexture(SgImage*, uint32_t, uint32_t, uint32_t) override { return true; }
    bool PrecacheTexturePair(SgImage*, SgImage*, uint32_t, uint32_t, uint32_t, uint32_t) override { return true; }
    void ReleaseAllTextures(uint8_t) override {}
    void ReleaseTextures(SgImage*) override {}
    bool HasTextureFormat(uint32_t) override { return true; }
    bool SetStoredValue(uint32_t) override { return true; }
    uint32_t GetStoredValue() override { return 0; }
    void SetTextureProperty(SgImage*) override {}
    void SetMultiTextureProperty(const SgArray<SgImage>*, const SgPtrArray<uint32_t>*, const SgPtrArray<uint32_t>*,
                                 const SgPtrArray<uint32_t>*) override {}
    void SetTextureModeApply(uint32_t) override {}
    void SetTextureModeFilter(uint32_t) override {}
    void SetTextureModeClamp(uint32_t) override {}
    void SetCorrectionProperty(uint8_t) override {}
    void SetClipPlanes(const SgPlaneEq* const*, uint32_t, uint32_t, uint32_t) override {}
    uint32_t GetTargetWidth() override { return 800; }
    uint32_t GetTargetHeight() override { return 600; }
    SgImage* GetBufferByKind(uint32_t) override { return nullptr; }
    bool BlitImageToFrame(SgImage*, const SgPixelRect*, int32_t, int32_t, uint8_t) override { return true; }
    bool GetFirstPair(uint32_t&, uint32_t&) override { return false; }
    bool SetFirstPair(uint32_t, uint32_t) override { return false; }
    bool GetSecondPair(uint32_t&, uint32_t&) override { return false; }
    bool SetSecondPair(uint32_t, uint32_t) override { return false; }

protected:
    ~NullRender() override = default;
};
