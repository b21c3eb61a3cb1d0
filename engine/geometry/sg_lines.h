#pragma once
// SgLines: line segments over the vertices of a geometry, with a connection byte per vertex
// (the renderer joins vertex i to i + 1 when byte i is not 0). Without stored connections,
// vertices 0-1, 2-3, ... make separate segments.

#include <cstdint>
#include <memory>

#include "engine/core/sg_geometry.h"

class SgLines : public SgGeometry {
public:
    static SgTypeRecord typeRecord;
    static int Register();

    SgLines() = default;
    // Copies the arrays; null connections give the pairwise default.
    SgLines(uint16_t vertexCount, const SgVec3* vertices, const SgVec3* textureCoords, const SgRgba* colors,
            const uint8_t* connections);

    const SgTypeRecord* GetTypeRecord() const override;
    // The geometry part, then texture coordinates, colours and connections behind presence words.
    bool LoadFromStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    bool IsEqualTo(const SgObject* other) const override;

protected:
    ~SgLines() override = default;

public:
    SgAVObject* MakeCopy(SgAVObject* copy) override;
    // Pending state, clip planes, placement, then DrawLines; lines add nothing to the counters.
    void Draw(SgCamera* camera, SgWorldState* state) override;
    void ComputeNormals() override;

    const SgVec3* TextureCoords() const { return textureCoords_.get(); }
    const SgRgba* Colors() const { return colors_.get(); }
    const uint8_t* Connections() const { return connections_.get(); }

private:
    // 1 for even vertex numbers, 0 for odd ones.
    void DefaultConnections();

    std::unique_ptr<SgVec3[]> textureCoords_;
    std::unique_ptr<SgRgba[]> colors_;
    std::unique_ptr<uint8_t[]> connections_;
};
