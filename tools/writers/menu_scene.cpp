#include "tools/writers/menu_scene.h"

#include <cmath>

#include "engine/animation/sg_3ds_animation_node.h"
#include "engine/core/sg_light.h"
#include "engine/geometry/sg_tri_shape.h"
#include "tools/writers/sgf_bytes.h"

namespace {

// A flat disc of radius r at z = 0, facing up.
SgRef<SgTriShape> Disc(float r, int sides) {
    std::vector<SgVec3> points{SgVec3(0, 0, 0)}, normals{SgVec3(0, 0, 1)};
    std::vector<SgRgba> colours{SgRgba{0.5f, 0.45f, 0.35f, 1.0f}};
    std::vector<uint16_t> triangles;
    for (int i = 0; i < sides; ++i) {
        const double a = 2 * 3.14159265358979 * i / sides;
        points.emplace_back(static_cast<float>(r * std::cos(a)), static_cast<float>(r * std::sin(a)), 0.0f);
        normals.emplace_back(0.0f, 0.0f, 1.0f);
        colours.push_back(SgRgba{0.3f, 0.27f, 0.2f, 1.0f});
        triangles.insert(triangles.end(), {0, static_cast<uint16_t>(1 + i), static_cast<uint16_t>(1 + (i + 1) % sides)});
    }
    return SgRef<SgTriShape>(new SgTriShape(static_cast<uint16_t>(points.size()), points.data(), normals.data(),
                                            static_cast<uint16_t>(triangles.size() / 3), triangles.data(), nullptr,
                                            colours.data()));
}

}  // namespace

MenuScene BuildMenuScene() {
    MenuScene m;
    m.scene = SgRef<SgNode>(new SgNode);
    m.scene->AssignName("Menu Scene");
    SgRef<SgTriShape> stage = Disc(140.0f, 24);
    stage->AssignName("Stage");
    m.scene->InsertChild(stage.Get(), false);
    // The stand turns a quarter every 10 s of preview time (2 s at the preview's five times real
    // time), so the figure shows from every side. It starts a quarter round, so a figure (which
    // faces -y) first faces the camera.
    SgRef<Sg3dsAnimationNode> holder(new Sg3dsAnimationNode);
    holder->AssignName("Dmy_Figure");
    holder->timeMode = SgAnimationTiming::kTimeApplication;
    holder->cycleType = SgAnimationTiming::kCycleLoop;
    SgRotationKey* turn[5];
    for (int i = 0; i < 5; ++i)
        turn[i] = new SgRotationKeyPlain(10.0f * i, SgHalfPi * (i + 1), SgVec3(0, 0, 1));
    holder->SetRotationKeys(turn, 5, true);
    for (SgRotationKey* k : turn)
        delete k;
    m.scene->InsertChild(holder.Get(), false);

    // A key light in front and above, on the whole scene; soft, since the preview doubles the
    // figure's material colour.
    SgRef<SgLight> light(new SgLight);
    light->AssignName("Key Light");
    light->SetType(SgLight::kDirectional);
    light->SetDirection(SgVec3(-0.6f, 0.3f, -0.74f));
    light->ambient = SgRgb(0.3f, 0.3f, 0.3f);
    light->diffuse = SgRgb(0.6f, 0.6f, 0.6f);
    light->specular = SgRgb(0, 0, 0);
    m.scene->InsertChild(light.Get(), false);
    m.scene->AddLight(light.Get());

    // Looking along -x (local +x) with z up and +y to the right.
    m.camera = SgRef<SgCamera>(new SgCamera);
    m.camera->AssignName("Menu Camera");
    SgMat3& r = m.camera->localRotation;
    const float rows[9] = {-1, 0, 0, 0, 0, 1, 0, 1, 0};
    for (int i = 0; i < 9; ++i)
        r.m[i] = rows[i];
    m.camera->localTranslation = SgVec3(kMenuCameraDistance, 0, kMenuCameraHeight);
    // The preview takes three quarters of the stored height: so stored, the view keeps the
    // frame's proportions.
    const float halfWidth = 0.44f;
    const float halfHeight = halfWidth * kMenuStageHeight / kMenuStageWidth / 0.75f;
    m.camera->frustum = SgFrustum{-halfWidth, halfWidth, halfHeight, -halfHeight, 1.0f, 4000.0f};
    m.camera->viewport = SgViewRect{kMenuStageLeft / 800.0f, (kMenuStageLeft + kMenuStageWidth) / 800.0f,
                                    1.0f - kMenuStageTop / 600.0f, 1.0f - (kMenuStageTop + kMenuStageHeight) / 600.0f};

    m.spare = SgRef<SgNode>(new SgNode);
    m.spare->AssignName("Unused Scene");
    SgRef<SgTriShape> other = Disc(50.0f, 6);
    m.spare->InsertChild(other.Get(), false);
    m.scene->UpdateAllStates();
    m.camera->UpdateAllStates();
    return m;
}

std::vector<uint8_t> MenuSceneBytes() {
    MenuScene m = BuildMenuScene();
    return SgfBytesOf({m.scene.Get(), m.camera.Get(), m.spare.Get()});
}
