#include "tools/writers/sample_model.h"

#include "engine/core/sg_light.h"
#include "engine/core/sg_texture_property.h"
#include "engine/geometry/sg_lines.h"
#include "engine/geometry/sg_particles.h"
#include "engine/geometry/sg_tri_lists.h"
#include "engine/geometry/sg_tri_shape.h"
#include "tools/writers/model_parts.h"
#include "tools/writers/sgf_bytes.h"

namespace {

// A unit quad at height y facing +x, where the viewer stands and the light hangs.
SgRef<SgTriShape> Quad(float y) {
    const SgVec3 v[4] = {{0, y, -0.5f}, {0, y, 0.5f}, {0, y + 1, -0.5f}, {0, y + 1, 0.5f}};
    const SgVec3 n[4] = {{1, 0, 0}, {1, 0, 0}, {1, 0, 0}, {1, 0, 0}};
    const SgVec3 uv[4] = {{0, 1, 0}, {1, 1, 0}, {0, 0, 0}, {1, 0, 0}};
    const SgRgba c[4] = {{1, 1, 1, 1}, {1, 0.5f, 0.5f, 1}, {0.5f, 1, 0.5f, 1}, {0.5f, 0.5f, 1, 1}};
    const uint16_t indices[6] = {0, 2, 1, 1, 2, 3};
    return Named(new SgTriShape(4, v, n, 2, indices, uv, c), "shape");
}

SgRef<SgTextureProperty> Texture() {
    SgRef<SgImage> image = Named(new SgImage, "sample texture");
    image->SetFileName(kSampleModelTexture);
    image->formatKind = SgImage::kAnyFormat;
    SgRef<SgTextureProperty> texture(new SgTextureProperty);
    texture->AppendImage(image.Get());
    texture->currentIndex = 0;
    return texture;
}

}  // namespace

SgRef<SgNode> BuildSampleModel() {
    SgRef<SgNode> root = Named(new SgNode, "sample");

    SgRef<SgMaterialProperty> material = Named(new SgMaterialProperty, "sample material");
    material->diffuse = {0.8f, 0.7f, 0.6f};
    material->specular = {0.2f, 0.2f, 0.2f};
    material->shininess = 8.0f;
    SgRef<SgAlphaProperty> alpha(new SgAlphaProperty);
    alpha->blendOn = 1;
    SgRef<SgZBufferProperty> zbuffer(new SgZBufferProperty);
    zbuffer->depthTest = zbuffer->depthWrite = 1;
    SgRef<SgFogProperty> fog(new SgFogProperty);
    fog->fogOn = 1;
    fog->depth = 0.5f;
    fog->fogKind = 1;
    fog->color = {0.25f, 0.25f, 0.5f};
    SgRef<SgShadeProperty> shade(new SgShadeProperty);
    shade->smoothOn = 0;
    // Added last first: the list then reads texture, material, alpha, z-buffer, fog, shade.
    root->AddRenderProperty(shade.Get());
    root->AddRenderProperty(fog.Get());
    root->AddRenderProperty(zbuffer.Get());
    root->AddRenderProperty(alpha.Get());
    root->AddRenderProperty(material.Get());
    root->AddRenderProperty(Texture().Get());

    root->InsertChild(Quad(-2).Get(), false);

    const SgVec3 stripVertices[4] = {{0, -1, -1.5f}, {0, 0, -1.5f}, {0, -1, -0.75f}, {0, 0, -0.75f}};
    const SgVec3 stripCoords[4] = {{0, 1, 0}, {0, 0, 0}, {1, 1, 0}, {1, 0, 0}};
    root->InsertChild(Named(new SgTriStrip(4, stripVertices, nullptr, stripCoords, nullptr), "strip").Get(), false);

    // The list's two triangles make a square that shows the whole texture.
    const SgVec3 listVertices[6] = {{0, -1, 0.75f}, {0, 0, 0.75f}, {0, -1, 1.5f},
                                    {0, 0, 0.75f},  {0, 0, 1.5f},  {0, -1, 1.5f}};
    const SgVec3 listCoords[6] = {{0, 1, 0}, {0, 0, 0}, {1, 1, 0}, {0, 0, 0}, {1, 0, 0}, {1, 1, 0}};
    const SgRgba listColors[6] = {{1, 0, 0, 1}, {1, 0, 0, 1}, {1, 0, 0, 1}, {0, 1, 0, 1}, {0, 1, 0, 1}, {0, 1, 0, 1}};
    root->InsertChild(Named(new SgTriangles(6, listVertices, nullptr, listCoords, listColors), "list").Get(), false);

    const SgVec3 sparks[3] = {{0, 0.5f, -1}, {0, 0.75f, 0}, {0, 0.5f, 1}};
    const SgRgba sparkColors[3] = {{1, 1, 0, 1}, {1, 0.5f, 0, 1}, {1, 0, 0, 1}};
    SgRef<SgParticles> particles = Named(new SgParticles(3, sparks, nullptr, sparkColors), "particles");
    particles->size = 0.25f;
    root->InsertChild(particles.Get(), false);

    const SgVec3 frame[4] = {{0, 1.5f, -1.5f}, {0, 1.5f, 1.5f}, {0, 1.75f, -1.5f}, {0, 1.75f, 1.5f}};
    const SgRgba frameColors[4] = {{1, 1, 1, 1}, {1, 1, 1, 1}, {0.5f, 0.5f, 0.5f, 1}, {0.5f, 0.5f, 0.5f, 1}};
    root->InsertChild(Named(new SgLines(4, frame, nullptr, frameColors, nullptr), "lines").Get(), false);

    SgRef<SgLight> light = Named(new SgLight, "light");
    light->SetType(SgLight::kPoint);
    // In front of the faces, between them and the viewer, so they show lit.
    light->SetPosition({2, 1, 0});
    light->diffuse = {1.0f, 0.9f, 0.8f};
    light->ambient = {0.2f, 0.2f, 0.2f};
    light->range = 10.0f;
    // Bright enough that the faces two units away come out in the middle of the range, where a
    // fault in the lighting moves every pixel.
    light->dimmer = 3.0f;
    root->InsertChild(light.Get(), false);
    root->AddLight(light.Get());

    root->UpdateAllStates();
    return root;
}

std::vector<uint8_t> SampleModelBytes() { return SgfBytesOf(BuildSampleModel().Get()); }
