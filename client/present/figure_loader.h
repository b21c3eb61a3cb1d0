#pragma once
// The model templates: the start-up loader of the two definition files (sgfs\sgfs.dat at 0,
// figures\figures.dat at 200), the preparation of each template (optimize, levels of detail,
// animation, kind, dump), frame images of fixtures, and the release of the figure tables.
// Every log line goes to error.log without a prefix, flushed at once.

#include "client/present/figure_table.h"
#include "engine/core/sg_av_object.h"

class SgSceneStream;

namespace present {

// Loads every listed template of "<directory>/<directory>.dat" from offset on; always 1. The
// entries stop at the end of the offset's block (the sgfs block before the sky dome).
int LoadModelTemplates(const char* directory, int offset);
// Loads one sgf file, from its own directory so that its textures are found beside it, into a
// new holder node in template slot n. 0 when the file does not load (the slot keeps what it held)
// or n is outside the table.
int LoadFigureModel(int n, const char* path);
// The same through the caller's stream, which keeps every object the file made.
int LoadFigureModelWith(int n, const char* path, SgSceneStream& stream);
// Mode 0 loop, 1 clamp, 2 cast (arms only): the holder's figure record, timing and bone table.
void SetFigureModelAnimation(int n, int mode, int frames, int fps);
// Stores kind and template number in the holder's figure record, when it has one.
void SetFigureKind(SgObject* holder, int n, int kind);

// Folds the bone nodes of a template: bone meshes and dummies go, keyed nodes that only place one
// child hand their placement to it, empty keyed nodes go, and the render-state properties the
// figure sets itself are stripped.
void OptimizeFigureModel(int n);
// Bone nodes with "h", "m" and "l" shapes get a level-of-detail node choosing among them by
// distance (scaled by the holder's scale).
void BuildFigureModelLod(int n);
// Numbered frame images "<directory>//<name>NN.bmp" (else .tga) added to the first texture of
// template n; the number added.
int LoadFrameImages(int n, const char* directory, const char* name);

// 1 when the slot held something (and is now empty).
int FreeFigureModel(int n);
int FreeBodyTexture(int n);
int FreeHeadTexture(int n);
int FreeElementTexture(int n);
// Shutdown: templates 0..399 and every texture. The sky dome and the fixtures are the arena's.
void FreeFigureResources();

// Tree helpers.
// start + 1 for the object, plus the same count for every child.
int CountSubtreeNodes(const SgObject* object, int start);
// The first texture property of the subtree, depth first.
SgTextureProperty* FindTextureProperty(SgObject* object);
// Whether the object's name begins with prefix, ignoring case (a missing name is empty).
bool NameStartsWith(const SgObject* object, const char* prefix);

}  // namespace present
