#pragma once
// Two lights that carry a projection: a window of given width and height, centred in front of a
// projection centre, seen either in perspective from that centre (kind 0) or in parallel through
// the window (kind 1). Every composition of the light's world placement recomputes, in world
// space, the projection frame and five planes bounding the projected volume (their normals point
// into it); the projected light also recomputes the texture projection that maps world points to
// window coordinates. The shadow light keeps scene subtrees (its roots) and, for every triangle
// shape found below them, a record with the shape's oriented box.

#include <cstdint>
#include <memory>
#include <unordered_set>

#include "engine/core/sg_light.h"
#include "engine/core/sg_lists.h"

class SgTriShape;

// What the two lights share, from the mode word to the five planes.
class SgProjectingLight : public SgLight {
public:
    static constexpr uint32_t kPerspective = 0;
    static constexpr uint32_t kParallel = 1;
    static constexpr uint32_t kPlaneCount = 5;

    // The placement; the world position is the world translation, the world direction the first
    // rotation column; then the projection frame in world space and the planes (and the texture
    // projection).
    void ComposeWorldPlacement(SgWorldState* state) override;
    // These lights are placed only through their projection: the setters change nothing.
    void SetPosition(const SgVec3& position) override;
    void SetDirection(const SgVec3& direction) override;
    void SetType(uint32_t type) override;

    // The five planes from the world frame, for the projection kind (other kinds keep them).
    void BuildFrustumPlanes();

    uint32_t modeWord1 = 0;
    uint32_t projectionKind = kPerspective;
    SgVec3 windowCentre{1.0f, 0.0f, 0.0f};
    SgVec3 backVector{-1.0f, 0.0f, 0.0f};
    SgVec3 upVector{0.0f, 1.0f, 0.0f};
    SgVec3 rightVector{0.0f, 0.0f, 1.0f};
    SgVec3 projectionCentre;
    float windowWidth = 1.0f;
    float windowHeight = 1.0f;
    float nearDistance = 0.01f;
    SgPlaneEq planes[kPlaneCount];

    // World values, computed by every composition.
    SgVec3 worldColumn1, worldColumn2;
    SgVec3 worldWindowCentre, worldBack, worldUp, worldRight, worldProjectionCentre;

protected:
    SgProjectingLight();
    // Runs the texture projection before the planes (projected light).
    virtual void BuildProjection() { BuildFrustumPlanes(); }
    // Fields shared by both stream forms, in their order.
    void LoadFrame(SgSceneStream& stream);
    void SaveFrame(SgSceneStream& stream) const;
    void LoadPlanes(SgSceneStream& stream);
    void SavePlanes(SgSceneStream& stream) const;
    bool SamePlanes(const SgProjectingLight& other) const;
    // An object reference read as a link id into the record's single id.
    uint32_t LoadReference(SgSceneStream& stream);

    // Set while this light compares itself, so a reference that leads back to the light (a
    // root node the light shines on) cannot compare without end.
    mutable bool comparing_ = false;
};

// A shadow light's record of one triangle shape under one world state: the oriented box of the
// shape's model vertices, fitted once when the record is made.
struct SgShadowShapeRecord {
    SgShadowShapeRecord(SgTriShape* shape, SgWorldState* state);
    ~SgShadowShapeRecord();

    SgRef<SgTriShape> shape;
    SgWorldState* state;
    float halfExtents[3] = {};
    SgVec3 boxCentre;
    SgVec3 boxAxes[3];
    SgPlaneEq planes[5];
    SgMat3 rotation = SgIdentityMat3;
    SgVec3 translation;
};

class SgShadowLight : public SgProjectingLight {
public:
    static constexpr uint32_t kLightType = 5;

    static SgTypeRecord typeRecord;
    static int Register();

    SgShadowLight();

    const SgTypeRecord* GetTypeRecord() const override;
    // The light part, then mode word 1, the kind, the frame, the window, the shadow scalar, the
    // planes, the reference object and the roots.
    bool LoadFromStream(SgSceneStream& stream) override;
    // Resolves the reference and the roots; the shapes below the roots are collected once every
    // object of the load is linked.
    void LinkFromStream(SgSceneStream& stream) override;
    bool RegisterInStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    bool IsEqualTo(const SgObject* other) const override;

protected:
    ~SgShadowLight() override;

public:
    // Keeps the subtree (null is ignored) and records the triangle shapes below it now.
    void AddAffectedRoot(SgObject* object);
    // Lets go of every root and shape record. A light inside a subtree it shadows keeps that
    // subtree, and so itself, alive: its owner breaks the loop with this before letting go (as
    // with a camera in the scene it draws, or a reference that holds the light).
    void ClearAffectedRoots();
    // Records the triangle shapes below the object: one per world state of a shape found at the
    // top, the state under its parent for a shape below a node. Hidden subtrees give nothing.
    // With a set, a root or node already in it gives nothing either, and each one visited joins it.
    void CollectShapes(SgObject* object, SgWorldState* state,
                       std::unordered_set<const SgObject*>* collected = nullptr);

    const SgRefList<SgObject>& Roots() const { return roots_; }
    uint32_t ShapeRecordCount() const { return records_.Count(); }
    // Record i in collection order, or null.
    const SgShadowShapeRecord* ShapeRecord(uint32_t i) const;

    float shadowScalar = 1.5f;
    SgRef<SgObject> reference;

private:
    // Collects the shapes below the roots once the whole load is linked.
    static void CollectAfterLinking(SgObject* light);

    SgRefList<SgObject> roots_{2};
    SgPooledList<std::unique_ptr<SgShadowShapeRecord>> records_{2};
};

class SgProjectedLight : public SgProjectingLight {
public:
    static constexpr uint32_t kLightType = 4;

    static SgTypeRecord typeRecord;
    static int Register();

    SgProjectedLight();

    const SgTypeRecord* GetTypeRecord() const override;
    // The light part, then the mode words, the kind, the frame, the window, the extra fields,
    // the texture rotation and translation, the planes and the reference object.
    bool LoadFromStream(SgSceneStream& stream) override;
    void LinkFromStream(SgSceneStream& stream) override;
    bool RegisterInStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    bool IsEqualTo(const SgObject* other) const override;

protected:
    ~SgProjectedLight() override;

public:
    // The texture projection for the kind: the projective rows (perspective) or the texture
    // rotation and translation (parallel). A zero window side, or a parallel projection along
    // no component of the first rotation column, zeroes the rows that would divide by it.
    void BuildTextureProjection();

    uint32_t modeWord2 = 0;
    SgRef<SgObject> reference;
    uint32_t extraWord1 = 0;
    SgVec3 extraVector;
    uint32_t extraWord2 = 0;
    SgMat3 textureRotation = SgIdentityMat3;
    SgVec3 textureTranslation;
    // Rows 0, 1 and 3 of the perspective texture projection over (world point, 1); row 2 stays 0.
    float projective[16] = {};

protected:
    void BuildProjection() override;
};
