#pragma once
// A node that moves itself (and so its children) along a keyed path. Position keys define the
// curve; float keys (the percent keys) say over animation time how far along it the node is, as
// a fraction from 0 to 1. Optionally the node turns to follow the path, keeps an even speed by
// arc length, smooths its orientation across keys, banks into curves in proportion to their
// curvature, flips, and chooses which local axis points along the path.
//
// The percent keys' values are path-key times, or with constantSpeed fractions of the arc length.

#include <cstdint>
#include <vector>

#include "engine/animation/sg_animation_timing.h"
#include "engine/animation/sg_float_key.h"
#include "engine/animation/sg_position_key.h"
#include "engine/core/sg_node.h"

class Sg3dsPathController : public SgNode, public SgAnimationTiming {
public:
    static SgTypeRecord typeRecord;
    static int Register();

    // Where a percent falls on the path: the segment from key i to key i + 1, at s in [0, 1].
    struct Segment {
        uint32_t i = 0;
        uint32_t j = 1;
        float s = 0.0f;
    };

    Sg3dsPathController() = default;

    const SgTypeRecord* GetTypeRecord() const override;
    bool LoadFromStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    bool IsEqualTo(const SgObject* other) const override;

protected:
    ~Sg3dsPathController() override = default;

public:
    SgAVObject* MakeCopy(SgAVObject* copy) override;
    // Needs two path keys and a percent key; otherwise the node stays where it is.
    void Update(float t) override;

    // Clones of the keys (null entries leave the family empty), prepared.
    void SetPathKeys(const SgPositionKey* const* keys, uint32_t count);
    // Clones; their first and last times become the key-time range.
    void SetPercentKeys(const SgFloatKey* const* keys, uint32_t count);

    float PercentAt(float m);
    Segment FindSegment(float p);
    Segment FindSegmentByLength(float p);
    float SegmentSpeed(uint32_t k, float s) const;
    float SegmentLength(uint32_t k, float s) const;
    // Only when stale.
    void BuildArcTable();
    // Columns are the local axes' directions.
    SgMat3 Orientation(uint32_t i, uint32_t j, float s) const;

    const SgKeyArray<SgPositionKey>& PathKeys() const { return pathKeys_; }
    const SgKeyArray<SgFloatKey>& PercentKeys() const { return percentKeys_; }
    const std::vector<float>& ArcLengths() const { return arcLengths_; }
    float TotalLength() const { return totalLength_; }
    bool ArcTableStale() const { return arcTableStale_ != 0; }
    float MaxCurvature() const { return maxCurvature_; }

    int32_t pathKeyIndex = 0;
    int32_t percentKeyIndex = 0;
    uint8_t openPath = 1;  // 0 when the first and last path keys are at one place
    int32_t bankScale = 1;
    uint8_t smoothFrame = 0;
    uint8_t bank = 0;
    uint8_t constantSpeed = 0;
    uint8_t followPath = 0;
    float bankAngle = 0.0f;
    float smoothWindow = 0.0f;
    uint16_t axisMode = 0;  // the local axis along the path: 0 x, 1 y, 2 z
    uint8_t flip = 0;

private:
    void CopyFieldsInto(Sg3dsPathController* copy) const;

    SgKeyArray<SgPositionKey> pathKeys_;
    SgKeyArray<SgFloatKey> percentKeys_;
    std::vector<float> arcLengths_;
    float totalLength_ = 0.0f;
    uint8_t arcTableStale_ = 1;
    float maxCurvature_ = 0.0f;
};
