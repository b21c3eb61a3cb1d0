#include "client/present/camera_set.h"

#include <algorithm>
#include <cmath>

#include "client/present/arena_draw_sorter.h"
#include "client/present/hud_slots.h"
#include "client/present/lod_select.h"
#include "client/present/world_tables.h"
#include "engine/animation/sg_3ds_animators.h"
#include "engine/animation/sg_clod.h"
#include "engine/core/sg_geometry.h"
#include "engine/render/sg_d3d_render.h"
#include "engine/render/sg_dd_environment.h"
#include "engine/render/sg_dd_image.h"
#include "platform/win/win.h"

namespace present {

namespace {

constexpr float kQuarterTurn = 1.5707950592041016f;
constexpr float kDefaultTilt = 0.6981311440467834f;
constexpr float kThirdPersonTilt = 0.645771324634552f;
constexpr float kFirstPersonFar = 64.0f;
constexpr float kFoggedFirstPersonFar = 6.4f;
constexpr float kFirstPersonNearFloor = 0.01f;

float NearFor(float floor, float far) {
    return std::max({floor, far / SgCamera::kFarToNearRatio, SgCamera::kLeastNearDistance});
}

void SetRows(SgMat3& m, float a, float b, float c, float d, float e, float f, float g, float h, float i) {
    m.m[0] = a, m.m[1] = b, m.m[2] = c;
    m.m[3] = d, m.m[4] = e, m.m[5] = f;
    m.m[6] = g, m.m[7] = h, m.m[8] = i;
}

// A turn by the angle within the camera's own plane (its tilt).
SgMat3 TiltRows(float t) {
    SgMat3 m;
    SetRows(m, std::cos(t), std::sin(t), 0, -std::sin(t), std::cos(t), 0, 0, 0, 1);
    return m;
}

// Level with the ground: a quarter turn about x.
SgMat3 UprightRows() {
    SgMat3 m;
    const float cq = std::cos(kQuarterTurn), sq = std::sin(kQuarterTurn);
    SetRows(m, 1, 0, 0, 0, cq, sq, 0, -sq, cq);
    return m;
}

void SetFirstPersonFrustum(CameraSet& s, float far) {
    if (!s.firstPersonCamera)
        return;
    SgFrustum& f = s.firstPersonCamera->frustum;
    f.farDistance = far;
    f.nearDistance = NearFor(kFirstPersonNearFloor, far);
    f.left = -0.1f;
    f.right = 0.1f;
    f.top = 0.075f;
    f.bottom = -0.075f;
}

struct CameraSpec {
    const char* name;
    float left, right, top, bottom, nearFloor, far;
    bool translated;
    SgVec3 translation;
    bool insertFirstFree;
};

const CameraSpec kCameraSpecs[3] = {
    {"default camera", -0.55f, 0.55f, 0.41f, -0.41f, 0.1f, 20.0f, false, {}, false},
    {"first person", -0.1f, 0.1f, 0.075f, -0.075f, 0.01f, 64.0f, true, {0.08f, 0.0f, 0.0f}, true},
    {"third person", -0.256f, 0.256f, 0.192f, -0.192f, 1.001f, 30.0f, true, {1.0f, 0.0f, 0.0f}, true},
};

void MakeCamera(CameraSet& s, const CameraSpec& spec, SgRef<SgCamera>& camera, SgRef<SgNode>& node) {
    camera = SgRef<SgCamera>(new SgCamera);
    camera->AssignName(spec.name);
    SgFrustum& f = camera->frustum;
    f.left = spec.left;
    f.right = spec.right;
    f.top = spec.top;
    f.bottom = spec.bottom;
    f.farDistance = spec.far;
    f.nearDistance = NearFor(spec.nearFloor, spec.far);
    camera->viewport = SgViewRect{0.0f, 1.0f, 1.0f, 0.0f};
    if (spec.translated)
        camera->localTranslation = spec.translation;
    camera->SetDisplay(s.display.Get());
    camera->SetSceneRoot(s.sceneRoot.Get());
    camera->useDeferralPass = 1;
    node = SgRef<SgNode>(new SgNode);
    node->InsertChild(camera.Get(), spec.insertFirstFree);
}

void ReplaceImage(HWND window, SgRef<SgImage>& slot, IDirectDrawSurface4* surface) {
    SgRef<SgDDBufferImage> image = surface ? SgDDBufferImage::Create(surface) : SgRef<SgDDBufferImage>();
    if (!image) {
        MessageBox(window, "Renderer Creation Failed!", "Error", MB_OK);
        return;
    }
    slot = SgRef<SgImage>(image.Get());
}

bool CanDraw() { return IsRendererReady() && Cameras().activeCamera; }

}  // namespace

CameraSet& Cameras() {
    // Never destroyed: engine objects must not be released during static destruction.
    static CameraSet* set = new CameraSet;
    return *set;
}

// ---- Set-up ----

uint32_t CreateRenderer(HWND window) {
    CameraSet& s = Cameras();
    s.display = SgRef<SgDisplay>(new SgDisplay);
    s.fullScreen = 1;
    s.rendererFlag = 1;
    s.renderer = CreateD3DRenderer(s.rendererFlag, window);
    if (!s.renderer) {
        MessageBox(window, "Renderer Creation Failed!", "Error", MB_OK);
        return 0;
    }
    SgImage::AddImageListener(s.renderer.Get(), 0);
    s.renderer->SetBackgroundColor(SgRgb(0.0f, 0.0f, 0.0f));
    s.display->SetRenderer(s.renderer.Get());
    return s.renderer->GetDriverInfo();
}

SgRef<SgRender> CreateD3DRenderer(uint32_t flags, HWND window) {
    CameraSet& s = Cameras();
    s.rendererStarted = 1;
    SgD3DRender::InstallImageHook();
    SgSetRenderWindow(window);
    SgRenderCreateParams params;
    params.window = window;
    params.paletteFile = nullptr;
    params.flags = flags ? 11 : 9;
    if (s.fullScreen) {
        params.width = 800;
        params.height = 600;
        params.mode = 1;
    }
    SgRef<SgD3DRender> render = SgD3DRender::Create(params);
    return SgRef<SgRender>(render.Get());
}

void CreateSceneRoot() {
    SgSetDeferredCollectorFactory(CreateArenaDrawSorter);
    Cameras().sceneRoot = SgRef<SgNode>(new SgNode);
    AddSceneRootProperties();
    Cameras().sceneRoot->UpdateAllStates();
}

void AddSceneRootProperties() {
    CameraSet& s = Cameras();
    SgNode* root = s.sceneRoot.Get();
    if (!root)
        return;
    SgRef<SgZBufferProperty> zbuffer(new SgZBufferProperty);
    zbuffer->depthTest = 1;
    zbuffer->depthWrite = 1;

    s.textureMode = SgRef<SgTextureModeProperty>(new SgTextureModeProperty);
    s.textureMode->applyMode = 3;
    s.textureMode->filterMode = s.rendererFlag ? 5 : 0;
    s.textureMode->addressingMode = 3;
    s.textureMode->override = 1;

    s.specular = SgRef<SgSpecularProperty>(new SgSpecularProperty);
    s.specular->specularOn = 0;

    s.vertexColor = SgRef<SgVertexColorProperty>(new SgVertexColorProperty);
    s.vertexColor->mode = 6;

    s.wireframe = SgRef<SgWireframeProperty>(new SgWireframeProperty);
    s.wireframe->wireframeOn = 0;

    s.fog = SgRef<SgFogProperty>(new SgFogProperty);
    s.fog->fogOn = 1;
    s.fog->depth = 0.2f;
    s.fog->fogKind = 0;
    s.fog->color = SgRgb(0.0f, 0.0f, 0.0f);
    s.fog->override = 1;

    s.shade = SgRef<SgShadeProperty>(new SgShadeProperty);
    s.shade->smoothOn = 1;
    s.shade->override = 1;

    s.material = SgRef<SgMaterialProperty>(new SgMaterialProperty);
    s.material->ambient = SgRgb(0.0f, 0.0f, 0.0f);
    s.material->changed = 1;
    s.material->diffuse = SgRgb(1.0f, 1.0f, 1.0f);
    s.material->changed = 1;
    s.material->specular = SgRgb(0.0f, 0.0f, 0.0f);
    s.material->changed = 1;
    s.material->emissive = SgRgb(0.0625f, 0.0625f, 0.0625f);
    s.material->changed = 1;

    SgProperty* const linked[] = {zbuffer.Get(),         s.fog.Get(),       s.shade.Get(),   s.textureMode.Get(),
                                  s.vertexColor.Get(),    s.wireframe.Get(), s.specular.Get()};
    for (SgProperty* property : linked)
        root->properties.Prepend(property);
    root->AddRenderProperty(s.material.Get());
    root->UpdateAllStates();
    SgClod::SetDefaultLevelCallback(SelectLodFirstCall, 0);
}

void CreateCameras() {
    CameraSet& s = Cameras();
    MakeCamera(s, kCameraSpecs[0], s.defaultCamera, s.defaultNode);
    MakeCamera(s, kCameraSpecs[1], s.firstPersonCamera, s.firstPersonNode);
    MakeCamera(s, kCameraSpecs[2], s.thirdPersonCamera, s.thirdPersonNode);
    if (!s.activeCamera) {
        s.activeCamera = s.defaultCamera.Get();
        s.activeNode = s.defaultNode.Get();
    }
}

void ResetCameraViewports() {
    CameraSet& s = Cameras();
    for (SgCamera* camera : {s.defaultCamera.Get(), s.firstPersonCamera.Get(), s.thirdPersonCamera.Get()})
        if (camera)
            camera->viewport = SgViewRect{0.0f, 1.0f, 1.0f, 0.0f};
}

int SgxGetDirectDraw(IDirectDraw4** directDraw) {
    IDirectDraw4* object = nullptr;
    if (!SgDDImage::GetDirectDraw(&object) || !object)
        return 0;
    if (directDraw) {
        object->AddRef();
        *directDraw = object;
    }
    return 1;
}

void CreateScreenImage(HWND window, IDirectDrawSurface4* surface) { ReplaceImage(window, Cameras().screenImage, surface); }

void CreateCursorImage(HWND window, IDirectDrawSurface4* surface) { ReplaceImage(window, Cameras().cursorImage, surface); }

// ---- Frame operations ----

int IsRendererReady() {
    const CameraSet& s = Cameras();
    return s.rendererFlag && s.renderer ? 1 : 0;
}

void ClearViewFrame() {
    if (CanDraw())
        Cameras().activeCamera->PassViewToRenderer(SgRender::kClearFrame | SgRender::kClearDepth);
}

void RenderWorldView(int elapsed) {
    if (!CanDraw())
        return;
    CameraSet& s = Cameras();
    SgGeometry::ResetRenderCounts();
    s.activeCamera->RenderFrame(s.worldClock);
    SgGeometry::GetRenderCounts(s.geometryDrawn, s.trianglesDrawn, s.verticesDrawn);
    s.worldClock = static_cast<float>(s.worldClock + elapsed * 0.0001);
}

void DrawScreenImage() {
    CameraSet& s = Cameras();
    if (IsRendererReady() && s.screenImage)
        s.renderer->BlitImageToFrame(s.screenImage.Get(), nullptr, 0, 0, 0);
}

void BlitSurfaceToScreen(int left, int top, int right, int bottom, int transparent) {
    CameraSet& s = Cameras();
    if (!IsRendererReady() || !s.screenImage)
        return;
    // The record is unsigned: a rectangle starting left of or above the screen starts at its edge.
    left = std::max(left, 0);
    top = std::max(top, 0);
    if (right <= left || bottom <= top)
        return;
    SgPixelRect rect;
    rect.left = static_cast<uint32_t>(left);
    rect.right = static_cast<uint32_t>(right);
    rect.top = static_cast<uint32_t>(top);
    rect.bottom = static_cast<uint32_t>(bottom);
    s.renderer->BlitImageToFrame(s.screenImage.Get(), &rect, left, top, transparent ? 1 : 0);
}

void DrawCursorImage(int x, int y) {
    CameraSet& s = Cameras();
    if (IsRendererReady() && s.cursorImage)
        s.renderer->BlitImageToFrame(s.cursorImage.Get(), nullptr, x, y, 1);
}

void ShowViewFrame() {
    if (CanDraw())
        Cameras().activeCamera->FinishView();
}

void GetRenderStatistics(uint32_t* triangles, uint32_t* geometry, uint32_t* vertices) {
    const CameraSet& s = Cameras();
    if (triangles)
        *triangles = s.trianglesDrawn;
    if (geometry)
        *geometry = s.geometryDrawn;
    if (vertices)
        *vertices = s.verticesDrawn;
}

// ---- Cameras and view state ----

void SelectActiveCamera(int mode) {
    CameraSet& s = Cameras();
    DetachHudFromCamera(s.activeCamera);
    switch (mode) {
    case 0:
        if (s.activeCamera == s.thirdPersonCamera.Get()) {
            s.activeCamera = s.firstPersonCamera.Get();
            s.activeNode = s.firstPersonNode.Get();
        } else {
            s.activeCamera = s.thirdPersonCamera.Get();
            s.activeNode = s.thirdPersonNode.Get();
        }
        break;
    case 1:
        s.activeCamera = s.defaultCamera.Get();
        s.activeNode = s.defaultNode.Get();
        break;
    case 2:
        s.activeCamera = s.firstPersonCamera.Get();
        s.activeNode = s.firstPersonNode.Get();
        break;
    case 3:
        s.activeCamera = s.thirdPersonCamera.Get();
        s.activeNode = s.thirdPersonNode.Get();
        break;
    default:
        break;
    }
    AttachHudToCamera(s.activeCamera);
    if (s.activeNode)
        s.activeNode->UpdateAllStates();
}

void ShowHud(int on) {
    if (on == 1)
        AttachHudToCamera(Cameras().activeCamera);
    else
        DetachHudFromCamera(Cameras().activeCamera);
}

void PlaceFirstPersonCamera(int32_t x, int32_t y, int32_t z, int facing, int tilt) {
    CameraSet& s = Cameras();
    SgNode* node = s.firstPersonNode.Get();
    if (!node || !s.firstPersonCamera)
        return;
    node->localTranslation = SgVec3(x / 6553600.0f, y / 6553600.0f, -z / 6553600.0f);
    const float h = static_cast<float>((7168 - facing) % 4096) * 0.0015339794921875f;
    const float c = std::cos(h), sn = std::sin(h);
    const float cq = std::cos(kQuarterTurn), sq = std::sin(kQuarterTurn);
    SetRows(node->localRotation, c, sn * cq, sn * sq, -sn, c * cq, c * sq, 0, -sq, cq);
    s.firstPersonCamera->localRotation = TiltRows(static_cast<float>(tilt * 0.001745327777777778));
    node->UpdateAllStates();
}

void SetWorldFog(int depth, int, int red, int green, int blue) {
    CameraSet& s = Cameras();
    SgRgb color(0.0f, 0.0f, 0.0f);
    if (depth != 0) {
        color = SgRgb(red / 255.0f, green / 255.0f, blue / 255.0f);
        if (s.fog) {
            s.fog->fogOn = 1;
            s.fog->fogKind = 1;
            s.fog->depth = std::max(depth * 0.01f, 0.0f);
            s.fog->color = color;
        }
        SetFirstPersonFrustum(s, kFoggedFirstPersonFar);
    } else {
        if (s.fog) {
            s.fog->fogOn = 0;
            s.fog->depth = 0.0f;
            s.fog->color = color;
        }
        SetFirstPersonFrustum(s, kFirstPersonFar);
    }
    if (IsRendererReady())
        s.renderer->SetBackgroundColor(color);
}

void SetWireframeMode(int on) {
    CameraSet& s = Cameras();
    if (!s.wireframe || !s.vertexColor)
        return;
    s.wireframe->wireframeOn = on ? 1 : 0;
    s.vertexColor->mode = on ? 0 : 6;
    if (s.sceneRoot)
        s.sceneRoot->UpdateAllStates();
}

void SetWorldTextureMode(int option) {
    CameraSet& s = Cameras();
    if (s.rendererFlag == 1 && s.textureMode)
        s.textureMode->filterMode = option ? 5 : 1;
}

void CreateViewerLight() {
    CameraSet& s = Cameras();
    if (!s.sceneRoot || !s.defaultNode || !s.firstPersonNode || !s.thirdPersonNode)
        return;
    SgRef<SgLight> light(new SgLight);
    s.viewerLight = light;
    light->SetType(SgLight::kPoint);
    light->dimmer = 6.0f;
    light->changed = 1;
    light->range = 3.0f;
    light->changed = 1;
    light->falloff = 1.0f;
    light->attenuate = 1;
    light->changed = 1;
    light->ambient = SgRgb(0.0f, 0.0f, 0.0f);
    light->diffuse = SgRgb(1.0f, 1.0f, 1.0f);
    light->specular = SgRgb(0.0f, 0.0f, 0.0f);
    light->changed = 1;
    s.sceneRoot->AddLight(light.Get());
    s.sceneRoot->UpdateAllStates();
    s.firstPersonNode->InsertChild(light.Get(), true);
    light->on = 0;
    s.firstPersonNode->UpdateAllStates();

    const SgMat3 upright = UprightRows();
    const SgVec3 start(20.0f, 20.0f, -8.0f);
    s.defaultNode->localRotation = upright;
    s.defaultNode->UpdateAllStates();
    s.defaultCamera->localRotation = TiltRows(kDefaultTilt);
    s.defaultCamera->UpdateAllStates();
    s.defaultNode->localTranslation = start;
    s.defaultNode->UpdateAllStates();

    s.firstPersonNode->localRotation = upright;
    s.firstPersonNode->localTranslation = start;
    if (World().worldRoot)
        World().worldRoot->InsertChild(s.firstPersonNode.Get(), true);
    s.firstPersonNode->UpdateAllStates();

    s.thirdPersonNode->localRotation = upright;
    s.thirdPersonNode->UpdateAllStates();
    s.thirdPersonCamera->localRotation = TiltRows(kThirdPersonTilt);
    s.thirdPersonCamera->UpdateAllStates();
    s.thirdPersonNode->localTranslation = start;
    s.thirdPersonNode->UpdateAllStates();

    SelectActiveCamera(2);
}

void SetViewerLight(int on, int dimmer, int range) {
    SgLight* light = Cameras().viewerLight.Get();
    if (!light)
        return;
    light->on = on ? 1 : 0;
    light->changed = 1;
    if (dimmer) {
        light->dimmer = dimmer * 0.01f;
        light->changed = 1;
    }
    if (range) {
        light->range = range * 0.01f;
        light->changed = 1;
    }
    light->UpdateAllStates();
}

// ---- Shutdown ----

void ReleaseRendererSurfaces() {
    if (!Cameras().rendererStarted)
        return;
    SgDDImage::VisitAll();
    SgDDImage::SetDirectDraw(nullptr);
}

void DestroySceneAndRenderer() {
    CameraSet& s = Cameras();
    Sg3dsPropertyAnimator::DeleteAll();
    SgImage::ClearImageListeners();
    // The first-person holder hangs under the world, inside the root its camera points back to:
    // untie the cameras or that loop keeps the whole scene alive.
    for (SgCamera* camera : {s.defaultCamera.Get(), s.firstPersonCamera.Get(), s.thirdPersonCamera.Get()}) {
        if (camera) {
            camera->SetSceneRoot(nullptr);
            camera->SetDisplay(nullptr);
        }
    }
    s.sceneRoot = nullptr;
    s.wireframe = nullptr;
    s.fog = nullptr;
    s.vertexColor = nullptr;
    // The other four default properties are kept as well and go with the root.
    s.textureMode = nullptr;
    s.shade = nullptr;
    s.specular = nullptr;
    s.material = nullptr;
    s.viewerLight = nullptr;
    s.defaultNode = nullptr;
    s.defaultCamera = nullptr;
    s.firstPersonNode = nullptr;
    s.firstPersonCamera = nullptr;
    s.thirdPersonNode = nullptr;
    s.thirdPersonCamera = nullptr;
    s.activeCamera = nullptr;
    s.activeNode = nullptr;
    s.screenImage = nullptr;
    s.cursorImage = nullptr;
    s.display = nullptr;
    s.renderer = nullptr;
    SgD3DRender::ReleaseCurrent();
}

}  // namespace present
