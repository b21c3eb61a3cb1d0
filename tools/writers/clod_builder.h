#pragma once
// Builds continuous level-of-detail meshes (SgClod) from indexed meshes. Edges are collapsed
// shortest first (ties by vertex number, so output is reproducible); a collapse that would fold a
// triangle over, pinch the surface, tear a texture or colour seam, or move a border vertex off its
// border is refused. Reversed, the collapses are the vertex splits (steps) the engine replays;
// the result holds the base mesh, the steps with their corner flags and seam copies, and every
// mesh vertex's attributes in the order the engine's set-up makes them.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/animation/sg_clod.h"
#include "engine/animation/sg_clod_skin.h"
#include "engine/core/sg_math.h"

struct ClodInputMesh {
    std::vector<SgVec3> positions;       // per vertex
    std::vector<uint16_t> triangles;     // 3 vertex numbers per triangle, counter-clockwise
    std::vector<SgVec3> cornerTexture;   // per corner, or empty
    std::vector<SgRgba> cornerColors;    // per corner, or empty
};

struct ClodBuildOptions {
    // Collapsing stops at this many triangles (or when no edge may collapse).
    uint32_t minTriangles = 2;
};

struct ClodBuilt {
    std::vector<SgVec3> positions;       // per mesh vertex
    std::vector<SgVec3> textureCoords;   // per mesh vertex, or empty
    std::vector<SgRgba> colors;          // per mesh vertex, or empty
    uint16_t fullTriangleCount = 0;
    uint16_t nextId = 0;
    std::vector<uint16_t> baseIds;       // per base mesh vertex
    std::vector<uint16_t> baseCorners;   // 3 per base triangle
    std::vector<uint16_t> baseAdjacency; // 3 per base triangle
    std::vector<SgClodStep> steps;

    // The arrays as the mesh takes them (valid while this object lives).
    SgClodSource Source() const;
};

// False (with a reason) for input that is not an oriented manifold mesh, or that does not fit
// 16-bit counts.
bool BuildClod(const ClodInputMesh& input, const ClodBuildOptions& options, ClodBuilt& out, std::string* error);

// A mesh set up from the built data; null when it does not build.
SgRef<SgClod> MakeClod(const ClodBuilt& built);
// A skinned mesh named name from the input, with vertex normals, each mesh vertex following the
// influences the callback gives for its position; null when it does not build.
SgRef<SgClodSkin> MakeClodSkin(const ClodInputMesh& input, const char* name,
                               const std::function<std::vector<SgSkinInfluence>(const SgVec3&)>& influences);

// Sample meshes: a flat grid of columns x rows quads in the xy plane (texture coordinates
// across it), and an open tube along z with `around` quads round and `along` quads long whose
// texture wraps once, so one column of vertices carries a seam (u = 0 and u = 1).
ClodInputMesh GridMesh(uint32_t columns, uint32_t rows, float size);
ClodInputMesh TubeMesh(uint32_t around, uint32_t along, float radius, float length);
