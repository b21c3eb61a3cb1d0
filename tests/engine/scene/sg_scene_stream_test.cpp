// Save, load and compare every streamable scene class (each case's file is a seed of the sgf
// fuzzer), links between scene objects in files, and the sample installation's model rendered to
// the recording renderer.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/core/sg_light.h"
#include "engine/core/sg_stream.h"
#include "engine/core/sg_texture_property.h"
#include "engine/geometry/sg_lines.h"
#include "engine/geometry/sg_particles.h"
#include "engine/geometry/sg_tri_lists.h"
#include "tests/engine/scene/scene_fixture.h"
#include "tests/engine/support/sg_stream_cases.h"
#include "tools/writers/sample_model.h"

namespace {

// Moves every stored field of the scene-object part off its default.
template <class T>
SgRef<T> Placed(T* object, const char* name) {
    SgRef<T> ref(object);
    ref->AssignName(name);
    ref->SetHidden(1);
    ref->localTranslation = {1, 2, 3};
    ref->localRotation = SgMat3::Rotation(6, 0.5, 1, 2, 3);
    ref->localScale = 1.5f;
    ref->localVelocity = {0.25f, 0, -1};
    ref->collisionMode = 1;
    return ref;
}

const SgVec3 kVertices[6] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}, {2, 0, 1}, {2, 1, 1}};
const SgVec3 kNormals[6] = {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 1, 0}, {1, 0, 0}, {0, 0, -1}};
const SgVec3 kCoords[6] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}, {0.5f, 0, 0}, {0.5f, 1, 2}};
const SgRgba kColors[6] = {{1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 1, 1}, {1, 1, 0, 0.5f}, {0, 1, 1, 0}, {1, 1, 1, 1}};
const uint16_t kIndices[6] = {0, 1, 2, 2, 1, 3};

SgRef<SgLight> FilledLight() {
    SgRef<SgLight> light = Placed(new SgLight, "lamp");
    light->SetPosition({1, 2, 3});
    light->SetDirection({0, -1, 0});
    light->on = 0;
    light->coneAngle = 30;
    light->spotExponent = 2;
    light->dimmer = 0.75f;
    light->ambient = {0.1f, 0.2f, 0.3f};
    light->diffuse = {0.4f, 0.5f, 0.6f};
    light->specular = {0.7f, 0.8f, 0.9f};
    light->range = 12;
    light->falloff = 0.25f;
    light->attenuate = 0;
    light->SetType(SgLight::kSpot);
    return light;
}

const SgStreamCase kCases[] = {
    {"SgNode",
     [] {
         SgRef<SgNode> node = Placed(new SgNode, "group");
         node->deferralMode = SgNode::kDeferralOff;
         SgRef<SgShadeProperty> shade(new SgShadeProperty);
         shade->smoothOn = 0;
         node->AddRenderProperty(shade.Get());
         node->AddRenderProperty(SgRef<SgWireframeProperty>(new SgWireframeProperty).Get());
         SgRef<SgLight> light = FilledLight();
         node->InsertChild(SgRef<SgNode>(new SgNode).Get(), false);
         node->SetChildAt(2, light.Get());
         node->AddLight(light.Get());
         return SgRef<SgObject>(node.Get());
     }},
    {"SgNodeWithTwoLights",
     [] {
         SgRef<SgNode> node(new SgNode);
         SgRef<SgLight> first = FilledLight(), second(new SgLight);
         node->InsertChild(first.Get(), false);
         node->InsertChild(second.Get(), false);
         node->AddLight(first.Get());
         node->AddLight(second.Get());
         return SgRef<SgObject>(node.Get());
     }},
    {"SgLight", [] { return SgRef<SgObject>(FilledLight().Get()); }},
    {"SgCamera",
     [] {
         SgRef<SgCamera> camera = Placed(new SgCamera, "eye");
         camera->localEye = {3, 0.5f, 0};
         camera->localViewDirection = {0, 0, -1};
         camera->localUp = {0, 1, 0.5f};
         camera->localRight = {1, 0, 0};
         camera->frustum = {-0.5f, 0.5f, 0.4f, -0.4f, 0.1f, 64};
         camera->viewport = {0, 0.5f, 1, 0.5f};
         camera->useDeferralPass = 1;
         camera->deferralFlag = 0;
         camera->lodFactor = 2;
         SgRef<SgNode> root(new SgNode);
         root->InsertChild(MakeTriangle().Get(), false);
         camera->SetSceneRoot(root.Get());
         const SgVec3 v[3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
         camera->AttachOverlayPolygon(SgRef<SgScreenPolygon>(new SgScreenPolygon(3, v, nullptr, nullptr)).Get());
         camera->AttachOverlayPolygon(SgRef<SgScreenPolygon>(new SgScreenPolygon(3, v, v, nullptr)).Get());
         camera->DetachOverlayPolygon(camera->ScreenPolygonList().At(0));
         return SgRef<SgObject>(camera.Get());
     }},
    {"SgTriShape",
     [] {
         SgRef<SgTriShape> shape =
             Placed(new SgTriShape(4, kVertices, kNormals, 2, kIndices, kCoords, kColors), "mesh");
         shape->AddTextureSet(kCoords + 1);
         shape->AddRenderProperty(SgRef<SgAlphaProperty>(new SgAlphaProperty).Get());
         return SgRef<SgObject>(shape.Get());
     }},
    {"SgTriShapeBare",
     [] { return SgRef<SgObject>(new SgTriShape(3, kVertices, nullptr, 1, kIndices, nullptr, nullptr)); }},
    {"SgEnvMappedTriShape",
     [] {
         return SgRef<SgObject>(
             Placed(new SgEnvMappedTriShape(4, kVertices, kNormals, 2, kIndices, kCoords, nullptr), "chrome").Get());
     }},
    {"SgTriangles",
     [] {
         SgRef<SgTriangles> list = Placed(new SgTriangles(6, kVertices, kNormals, kCoords, kColors), "list");
         list->SetActiveCount(1);
         return SgRef<SgObject>(list.Get());
     }},
    {"SgTriStrip",
     [] {
         SgRef<SgTriStrip> strip = Placed(new SgTriStrip(5, kVertices, nullptr, kCoords, kColors), "strip");
         strip->SetActiveCount(4);
         return SgRef<SgObject>(strip.Get());
     }},
    {"SgParticles",
     [] {
         SgRef<SgParticles> particles = Placed(new SgParticles(6, kVertices, kNormals, kColors), "sparks");
         particles->size = 0.3f;
         particles->Sizes()[2] = 2.5f;
         particles->SetActiveCount(5);
         return SgRef<SgObject>(particles.Get());
     }},
    {"SgAutoNormalParticles",
     [] {
         SgRef<SgAutoNormalParticles> particles = Placed(new SgAutoNormalParticles(3, kVertices, nullptr), "dust");
         particles->size = 2;
         return SgRef<SgObject>(particles.Get());
     }},
    {"SgLines",
     [] {
         const uint8_t connections[5] = {1, 1, 0, 1, 1};
         return SgRef<SgObject>(Placed(new SgLines(5, kVertices, kCoords, kColors, connections), "wire").Get());
     }},
    {"SgLinesBare", [] { return SgRef<SgObject>(new SgLines(2, kVertices, nullptr, nullptr, nullptr)); }},
    {"SampleModel", [] { return SgRef<SgObject>(BuildSampleModel().Get()); }},
};

TEST_P(SgStreamCaseTest, RoundTrip) { CheckStreamRoundTrip(GetParam()); }
TEST_P(SgStreamCaseTest, MatchesSeed) { CheckStreamSeed(GetParam()); }
INSTANTIATE_TEST_SUITE_P(Scene, SgStreamCaseTest, testing::ValuesIn(kCases), SgStreamCaseName);

// ---- Nesting ----

// Nodes each the only child of the one before, as deep as a file may nest, with a triangle at the
// bottom (it is the last level).
SgRef<SgNode> NodeChain(uint32_t levels) {
    SgRef<SgNode> top(new SgNode);
    SgNode* last = top.Get();
    for (uint32_t i = 2; i < levels; ++i) {
        auto* next = new SgNode;
        last->InsertChild(next, false);
        last = next;
    }
    last->InsertChild(MakeTriangle(10).Get(), false);
    return top;
}

// Every walk recurses once per level: at the limit each one stays inside the stack (the test runs
// under the sanitizers, whose frames are the largest). The saved chain is the fuzzer's deep seed.
using SceneStreamNesting = SceneTest;

TEST_F(SceneStreamNesting, AChainAtTheLimitLoadsAndSurvivesEveryWalk) {
    const SgStreamCase chain{"SgNodeChainAtTheLimit",
                             [] { return SgRef<SgObject>(NodeChain(SgSceneStream::kMaxNesting).Get()); }};
    CheckStreamSeed(chain);
    std::vector<uint8_t> bytes = SaveAsTopLevel(chain.make().Get());
    SgRef<SgNode> root(SgKindCast<SgNode>(LoadSingleTopLevel(bytes).Get()));
    ASSERT_TRUE(root);
    root->UpdateAllStates();
    EXPECT_TRUE(root->HasWorldBound());
    SgRef<SgAVObject> copy = root->Duplicate();
    EXPECT_TRUE(copy->IsEqualTo(root.Get()));
    EXPECT_EQ(root->FindByName("nothing"), nullptr);
    SgPickRequest request;
    root->CollectRayHits({10.2f, 0.2f, 5}, {0, 0, -1}, request, nullptr);
    EXPECT_EQ(request.HitCount(), 1u);
    EXPECT_FALSE(root->Flatten(1));
    EXPECT_EQ(SaveAsTopLevel(root.Get()), bytes);

    RenderRoot(root.Get());
    EXPECT_EQ(render->Count("DrawTriShape"), 1u);
    camera->SetSceneRoot(nullptr);

    // One level more is a damaged file.
    std::vector<uint8_t> deeper = SaveAsTopLevel(NodeChain(SgSceneStream::kMaxNesting + 1).Get());
    SgSceneStream stream;
    EXPECT_FALSE(stream.Load(deeper.data(), deeper.size()));
    EXPECT_EQ(SgSceneStream::ErrorCode(), SG_STREAM_DAMAGED);
}

// ---- Links in files ----

TEST(SceneStream, LinksRestoreChildrenLightsAndTheirOrder) {
    SgRef<SgObject> loaded = LoadSingleTopLevel(SaveAsTopLevel(kCases[1].make().Get()));
    SgNode* node = SgKindCast<SgNode>(loaded.Get());
    ASSERT_TRUE(node);
    ASSERT_EQ(node->Lights().Count(), 2u);
    SgLight* first = SgKindCast<SgLight>(node->ChildAt(0));
    EXPECT_EQ(node->Lights().First(), node->ChildAt(1));
    EXPECT_EQ(first->LitNodes().First(), node);
    EXPECT_EQ(first->CurrentState()->key, node);
}

TEST(SceneStream, AFileThatLoopsItsNodesLoadsWithoutTheLoop) {
    SgRef<SgNode> outer(new SgNode), inner(new SgNode);
    outer->InsertChild(inner.Get(), false);
    inner->InsertChild(MakeTriangle().Get(), false);
    std::vector<uint8_t> bytes = SaveAsTopLevel(outer.Get());
    // Link ids are 1 (outer), 2 (inner) and 3 (the triangle); inner's child list "1 child: 3"
    // is made to name outer.
    const char pattern[8] = {1, 0, 0, 0, 3, 0, 0, 0};
    size_t at = std::string(bytes.begin(), bytes.end()).rfind(std::string(pattern, 8));
    ASSERT_NE(at, std::string::npos);
    bytes[at + 4] = 1;
    SgSceneStream looped;
    ASSERT_TRUE(looped.Load(bytes.data(), bytes.size()));
    SgNode* top = SgKindCast<SgNode>(looped.TopLevelObject(0));
    ASSERT_TRUE(top);
    top->UpdateAllStates();  // ends
    SgNode* child = SgKindCast<SgNode>(top->ChildAt(0));
    EXPECT_FALSE(child && child->ChildAt(0));
}

TEST(SceneStream, ACameraInTheSceneItDrawsLoadsAndGoesOnceItsRootIsLetGo) {
    uint32_t live = SgObject::LiveCount();
    std::vector<uint8_t> bytes;
    {
        SgRef<SgNode> root(new SgNode);
        SgRef<SgCamera> camera(new SgCamera);
        root->InsertChild(camera.Get(), false);
        camera->SetSceneRoot(root.Get());
        bytes = SaveAsTopLevel(camera.Get());
        camera->SetSceneRoot(nullptr);
    }
    ASSERT_EQ(SgObject::LiveCount(), live);
    {
        SgSceneStream stream;
        ASSERT_TRUE(stream.Load(bytes.data(), bytes.size()));
        SgCamera* camera = SgKindCast<SgCamera>(stream.TopLevelObject(0));
        ASSERT_TRUE(camera);
        ASSERT_TRUE(camera->SceneRoot());
        EXPECT_EQ(camera->CurrentStateKey(), camera->SceneRoot());
        camera->SetSceneRoot(nullptr);
    }
    EXPECT_EQ(SgObject::LiveCount(), live);
}

// ---- The sample model ----

class SampleModelTest : public SceneTest {};

TEST_F(SampleModelTest, RendersFromTheInstallationWithTheExpectedCalls) {
    SgSceneStream stream;
    std::string path = std::string(SAMPLE_INSTALL_DIR) + "/" + kSampleModelFile;
    ASSERT_TRUE(stream.LoadFromFile(path.c_str())) << SgSceneStream::ErrorMessage();
    ASSERT_EQ(stream.TopLevelCount(), 1u);
    SgRef<SgNode> model(SgKindCast<SgNode>(stream.TopLevelObject(0)));
    ASSERT_TRUE(model);
    EXPECT_TRUE(model->IsEqualTo(BuildSampleModel().Get()));
    auto* texture = SgKindCast<SgTextureProperty>(model->FindPropertyOfType(SG_TEXTURE_PROPERTY));
    ASSERT_TRUE(texture);
    EXPECT_STREQ(texture->images.At(0)->FileName(), (std::string(SAMPLE_INSTALL_DIR) + "/sgfs/eair.tga").c_str());

    render->Clear();  // the model just built for the comparison is gone: every renderer heard of its light
    model->localTranslation = {10, 0, 0};
    SgGeometry::ResetRenderCounts();
    camera->PassViewToRenderer(SgRender::kClearFrame | SgRender::kClearDepth);
    camera->SetSceneRoot(model.Get());
    model->UpdateAllStates();
    camera->RenderFrame(0.5);
    camera->FinishView();

    const std::string bound = "bound(10, ";
    std::vector<std::string> log = render->Log();
    // Geometry calls carry arrays and bounds: their names and counts are what matter here.
    for (std::string& line : log)
        if (line.rfind("DrawTri", 0) == 0 || line.rfind("DrawParticles", 0) == 0 || line.rfind("DrawLines", 0) == 0)
            line = line.substr(0, line.find(", bound(")) + ")";
    EXPECT_EQ(log, (std::vector<std::string>{
                       "ClearBuffers((0, 1, 1, 0), 3)",
                       "SetCamera((0, 0, 0), (-1, 0, 0), (0, 1, 0), (0, 0, -1), frustum(-1, 1, 1, -1, 1, 100), "
                       "view(0, 1, 1, 0))",
                       "BeginFrame()",
                       "UpdateLight(light, 1)",
                       "SetTextureProperty(sample texture)",
                       "SetFogProperty(1, 0.5, 1, (0.25, 0.25, 0.5))",
                       "SetShadeProperty(0)",
                       "SetZBufferTest(1)",
                       "SetZBufferWrite(1)",
                       "SetMaterial(sample material, 2)",
                       "SetAlphaProperty(1, 6, 7)",
                       "SetClipPlanes(array, 0, 0, 0)",
                       "SetModelTransform((10, 0, 0), 1)",
                       "DrawTriShape(2, 4, array, array, array, 1, array, array, array)",
                       "SetClipPlanes(array, 0, 0, 0)",
                       "SetModelTransform((10, 0, 0), 1)",
                       "DrawTriStrip(2, array, null, array, 1, array, null)",
                       "SetClipPlanes(array, 0, 0, 0)",
                       "SetModelTransform((10, 0, 0), 1)",
                       "DrawTriangles(2, array, null, array, 1, array, array)",
                       "SetClipPlanes(array, 0, 0, 0)",
                       "DrawParticles(3, array, null, array, 0.25, array)",
                       "SetClipPlanes(array, 0, 0, 0)",
                       "SetModelTransform((10, 0, 0), 1)",
                       "DrawLines(4, array, null, array, array)",
                       "UpdateLight(light, 0)",
                       "EndFrame()",
                       "PresentFrame()",
                   }));
    // Every draw hands over the bound of its state under the moved model.
    for (const RenderCall& c : render->calls) {
        if (c.name.rfind("Draw", 0) != 0)
            continue;
        size_t boundArg = c.name == "DrawParticles" ? 6 : c.name == "DrawLines" ? 5 : c.name == "DrawTriShape" ? 9 : 7;
        EXPECT_EQ(c.args[boundArg].rfind(bound, 0), 0u) << c.Text();
    }
    uint32_t objects, triangles, vertices;
    SgGeometry::GetRenderCounts(objects, triangles, vertices);
    EXPECT_EQ(objects, 4u);
    EXPECT_EQ(triangles, 2u + 2u + 2u + 3u);
    EXPECT_EQ(vertices, 4u + 4u + 6u + 3u);
}

}  // namespace
