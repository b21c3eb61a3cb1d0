#pragma once
// SgClod: a triangle mesh whose triangle count can be set at every draw to anything between a
// coarse base and the full mesh. It is stored as the base plus an ordered list of vertex splits
// (steps): each step splits one vertex into two and adds one or two triangles. Refining replays
// steps forward and coarsening undoes them, so a change of detail costs work in proportion to the
// change. Each world state may carry its own level, so one mesh serves many instances.
//
// Terms: a mesh vertex is an entry of the geometry's vertex arrays (positions, normals, texture
// coordinates, colours); a vertex id is a vertex's number in the split hierarchy (seam copies
// share one id); a render slot is what triangle corners hold, and the slot map leads from a slot
// to the mesh vertex now drawn there.
//
// Adjacency holds, for corner i of a triangle, the triangle across the edge opposite that corner
// (0xFFFF for none).
//
// Files are untrusted: every count and index is checked while the steps are built, and the
// built mesh must sweep to its base and back unchanged, or the load fails.

#include <cstdint>
#include <memory>

#include "engine/core/sg_ref.h"
#include "engine/geometry/sg_tri_based_geom.h"

class SgClod;
class SgCamera;

struct SgClodVertex {
    uint16_t id = 0;
    // The mesh vertex this one becomes when its step is undone (0xFFFF for none).
    uint16_t mergeTarget = 0xFFFF;
    uint16_t slot = 0;
};

struct SgClodStep {
    uint16_t vertexId = 0;
    // t0, t1, t2, t3: side 0 (the child with the step's first new id) lies between t0 and t2,
    // side 1 between t1 and t3. Triangle A goes between t0 and t1, B between t2 and t3.
    uint16_t neighbours[4] = {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF};
    // Bits 0-9: where each corner of A and B comes from; bits 10-15: seam copies beyond the two
    // children.
    uint16_t flags = 0;

    bool HasB() const { return neighbours[2] != 0xFFFF || neighbours[3] != 0xFFFF; }
    uint32_t NewVertices() const { return (flags >> 10) + 2u; }
};

// The level state one or more world states use.
class SgClodData {
public:
    SgClodData() = default;
    SgClodData(const SgClodData&) = delete;
    SgClodData& operator=(const SgClodData&) = delete;
    virtual ~SgClodData();

    void IncRef() const { ++refCount_; }
    void DecRef() const {
        if (--refCount_ == 0)
            delete this;
    }
    uint32_t RefCount() const { return refCount_; }

    // A copy of every array and counter: triangles by triangleCapacity, slots by slotCount.
    SgClodData* Clone(uint32_t triangleCapacity, uint32_t slotCount) const;

    std::unique_ptr<uint16_t[]> adjacency;  // 3 per triangle
    std::unique_ptr<SgPlaneEq[]> planes;
    std::unique_ptr<SgVec3[]> textureCoords;  // per slot; null without texture coordinates
    std::unique_ptr<SgRgba[]> colors;         // per slot; null without colours
    std::unique_ptr<uint16_t[]> triangles;    // 3 slots per triangle
    std::unique_ptr<uint16_t[]> slotMap;      // slot -> mesh vertex
    uint16_t triangleCount = 0;
    uint16_t nextId = 0;
    uint16_t activeVertexCount = 0;
    uint16_t stepIndex = 0;

private:
    mutable uint32_t refCount_ = 0;
};

class SgClodWorldState : public SgGeometryWorldState {
public:
    ~SgClodWorldState() override;
    SgRef<SgClodData> level;
};

// Asked at every draw: nonzero means the written target is used (0 hides the mesh for that
// draw), zero that the default rule decides.
using SgClodLevelCallback = uint8_t (*)(SgClod* mesh, SgCamera* camera, uint32_t user, uint16_t* target);

// A mesh given in memory: geometry arrays of every mesh vertex, the base and the steps.
struct SgClodSource {
    uint16_t vertexCount = 0;
    const SgVec3* positions = nullptr;
    const SgVec3* normals = nullptr;
    const SgVec3* textureCoords = nullptr;
    const SgRgba* colors = nullptr;
    uint16_t fullTriangleCount = 0;
    uint16_t nextId = 0;
    uint16_t baseVertexCount = 0;
    const uint16_t* baseIds = nullptr;
    uint16_t baseTriangleCount = 0;
    const uint16_t* baseCorners = nullptr;    // 3 per base triangle
    const uint16_t* baseAdjacency = nullptr;  // 3 per base triangle
    uint16_t stepCount = 0;
    const SgClodStep* steps = nullptr;
    uint8_t perStateData = 1;
    float detailFactor = 0.025f;
};

class SgClod : public SgTriBasedGeom {
public:
    static SgTypeRecord typeRecord;
    static int Register();

    static constexpr uint16_t kNone = 0xFFFF;

    SgClod();
    // Sets the mesh up from memory (full detail); false, leaving the mesh empty, when the data
    // does not build.
    bool SetMesh(const SgClodSource& source);

    const SgTypeRecord* GetTypeRecord() const override;
    // The triangle part, then the base and the steps; the level set-up must succeed.
    bool LoadFromStream(SgSceneStream& stream) override;
    void LinkFromStream(SgSceneStream& stream) override;
    bool RegisterInStream(SgSceneStream& stream) override;
    // Always the base mesh, whatever level the states are at.
    void SaveToStream(SgSceneStream& stream) const override;
    // Equal geometry, equal base and steps.
    bool IsEqualTo(const SgObject* other) const override;

protected:
    ~SgClod() override;

public:
    // ---- Scene and geometry operations ----
    // A new state shares the mesh's level, or gets its own copy when per-state data is on and the
    // level already has another holder.
    SgWorldState* FindOrMakeWorldState(SgAVObject* key) override;
    SgWorldState* NewWorldState() override;
    // The mesh itself: duplicated scenes share it, each parent giving it a state of its own.
    SgAVObject* MakeCopy(SgAVObject* copy) override;
    void FixUpCopy(SgAVObject* copy) override;
    void FinishCopy(SgAVObject* copy) override;
    // Picks the level (callback or default rule); a callback answer of 0 suppresses this draw.
    void PushDrawState(SgCamera* camera, SgWorldState* state) override;
    void PopDrawState(SgCamera* camera, SgWorldState* state) override;
    void Draw(SgCamera* camera, SgWorldState* state) override;
    void ComputeNormals() override;
    // The slots in use, through the slot map, into the state's world arrays.
    void TransformToWorld(SgWorldState* state) override;

    // ---- Triangle operations (the current state's level) ----
    bool GetModelTriangle(uint32_t i, const SgVec3* corners[3]) const override;
    bool GetWorldTriangle(uint32_t i, const SgVec3* corners[3]) override;
    uint16_t GetActiveTriangleCount() const override;
    // The mesh vertices of triangle i and its plane.
    bool GetTriangle(uint32_t i, uint16_t corners[3], SgPlaneEq*& plane) const override;
    // Planes of the shared level's triangles: (p1 - p0) x (p2 - p0), not normalised.
    void ComputePlanes() override;
    // Vertex normals summed over every level.
    void ComputeNormalsFromPlanes() override;

    // ---- The mesh's own operations ----
    // Reads the attributes of the next mesh vertex (the loaded vertex count): texture
    // coordinates, normal and colour as the mesh has them.
    virtual bool AddVertexAttributes(SgSceneStream& stream);
    // Positions always; 1: a texture set, 2: normals, 4: colours (zeroed).
    virtual void AllocateVertexArrays(uint32_t flags);
    virtual void FitModelBound();

    // The callback every mesh copies at set-up.
    static void SetDefaultLevelCallback(SgClodLevelCallback callback, uint32_t user);
    void SetLevelCallback(SgClodLevelCallback callback, uint32_t user);
    // Brings the state's level to the nearest reachable count not above (refining) or not below
    // (coarsening) the target, within the base and full counts.
    void SetTriangleCount(SgWorldState* state, uint16_t target);
    // Projected area of the world bound x the frame area x the detail factor; 0xFFFF when larger.
    uint16_t DefaultTargetTriangles(SgCamera* camera, SgWorldState* state) const;
    void ComputeVertexNormals();

    // The state's level data (every state has one).
    SgClodData* LevelOf(SgWorldState* state);
    SgClodData* SharedLevel() const { return level_.Get(); }
    // The number of slots drawn at a level: the slot of its last active mesh vertex + 1.
    uint16_t SlotsInUse(const SgClodData& d) const;

    // The full triangle count is the level count the game's selection scales.
    uint16_t FullTriangleCount() const { return triangleCount_; }
    uint16_t BaseTriangleCount() const { return baseTriangleCount_; }
    uint16_t BaseVertexCount() const { return baseVertexCount_; }
    uint16_t BaseNextId() const { return baseNextId_; }
    uint16_t StepCount() const { return stepCount_; }
    const SgClodStep* Steps() const { return steps_.get(); }
    const SgClodVertex* VertexRecords() const { return records_.get(); }
    uint16_t RenderSlotCount() const { return slotCount_; }
    uint16_t MergeScratchLength() const { return scratchLength_; }
    bool Suppressed() const { return suppressed_ != 0; }
    SgClodLevelCallback LevelCallback() const { return callback_; }

    float detailFactor = 0.025f;
    uint8_t perStateData = 1;
    // Recompute the planes of triangles a step touches.
    uint8_t keepPlanes = 1;

protected:
    // The mesh part of a real copy (skinned meshes): geometry, counts, records, shared level.
    void CopyFieldsInto(SgClod* copy) const;
    // Reads the base and steps after the triangle part and sets the mesh up.
    bool LoadClodFields(SgSceneStream& stream);
    void SaveClodFields(SgSceneStream& stream) const;
    bool SameClodFields(const SgClod* o) const;
    // Copies the mesh vertex's texture coordinates and colour into the level's slot.
    void CopySlotAttributes(SgClodData& d, uint16_t slot, uint16_t vertex) const;
    // The plane of level triangle t from the model positions.
    void ComputeLevelPlane(SgClodData& d, uint32_t t) const;
    void AssignLevel(SgClodWorldState* state);

    uint16_t loadedVertexCount_ = 0;

private:
    class SlotQueue;

    bool SetUpData();
    void Clear();
    bool BuildStep(SgClodData& d, SlotQueue& queue);
    bool NewSlot(uint16_t& slot);
    void SetLevel(SgClodData& d, uint16_t target);
    // One step forward with the counters; ApplyStep alone returns the mesh vertex counter it
    // reached.
    void Refine(SgClodData& d);
    uint32_t ApplyStep(SgClodData& d);
    void UndoStep(SgClodData& d);
    // The corner of triangle t whose mesh vertex has the id, or -1.
    int CornerOf(const SgClodData& d, uint16_t t, uint16_t id) const;
    // Walks the fan of the id from t, crossing the edge direction[k] names at each triangle,
    // until the far triangle (false) or an open edge (true).
    template <class Visit>
    bool VisitFan(SgClodData& d, uint16_t t, uint16_t far, uint16_t id, const uint8_t* direction, Visit& visit);
    void Touch(uint16_t t);
    void RefreshTouchedPlanes(SgClodData& d);
    void Gather(uint16_t vertex);

    std::unique_ptr<SgClodVertex[]> records_;
    std::unique_ptr<SgClodStep[]> steps_;
    std::unique_ptr<uint16_t[]> baseTriangles_;  // 6 per base triangle: corners, adjacency
    uint16_t stepCount_ = 0;
    uint16_t slotCount_ = 0;
    uint16_t baseTriangleCount_ = 0;
    uint16_t baseVertexCount_ = 0;
    uint16_t baseNextId_ = 0;
    SgRef<SgClodData> level_;
    SgClodLevelCallback callback_ = nullptr;
    uint32_t userValue_ = 0;
    uint8_t suppressed_ = 0;
    std::unique_ptr<uint16_t[]> scratch_;
    uint16_t scratchLength_ = 0;
    uint16_t gathered_ = 0;
    // Triangles whose planes a step changed.
    std::unique_ptr<uint16_t[]> touched_;
    uint32_t touchedCount_ = 0;
    uint16_t slotCapacity_ = 0;
};
