#pragma once
// SgDisplay sits between the scene and the renderer. While a camera draws, every scene object
// pushes its properties and every node its lights onto the display; just before a geometry draws,
// ApplyPendingState hands the renderer only the properties that changed since the last draw
// (compared by identity, never by value). It also brackets the frame and brings the renderer back
// to the defaults at each frame's start.

#include <cstdint>

#include "engine/core/sg_light.h"
#include "engine/core/sg_property.h"
#include "engine/core/sg_render.h"
#include "engine/core/sg_texture_property.h"

class SgDisplay : public SgObject {
public:
    static constexpr int kMaxLights = 16;

    // What a deferred draw keeps of the display to replay later: the pending properties and the
    // light stack, as plain pointers (the frame holds them meanwhile).
    struct Snapshot {
        SgProperty* pending[SG_PROPERTY_TYPE_COUNT] = {};
        int32_t lightTop = -1;
        SgLight* lights[kMaxLights] = {};
    };

    static SgTypeRecord typeRecord;
    static int Register();

    // No renderer; every type at its default.
    SgDisplay();
    const SgTypeRecord* GetTypeRecord() const override;

    // Binds the renderer (taking a reference), resets the state to the defaults and hands them
    // to it at once. Null unbinds and empties the light stack.
    void SetRenderer(SgRender* renderer);
    SgRender* Renderer() const { return renderer_.Get(); }

    // Current and pending become the default instances.
    void ResetToDefaults();
    // Hands every default to the renderer.
    void ApplyAllDefaults();

    // The renderer's frame start, then every type not at its default goes back to it.
    int32_t BeginFrame();
    int32_t EndFrame();
    int32_t PresentFrame();
    int32_t ClearBuffers(const SgViewRect* view, uint32_t flags);

    // An object's properties in force for its subtree: the list holds what they displaced until
    // the pop, which restores it. A pending property with override set swallows pushes of its type.
    void PushProperties(SgPropertyList& list);
    void PopProperties(SgPropertyList& list);
    // Sixteen lights reach the renderer; deeper pushes are only counted.
    void PushLight(SgLight* light);
    void PopLight();

    // Called by every geometry right before it draws: what changed since the last draw, in a
    // fixed order.
    void ApplyPendingState();

    void TakeSnapshot(Snapshot& out) const;
    // Draws with a snapshot's properties and lights in force, then puts the display's own back.
    template <class Draw>
    void DrawDeferred(const Snapshot& record, Draw&& draw) {
        Saved saved;
        EnterSnapshot(record, saved);
        draw();
        LeaveSnapshot(record, saved);
    }

    SgProperty* Current(int type) const { return InRange(type) ? current_[type].Get() : nullptr; }
    SgProperty* Pending(int type) const { return InRange(type) ? pending_[type].Get() : nullptr; }
    uint32_t OverrideCount(int type) const { return InRange(type) ? overrideCounts_[type] : 0; }
    int32_t LightTop() const { return lightTop_; }
    uint32_t LightOverflow() const { return lightOverflow_; }
    SgLight* LightAt(int i) const { return i >= 0 && i < kMaxLights ? lights_[i] : nullptr; }

protected:
    ~SgDisplay() override = default;

private:
    struct Saved {
        SgRef<SgProperty> pending[SG_PROPERTY_TYPE_COUNT];
        uint32_t overrideCounts[SG_PROPERTY_TYPE_COUNT];
        int32_t lightTop;
        uint32_t lightOverflow;
        SgLight* lights[kMaxLights];
    };

    static bool InRange(int type) { return type >= 0 && type < SG_PROPERTY_TYPE_COUNT; }
    // True (and current := pending) when the type's pending property differs from the current.
    bool TakeChange(int type);
    // Hands the property's values to the renderer (every type but texture and multi-texture).
    void SendValues(int type, SgProperty* property);
    void SendTransparentAndCorrection();
    // Current becomes the type's default, which the renderer gets (no texture for the two
    // texture types).
    void SendDefault(int type);
    void UpdateLights(SgLight* const* lights, int32_t top, uint8_t active);
    // The record's light top, kept within the stack.
    static int32_t RecordedTop(const Snapshot& record);
    void EnterSnapshot(const Snapshot& record, Saved& saved);
    void LeaveSnapshot(const Snapshot& record, const Saved& saved);

    SgRef<SgRender> renderer_;
    SgRef<SgProperty> current_[SG_PROPERTY_TYPE_COUNT];
    SgRef<SgProperty> pending_[SG_PROPERTY_TYPE_COUNT];
    uint32_t overrideCounts_[SG_PROPERTY_TYPE_COUNT] = {};
    int32_t lightTop_ = -1;
    uint32_t lightOverflow_ = 0;
    SgLight* lights_[kMaxLights] = {};
};
