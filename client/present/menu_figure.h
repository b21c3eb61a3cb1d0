#pragma once
// The figure preview of the main menu and character creation: a small scene loaded from an sgf
// file, drawn through its own camera with the arena's renderer and scene root, with a clone of
// the chosen figure type (body, head and colour textures) under the scene's "Dmy_Figure" node,
// animated at five times real time.
//
// Not loaded -> loaded (LoadMenuFigure) -> active (ActivateMenuFigureScene: figures may be made)
// -> figure shown (CreateMenuFigure, again on every change) -> detached -> destroyed.

#include <cstdint>

#include "engine/core/sg_camera.h"
#include "engine/core/sg_node.h"

namespace present {

struct MenuFigureScene {
    SgRef<SgNode> holder;  // the loaded scene, under the scene root while it exists
    SgRef<SgCamera> view;
    SgRef<SgNode> figure;  // uniform scale 2.2, under "Dmy_Figure"; holds the clone
    float clock = 0.0f;    // seconds of preview animation
    int bodyTexture = 0, headTexture = 0;  // of the figure shown
    int32_t viewValues[3] = {};
};

MenuFigureScene& MenuFigure();

// The body and head texture numbers of a preview figure: on player types 201..203 three bodies
// per type in three colours (colour 0 shows the first, as colour 1) and four heads per type;
// other templates take body and head as they are. Body, head and colour outside 0..2, 0..3 and
// 0..3 read 0.
void MenuFigureTextureNumbers(int templateNumber, int body, int head, int colour, int& bodyTexture,
                              int& headTexture);

// Stores the three values the menu hands over; 0.
int SetMenuFigureView(int a, int b, int c);
// The file's first top-level node under a new holder, its camera as the view, a dump into
// "<base name>.log", the holder under the scene root and the level of detail forced to 1000.
// 0 when the file does not load.
int LoadMenuFigure(const char* path);
// The view draws the scene root on the display; figures may be made. 1.
int ActivateMenuFigureScene();
// Replaces the preview figure: a clone of the template with body 0..2, head 0..3 and colour 0..3
// (values outside read 0) on player types 201..203; no figure without the template.
void CreateMenuFigure(int templateNumber, int body, int head, int colour);
// Animates and renders one menu frame; elapsed in tenths of a millisecond, at most 10000 counted.
void AnimateMenuFigure(int elapsed);
void DrawMenuFigureScene();
// 1 when a figure node was there (now detached and released), else 0.
int DetachMenuFigure();
// 1 when a preview was loaded: the holder leaves the scene root, the view, holder and figure
// node are released, no scene is active and the level of detail is free again. 0 without one.
int DestroyMenuFigureScene();

}  // namespace present
