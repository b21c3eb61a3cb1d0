#pragma once
// SgPortal: a convex opening in a room's wall that looks into the adjoining room. Drawing it
// draws that room, culled by one extra plane per edge of the opening (each through the camera's
// location and the edge), so only what is seen through the opening survives. The planes sit on
// the camera's plane array for as long as the room behind is drawn.
//
// The corners go round the opening in the order that puts its inside on the passing (positive)
// side of every edge plane.

#include <cstdint>
#include <memory>

#include "engine/core/sg_av_object.h"

class SgRoom;

class SgPortal : public SgAVObject {
public:
    static SgTypeRecord typeRecord;
    static int Register();

    // No corners, no room, enabled 0 (the create function's start).
    SgPortal();
    // Copies the corners and fits the model bound; one clip plane per corner.
    SgPortal(uint16_t vertexCount, const SgVec3* vertices, SgRoom* room, uint8_t enabled);

    const SgTypeRecord* GetTypeRecord() const override;
    // Plane count (u16), vertex count (u16), the corners, enabled (u8), the room's link id. A
    // plane count other than the vertex count is a damaged record.
    bool LoadFromStream(SgSceneStream& stream) override;
    void LinkFromStream(SgSceneStream& stream) override;
    // Also enters the room behind, so its link id is saved.
    bool RegisterInStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    // The scene-object part, the counts, every corner exactly and the enabled flag (not the room).
    bool IsEqualTo(const SgObject* other) const override;

protected:
    ~SgPortal() override;

public:
    SgAVObject* MakeCopy(SgAVObject* copy) override;
    void AbsorbTransform(const SgMat3& rotation, const SgVec3& translation, float scale,
                         uint8_t inParentFrame) override;
    // Draws the room behind through the opening.
    void Draw(SgCamera* camera, SgWorldState* state) override;
    void DrawOrDefer(SgCamera* camera, SgDeferredCollector* collector, SgWorldState* state) override;
    // Hidden also while it is displaying its room (so no path comes back through it) and while
    // it is disabled.
    uint8_t IsHidden() const override;
    // The placement, then the world corners.
    void ComposeWorldPlacement(SgWorldState* state) override;
    void RefreshWorldBound(SgWorldState* state) override;

    // The room seen through the portal (not counted). A room that goes clears it.
    SgRoom* AdjoiningRoom() const { return room_; }
    void SetAdjoiningRoom(SgRoom* room);

    uint16_t VertexCount() const { return vertexCount_; }
    uint16_t PlaneCount() const { return planeCount_; }
    const SgVec3* ModelVertices() const { return modelVertices_.get(); }
    const SgVec3* WorldVertices() const { return worldVertices_.get(); }
    const SgPlaneEq* ClipPlanes() const { return clipPlanes_.get(); }
    const SgBoundSphere& ModelBound() const { return modelBound_; }
    uint8_t InDisplay() const { return inDisplay_; }

    // Puts one plane per edge on the camera's plane array (edge i from corner i to the next,
    // through the camera's location). False, with nothing left pushed, when the camera cannot
    // take them all.
    bool PushClipPlanes(SgCamera* camera);
    void PopClipPlanes(SgCamera* camera);

    // 1: the portal may be looked through.
    uint8_t enabled = 0;

private:
    friend class SgRoom;

    void SetCorners(uint16_t count, const SgVec3* vertices);
    void Display(SgCamera* camera, bool deferred);

    uint16_t vertexCount_ = 0;
    std::unique_ptr<SgVec3[]> modelVertices_;
    SgRoom* room_ = nullptr;
    uint16_t planeCount_ = 0;
    SgBoundSphere modelBound_;
    std::unique_ptr<SgVec3[]> worldVertices_;
    std::unique_ptr<SgPlaneEq[]> clipPlanes_;
    uint8_t inDisplay_ = 0;
};
