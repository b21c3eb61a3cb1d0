#pragma once
// A flat polygon given in screen space (x and y from 0 to 1), drawn over the 3D view after the
// scene: the game's heads-up elements. It carries its own property list, so its texture and
// blending are set exactly as a scene object's are.

#include <cstdint>
#include <memory>

#include "engine/core/sg_math.h"
#include "engine/core/sg_property.h"

class SgDisplay;

class SgScreenPolygon : public SgObject {
public:
    static SgTypeRecord typeRecord;
    static int Register();

    SgScreenPolygon() = default;
    // Copies the arrays (texture coordinates and colours may be null).
    SgScreenPolygon(uint16_t vertexCount, const SgVec3* vertices, const SgVec3* textureCoords, const SgRgba* colors);

    const SgTypeRecord* GetTypeRecord() const override;
    // Vertex count, vertices, texture coordinates and colours each behind a presence word, then
    // the property links in list order.
    bool LoadFromStream(SgSceneStream& stream) override;
    void LinkFromStream(SgSceneStream& stream) override;
    bool RegisterInStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    // Same vertices, texture coordinates, colours and properties (pairwise, in list order).
    bool IsEqualTo(const SgObject* other) const override;

    // Pushes the properties, applies the pending state, draws through the display's renderer
    // and pops the properties again.
    void Draw(SgDisplay* display);
    // A new polygon with its own arrays and the same properties in the same order.
    SgRef<SgScreenPolygon> Copy() const;
    // Puts the property at the front of the list.
    void AddProperty(SgProperty* property) { properties.Prepend(property); }

    uint16_t VertexCount() const { return vertexCount_; }
    const SgVec3* Vertices() const { return vertices_.get(); }
    const SgVec3* TextureCoords() const { return textureCoords_.get(); }
    const SgRgba* Colors() const { return colors_.get(); }
    // The HUD moves its quads and their texture windows in place.
    SgVec3* MutableVertices() { return vertices_.get(); }
    SgVec3* MutableTextureCoords() { return textureCoords_.get(); }

    SgPropertyList properties;

protected:
    ~SgScreenPolygon() override = default;

private:
    uint16_t vertexCount_ = 0;
    std::unique_ptr<SgVec3[]> vertices_;
    std::unique_ptr<SgVec3[]> textureCoords_;
    std::unique_ptr<SgRgba[]> colors_;
};
