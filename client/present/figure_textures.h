#pragma once
// Figure textures, tints and colours: the body, head and element texture tables loaded at
// start-up, textures put on a figure's two skinned meshes, the four render-state
// properties every figure gets for itself, and the tint, translucency and colour changes asked
// for by figure number.

#include "client/present/figure_table.h"

namespace present {

// Each load replaces what the slot held; a file that does not read leaves an empty property.
void LoadBodyTexture(const char* file, int slot);
void LoadHeadTexture(const char* file, int slot);
// Element textures carry flag byte 1.
void LoadElementTexture(const char* file, int slot);
// The 27 bodies, 12 heads and 8 elements.
void LoadFigureTextures();

// A figure's plain material: black ambient and specular, white diffuse, a faint emissive glow.
SgRef<SgMaterialProperty> NewFigureMaterial(float alpha);
// The four tint properties, new on the model and noted in the record.
void CreateFigureTintProperties(SgFigureExtraData* data, SgAVObject* model);

// The first Sg3dsSkin or SgClodSkin of the subtree, depth first, other than skip.
SgAVObject* FindSkinnedMesh(SgObject* object, const SgObject* skip);
// The mesh with more triangles takes the body, the one with fewer the head (a tie: the first
// found). 0 when the node does not hold two skinned meshes. An empty table entry (or a number
// outside the table) leaves the mesh without a texture.
int SetNodeBodyTexture(SgObject* node, int n);
int SetNodeHeadTexture(SgObject* node, int n);
int SetFigureBodyTexture(int figure, int n);
int SetFigureHeadTexture(int figure, int n);

// The figure's own material: colours 1, 2 and 4.
void SetFigureColor(int figure, int red, int green, int blue);
// Opacity below 100 tints (modes 1..3) or only fades the figure; 100 or more restores its look.
void SetFigureTint(int figure, int opacity, int mode, int flag, int red, int green, int blue);

}  // namespace present
