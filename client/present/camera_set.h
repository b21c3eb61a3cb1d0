#pragma once
// The one renderer, its display, the scene root with its default render state, the three cameras
// on their holder nodes, the engine images of the 2D screen and cursor, the world clock and the
// viewer light. Made once at display start-up, released at shutdown.
//
// The presentation's own operations live in namespace present: the game reaches them only through
// the service forwarders of present_services.h, which carry the same names.

#include <cstdint>

#include "engine/core/sg_camera.h"
#include "engine/core/sg_display.h"
#include "engine/core/sg_image.h"
#include "engine/core/sg_light.h"
#include "engine/core/sg_node.h"
#include "engine/core/sg_property.h"
#include "engine/core/sg_render.h"
#include "platform/ddraw/ddraw.h"

namespace present {

struct CameraSet {
    // An SgD3DRender in the game; tests may put a recording renderer here.
    SgRef<SgRender> renderer;
    SgRef<SgDisplay> display;
    SgRef<SgNode> sceneRoot;
    // The root's default properties, each also kept here (the z-buffer is only linked).
    SgRef<SgVertexColorProperty> vertexColor;
    SgRef<SgTextureModeProperty> textureMode;
    SgRef<SgShadeProperty> shade;
    SgRef<SgFogProperty> fog;
    SgRef<SgWireframeProperty> wireframe;
    SgRef<SgSpecularProperty> specular;
    SgRef<SgMaterialProperty> material;

    SgRef<SgCamera> defaultCamera, firstPersonCamera, thirdPersonCamera;
    SgRef<SgNode> defaultNode, firstPersonNode, thirdPersonNode;
    SgCamera* activeCamera = nullptr;
    SgNode* activeNode = nullptr;

    SgRef<SgImage> screenImage;
    SgRef<SgImage> cursorImage;

    uint8_t rendererStarted = 0;
    uint8_t fullScreen = 0;
    // Selects device flags 11 and texture filter mode 5.
    uint8_t rendererFlag = 0;

    // Seconds of world animation time.
    float worldClock = 0.0f;
    uint32_t geometryDrawn = 0, trianglesDrawn = 0, verticesDrawn = 0;

    SgRef<SgLight> viewerLight;
};

CameraSet& Cameras();

// ---- Set-up (display start-up, in this order) ----
// Display and renderer; on failure the message box "Renderer Creation Failed!" and no renderer.
// Returns the renderer's driver word (0 without one).
uint32_t CreateRenderer(HWND window);
SgRef<SgRender> CreateD3DRenderer(uint32_t flags, HWND window);
void CreateSceneRoot();
void AddSceneRootProperties();
void CreateCameras();
void ResetCameraViewports();
// Non-zero when the engine holds a DirectDraw object; *directDraw gets one reference.
int SgxGetDirectDraw(IDirectDraw4** directDraw);
void CreateScreenImage(HWND window, IDirectDrawSurface4* surface);
void CreateCursorImage(HWND window, IDirectDrawSurface4* surface);

// ---- Frame operations (only while IsRendererReady) ----
// Answers 0 when no renderer was made, so no frame operation reaches a missing one.
int IsRendererReady();
void ClearViewFrame();
// Elapsed in tenths of a millisecond.
void RenderWorldView(int elapsed);
void DrawScreenImage();
void BlitSurfaceToScreen(int left, int top, int right, int bottom, int transparent);
void DrawCursorImage(int x, int y);
void ShowViewFrame();
void GetRenderStatistics(uint32_t* triangles, uint32_t* geometry, uint32_t* vertices);

// ---- Cameras and view state ----
// 0 toggles third person / first person, 1 default, 2 first person, 3 third person; others keep.
void SelectActiveCamera(int mode);
void ShowHud(int on);
// x, y, z in 16.16 hundredths; facing 0..4095; tilt in tenths of a degree.
void PlaceFirstPersonCamera(int32_t x, int32_t y, int32_t z, int facing, int tilt);
void SetWorldFog(int depth, int spare, int red, int green, int blue);
void SetWireframeMode(int on);
void SetWorldTextureMode(int option);
// The last step of world creation: the light rides on the first-person node, whose holder goes
// under the world root.
void CreateViewerLight();
void SetViewerLight(int on, int dimmer, int range);

// ---- Shutdown ----
void ReleaseRendererSurfaces();
void DestroySceneAndRenderer();

}  // namespace present
