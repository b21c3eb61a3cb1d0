#pragma once
// SgCamera: the scene object through which a frame is rendered. From its world placement it
// derives a viewing frame and six culling planes (near, far, left, right, top, bottom), hands the
// view to the renderer and draws one scene root and a list of screen polygons through a display.
// Portals push further planes onto the same array while they draw the room behind them.
//
// Orientation: the camera looks along the opposite of its world view direction D (the local view
// direction is (-1, 0, 0)); the depth of a point x is D . (L - x) for the world location L, so
// points in front have positive depth. The frustum window spans left..right and bottom..top at
// the near distance, shifted by the eye point's offset along the local right and up axes.

#include <cstdint>

#include "engine/core/sg_av_object.h"
#include "engine/core/sg_display.h"
#include "engine/core/sg_lists.h"
#include "engine/core/sg_screen_polygon.h"

class SgCameraAction;

// A deferred object with the draw state it would have had, replayed later in the same frame.
// Entries come from a pool and go back to it with Free.
struct SgDeferredDrawEntry {
    SgRef<SgAVObject> object;
    SgWorldState* state = nullptr;
    SgBoundSphere bound;
    SgDisplay::Snapshot display;
    uint8_t deferralFlag = 1;
    uint32_t disabledMask[4] = {};

    // Releases the object and gives the entry back to the pool.
    static void Free(SgDeferredDrawEntry* entry);
};

class SgCamera : public SgAVObject {
public:
    // Engine-wide limits of the near distance: never below this, nor below far / this ratio.
    static constexpr float kLeastNearDistance = 0.1f;
    static constexpr float kFarToNearRatio = 10000.0f;
    // The planes a camera can test: its disabled-plane mask has 128 bits.
    static constexpr uint32_t kMaxPlanes = 128;
    static constexpr uint32_t kOwnPlanes = 6;

    static SgTypeRecord typeRecord;
    static int Register();

    SgCamera();

    const SgTypeRecord* GetTypeRecord() const override;
    // Eye, view direction, up, right, frustum, viewport, the two deferral bytes, the level-of-
    // detail factor, then the root, display, screen polygon and action links.
    bool LoadFromStream(SgSceneStream& stream) override;
    void LinkFromStream(SgSceneStream& stream) override;
    // Registers the root, the screen polygons and the actions (not the display).
    bool RegisterInStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    // SameView, then the actions pairwise in list order.
    bool IsEqualTo(const SgObject* other) const override;
    // The comparison without the actions (an action compares its camera this way, so a camera
    // whose action names it cannot compare itself without end).
    bool SameView(const SgCamera* other) const;

protected:
    // Releases the actions, screen polygons, display and root.
    ~SgCamera() override;

public:
    // A camera has one parent: it leaves the old one first.
    SgWorldState* FindOrMakeWorldState(SgAVObject* key) override;
    // Re-keys the state to 0.
    bool DropWorldState(SgAVObject* key) override;
    // Frame, frustum, viewport, root, display, flags and time; not the polygons nor the actions.
    SgAVObject* MakeCopy(SgAVObject* copy) override;
    // The view update: world frame, planes and projection.
    void ComposeWorldPlacement(SgWorldState* state) override;
    // A sphere of radius 0 at the world location.
    void RefreshWorldBound(SgWorldState* state) override;

    // ---- Frames ----
    // Stores the time; with a display runs the actions, hands the view to the renderer, begins
    // the frame, draws the root (when it has a bound) and the screen polygons and ends the frame.
    void RenderFrame(double time);
    // The renderer clears the camera's viewport with the flags (SgRender::kClearFrame, kClearDepth).
    void PassViewToRenderer(uint32_t clearFlags);
    // The display presents the frame.
    void FinishView();
    // The time of the last RenderFrame (animation switches select by it).
    double Time() const { return time_; }

    // ---- Projections ----
    // The sphere's radius over its depth, times the horizontal and vertical factors; the largest
    // float for both when the depth is within 1e-5 of 0.
    void ProjectedSize(const SgBoundSphere& sphere, float& horizontal, float& vertical) const;
    // The sphere's screen box: x and y in -1..1 (the whole screen when part of it is not in front
    // of the eye), z the depth from near (0) to far (1).
    void ProjectBound(const SgBoundSphere& sphere, SgVec3& minimum, SgVec3& maximum) const;
    void ProjectEntryBound(const SgDeferredDrawEntry& entry, SgVec3& minimum, SgVec3& maximum) const;

    // ---- Screen polygons and actions ----
    // Into the first empty slot below the used size, else appended; null is ignored.
    void AttachOverlayPolygon(SgScreenPolygon* polygon);
    // Empties the first slot that holds the polygon (the other polygons keep their slots).
    void DetachOverlayPolygon(SgScreenPolygon* polygon);
    SgArray<SgScreenPolygon>& ScreenPolygonList() { return screenPolygons_; }
    // The most recently attached action runs first.
    void AttachAction(SgCameraAction* action);
    // The action taken off the list, or null when it was not on it.
    SgRef<SgCameraAction> DetachAction(SgCameraAction* action);
    const SgRefChain<SgCameraAction>& Actions() const { return actions_; }

    // ---- Deferred drawing ----
    // An entry holding the object, its state and bound, the display's pending properties and
    // lights, and the camera's deferral flag and plane mask.
    SgDeferredDrawEntry* MakeDeferredEntry(SgAVObject* object, SgWorldState* state);
    // Draws the entry with the state saved in it, then puts the camera's own values back.
    void DrawDeferredEntry(SgDeferredDrawEntry* entry);

    // ---- Planes ----
    // Hands the renderer the planes the next draw must be clipped against: every active plane
    // whose bit is clear in the disabled mask.
    void PassClipPlanes();
    // Adds a plane behind the active ones (portals); false when the camera tests 128 already.
    bool PushPlane(const SgPlaneEq* plane);
    // Takes the last n pushed planes off again (the camera's own six stay).
    void PopPlanes(uint32_t n);
    uint32_t ActivePlaneCount() const { return activePlaneCount_; }
    const SgPlaneEq* PlaneAt(uint32_t i) const { return i < activePlaneCount_ ? planes_.At(i) : nullptr; }
    const SgPlaneEq& OwnPlane(uint32_t i) const { return ownPlanes_[i < kOwnPlanes ? i : 0]; }
    bool PlaneDisabled(uint32_t i) const;
    void SetPlaneDisabled(uint32_t i, bool disabled);
    const uint32_t* DisabledMask() const { return disabledMask_; }

    // ---- Scene and display ----
    void SetSceneRoot(SgAVObject* root) { sceneRoot_ = root; }
    SgAVObject* SceneRoot() const { return sceneRoot_.Get(); }
    void SetDisplay(SgDisplay* display) { display_ = display; }
    SgDisplay* Display() const { return display_.Get(); }

    // ---- Derived view values ----
    const SgVec3& WorldLocation() const { return worldLocation_; }
    const SgMat3& WorldAxes() const { return worldAxes_; }
    const SgVec3& WorldEyePoint() const { return worldEye_; }
    const SgVec3& WorldViewDirection() const { return worldViewDirection_; }
    const SgVec3& WorldUp() const { return worldUp_; }
    const SgVec3& WorldRight() const { return worldRight_; }
    // Rows x, y, depth and w over (world point, 1).
    const float* Projection() const { return projection_; }
    float ProjectionExtra() const { return projectionExtra_; }
    float HorizontalFactor() const { return projectionFactors_[0]; }
    float VerticalFactor() const { return projectionFactors_[1]; }

    // ---- Stored values ----
    SgVec3 localEye{2.0f, 0.0f, 0.0f};
    SgVec3 localViewDirection{-1.0f, 0.0f, 0.0f};
    SgVec3 localUp{0.0f, 1.0f, 0.0f};
    SgVec3 localRight{0.0f, 0.0f, 1.0f};
    SgFrustum frustum;
    SgViewRect viewport;
    // The frame draws the root with the deferral pass when set.
    uint8_t useDeferralPass = 0;
    // Read by nodes during the deferral pass: set, objects may be collected for later drawing.
    uint8_t deferralFlag = 1;
    float lodFactor = 1.0f;

private:
    // The view record's window: the frustum shifted by the eye's offset along right and up.
    SgFrustum ShiftedWindow() const;
    void RebuildPlanes();
    void RebuildProjection();
    // The projected x (row 0) or y (row 1) of a point and its w.
    float ProjectRow(int row, const SgVec3& p, float& w) const;

    float projection_[16] = {};
    float projectionExtra_ = 0.0f;
    float projectionFactors_[2] = {};
    SgVec3 worldLocation_;
    SgMat3 worldAxes_ = SgIdentityMat3;
    SgVec3 worldEye_;
    SgVec3 worldViewDirection_;
    SgVec3 worldUp_;
    SgVec3 worldRight_;
    SgRef<SgAVObject> sceneRoot_;
    SgArray<SgScreenPolygon> screenPolygons_{5, 5};
    SgRef<SgDisplay> display_;
    SgPtrArray<const SgPlaneEq*> planes_{6, 3};
    uint32_t activePlaneCount_ = kOwnPlanes;
    SgPlaneEq ownPlanes_[kOwnPlanes];
    uint32_t disabledMask_[4] = {};
    const SgPlaneEq** clipBuffer_ = nullptr;
    uint32_t clipBufferCapacity_ = kOwnPlanes;
    SgRefChain<SgCameraAction> actions_;
    double time_ = 0.0;
};
