// The scene dump's lines, exactly (object addresses masked).

#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <string>

#include "client/present/scene_dump.h"
#include "engine/animation/sg_3ds_animation_node.h"
#include "engine/animation/sg_3ds_particle_system.h"
#include "engine/core/sg_node.h"
#include "engine/core/sg_texture_property.h"
#include "engine/geometry/sg_special_nodes.h"
#include "engine/geometry/sg_tri_shape.h"

namespace {

std::string Dump(SgObject* object, int depth) {
    FILE* file = std::tmpfile();
    present::DumpSceneGraph(object, depth, file);
    std::string text;
    std::rewind(file);
    for (int c; (c = std::fgetc(file)) != EOF;)
        text.push_back(static_cast<char>(c));
    std::fclose(file);
    return std::regex_replace(text, std::regex("\\{[0-9a-f]+\\}"), "{*}");
}

TEST(SceneDumpTest, LinesByKindPropertiesAndPlacement) {
    SgRef<SgNode> root(new SgNode);
    root->AssignName("Root");
    root->localTranslation = {1, 2, -3.25f};
    root->localScale = 2.0f;
    root->localRotation = SgMat3::Rotation(5, 1.5707963);  // a quarter turn about z
    root->deferralMode = 1;

    SgRef<Sg3dsBone> bone(new Sg3dsBone);
    bone->AssignName("Bip01");
    SgPositionKey a(0, {0, 0, 0}), b(1, {1, 0, 0});
    const SgPositionKey* keys[] = {&a, &b};
    bone->SetPositionKeys(keys, 2, true);
    root->InsertChild(bone.Get(), false);

    const SgVec3 v[3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    const uint16_t idx[3] = {0, 1, 2};
    SgRef<SgTriShape> shape(new SgTriShape(3, v, nullptr, 1, idx, nullptr, nullptr));
    SgRef<SgAlphaProperty> alpha(new SgAlphaProperty);
    alpha->sourceBlend = 5;
    alpha->destinationBlend = 6;
    alpha->override = 1;
    SgRef<SgMaterialProperty> material(new SgMaterialProperty);
    material->ambient = {0, 0, 0};
    material->diffuse = {1, 0.5f, 0};
    material->emissive = {0.2f, 0.2f, 0.2f};
    material->alpha = 0.5f;
    shape->AddRenderProperty(alpha.Get());
    shape->AddRenderProperty(material.Get());  // in front: listed first
    bone->InsertChild(shape.Get(), false);

    SgRef<SgBillboardNode> sign(new SgBillboardNode);
    sign->SetHidden(1);
    SgRef<SgTextureProperty> texture(new SgTextureProperty);
    texture->AssignName("skin.bmp");
    SgRef<SgVertexColorProperty> colors(new SgVertexColorProperty);
    colors->mode = 6;
    colors->override = 1;
    sign->AddRenderProperty(new SgZBufferProperty);
    sign->AddRenderProperty(colors.Get());
    sign->AddRenderProperty(texture.Get());
    root->InsertChild(sign.Get(), false);
    root->UpdateAllStates();

    EXPECT_EQ(Dump(root.Get(), 0),
              "(00) [Root] {*}\n"
              "      (X=1.0 Y=2.0 Z=-3.2 S=2.00)\n"
              "      (WX=1.0 WY=2.0 WZ=-3.2 WS=2.00)\n"
              "      (WA=1.57 WAX=0.00 WAY=0.00 WAZ=1.00)\n"
              "      (Sort=1)\n"
              "  (01) [Bip01] {*}  BONE rot=0 pos=2\n"
              "      (X=0.0 Y=0.0 Z=0.0 S=1.00)\n"
              "      (WX=1.0 WY=2.0 WZ=-3.2 WS=2.00)\n"
              "      (WA=1.57 WAX=0.00 WAY=0.00 WAZ=1.00)\n"
              "      (Sort=2)\n"
              "    (02) {*}  TRI tri=1 ver=3 +Pmat(0,0,0/255,127,0/51,51,51/50) +Palph(5/6)*\n"
              "      (X=0.0 Y=0.0 Z=0.0 S=1.00)\n"
              "      (WX=1.0 WY=2.0 WZ=-3.2 WS=2.00)\n"
              "      (WA=1.57 WAX=0.00 WAY=0.00 WAZ=1.00)\n"
              "  (01) {*}  BILL mode=1  APP-CULLED +Ptex (skin.bmp) +Pvcol(6)* +Pzbuf\n"
              "      (X=0.0 Y=0.0 Z=0.0 S=1.00)\n"
              "      (WX=1.0 WY=2.0 WZ=-3.2 WS=2.00)\n"
              "      (WA=1.57 WAX=0.00 WAY=0.00 WAZ=1.00)\n"
              "      (Sort=2)\n");

    // Deeper starts indent further; particle systems show their timing.
    SgRef<Sg3dsParticleSystem> spray(new Sg3dsParticleSystem);
    spray->frequency = 0.5f;
    spray->lowKeyTime = 0;
    spray->highKeyTime = 2;
    spray->phase = 0.25f;
    const std::string line = Dump(spray.Get(), 2);
    EXPECT_EQ(line.substr(0, line.find('\n')),
              "    (02) {*}  PARTICLE freq=0.500 beg=0.000 end=2.000 ddt=0.250");

    // No file: nothing written, nothing breaks.
    present::DumpSceneGraph(root.Get(), 0, nullptr);
    present::DumpSceneGraph(nullptr, 0, nullptr);
}

}  // namespace
