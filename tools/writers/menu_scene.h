#pragma once
// The sample installation's menu preview scene, "sgfs/main.sgf", written with the engine's own
// saver. Three top-level objects: the scene node (a lit stage disc and the empty "Dmy_Figure"
// node at the origin, z up, where the preview puts the figure), the preview camera looking at the
// stage along -x from kMenuCameraDistance, drawing into the main menu's stage frame, and a second
// node that the preview ignores.

#include <cstdint>
#include <vector>

#include "engine/core/sg_camera.h"
#include "engine/core/sg_node.h"

inline constexpr const char* kMenuSceneFile = "sgfs/main.sgf";
inline constexpr float kMenuCameraDistance = 360.0f;
inline constexpr float kMenuCameraHeight = 120.0f;

// The frame the main menu's background draws round the preview (pixels of the 800 x 600 screen):
// the preview camera's viewport.
inline constexpr int kMenuStageLeft = 200, kMenuStageTop = 330, kMenuStageWidth = 220, kMenuStageHeight = 250;

struct MenuScene {
    SgRef<SgNode> scene;
    SgRef<SgCamera> camera;
    SgRef<SgNode> spare;
};

MenuScene BuildMenuScene();
std::vector<uint8_t> MenuSceneBytes();
