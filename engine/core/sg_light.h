#pragma once
// SgLight: the scene object that lights geometry. It hangs in the scene like any scene object and
// keeps the list of nodes it lights; each of those nodes keeps the light in its own list, and the
// two lists are kept in step. The renderer's lighting reads its world position and direction and
// its parameters; the display's light stack counts its uses and hands it over when it changed.

#include <cstdint>

#include "engine/core/sg_av_object.h"
#include "engine/core/sg_lists.h"

class SgNode;

class SgLight : public SgAVObject {
public:
    // Light types.
    static constexpr uint32_t kAmbient = 0;
    static constexpr uint32_t kDirectional = 1;
    static constexpr uint32_t kPoint = 2;
    static constexpr uint32_t kSpot = 3;

    static SgTypeRecord typeRecord;
    static int Register();

    // Takes the next light index of the process.
    SgLight();

    const SgTypeRecord* GetTypeRecord() const override;
    // The parameters and the lit-node ids (which are read and dropped: the nodes restore the
    // relation when they link); then every world state is updated.
    bool LoadFromStream(SgSceneStream& stream) override;
    void LinkFromStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    // The parameters (not the index nor the world values), then the lit nodes by presence.
    bool IsEqualTo(const SgObject* other) const override;

protected:
    // Leaves every lit node, then every renderer forgets the light.
    ~SgLight() override;

public:
    // Every field but the lit nodes (the index included); records the copy on this light.
    SgAVObject* MakeCopy(SgAVObject* copy) override;
    // Takes this duplication's clone record off again, so no later duplication finds a copy
    // that may be gone by then.
    void FinishCopy(SgAVObject* copy) override;
    // The placement, then world position = R position + T and world direction = R direction.
    void ComposeWorldPlacement(SgWorldState* state) override;

    // ---- The light's own operations, in their fixed order ----
    virtual void SetPosition(const SgVec3& position);
    virtual void SetDirection(const SgVec3& direction);
    // Also marks the light changed.
    virtual void SetType(uint32_t type);

    // ---- Lit nodes ----
    // A node already lit changes nothing; the node learns of the light too.
    void AddLitNode(SgNode* node);
    void RemoveLitNode(SgNode* node);
    void ForgetAllLitNodes();
    const SgPtrList<SgNode>& LitNodes() const { return litNodes_; }

    // Whether the light reaches the renderer when a node pushes it.
    bool ShinesNow() const { return on != 0 && dimmer > 0.0f; }
    uint32_t LightIndex() const { return lightIndex_; }

    SgVec3 position;
    SgVec3 direction;
    SgVec3 worldPosition;
    SgVec3 worldDirection;
    uint8_t on = 1;
    float coneAngle = 0.0f;  // degrees
    float spotExponent = 0.0f;
    float dimmer = 1.0f;
    SgRgb ambient{1.0f, 1.0f, 1.0f};
    SgRgb diffuse{1.0f, 1.0f, 1.0f};
    SgRgb specular{1.0f, 1.0f, 1.0f};
    float range = 1.0f;
    float falloff = 0.5f;
    uint8_t attenuate = 1;
    uint32_t type = kPoint;
    // How many entries of light stacks hold the light.
    uint32_t useCount = 0;
    // Set whenever the light's type or world values change; the display then raises the
    // revision before the renderer sees the light again.
    uint32_t changed = 1;
    uint32_t revision = 1;

private:
    void ComputeWorldValues();

    uint32_t lightIndex_;
    SgPtrList<SgNode> litNodes_;
};
