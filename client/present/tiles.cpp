#include "client/present/tiles.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "client/core/error_log.h"
#include "client/level/level_textures.h"
#include "client/present/camera_set.h"
#include "client/present/scene_load.h"
#include "client/present/scene_walk.h"
#include "client/present/world_files.h"
#include "client/present/world_lighting.h"
#include "engine/core/sg_stream.h"
#include "engine/geometry/sg_tri_shape.h"

namespace present {

namespace {

constexpr double kCellEngine = 0.64;
constexpr double kHalfCellEngine = 0.32;

// The file name of a texture list entry: the last part of its first frame's path.
std::string TextureFileName(int slot) {
    const TextureEntry& e = g_textures.entries[slot];
    const int first = e.frames[0];
    if (first < 0 || first >= static_cast<int>(g_textures.images.size()))
        return {};
    const std::string& path = g_textures.images[static_cast<size_t>(first)].path;
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool EqualNoCase(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b)
        if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b)))
            return false;
    return *a == *b;
}

}  // namespace

WorldTextures& Textures() {
    // Never destroyed: engine objects must not be released during static destruction.
    static WorldTextures* textures = new WorldTextures;
    return *textures;
}

SgTextureProperty* TextureMap(int slot) {
    if (slot < 0 || slot >= kTextureSlots)
        return nullptr;
    return Textures().maps[slot].Get();
}

int LoadTextureMap(const char* levelDir, int slot, const char* name, int option) {
    if (!name || !levelDir || slot < 0 || slot >= kTextureSlots)
        return 0;
    char path[512];
    const bool bare = std::tolower(static_cast<unsigned char>(name[0])) == 'g';
    if (!bare)
        std::snprintf(path, sizeof path, "%s/%s", levelDir, name);
    const char* file = bare ? name : path;
    // An image is made from a name alone; only a file that reads gives a texture.
    if (!SgImage::FormatIfReadable(file))
        return 0;
    SgRef<SgImage> image = SgImage::CreateFromFile(file, bare || option ? 1 : 0, 7);
    if (!image)
        return 0;
    SgRef<SgTextureProperty> texture(new SgTextureProperty);
    texture->AppendImage(image.Get());
    texture->currentIndex = 0;
    Textures().maps[slot] = texture;
    return 1;
}

int SgxLoadTexturemaps(const char* levelDir, int textureOption) {
    StepTimer timer;
    Textures().wallTextureScale = 1.0f;
    for (int slot = 0; slot < kTextureSlots; ++slot) {
        if (!g_textures.entries[slot].used)
            continue;
        std::string name = TextureFileName(slot);
        if (name.empty())
            continue;
        for (char& c : name)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (size_t at = name.find("pcx"); at != std::string::npos)
            name.replace(at, 3, "bmp");
        const int number = g_textures.entries[slot].frames[0];
        ErrorLogWrite("Loading texture #%d (%s) from %s\n", number, name.c_str(), levelDir);
        if (LoadTextureMap(levelDir, slot, name.c_str(), textureOption))
            ErrorLogWrite("Texture #%d (%s) Loaded\n", number, name.c_str());
        else
            ErrorLogWrite("Sgx Error! Could Not Load texture #%d (%s) from %s\n", number, name.c_str(), levelDir);
    }
    ErrorLogWrite("Time to SgxLoadTexturemaps: %d msecs\n", timer.Msecs());
    return 1;
}

void LoadTileTemplate(int number, const char* levelDir) {
    WorldTextures& t = Textures();
    int free = 0;
    while (free < kTileTemplates && t.tiles[free])
        ++free;
    if (free == kTileTemplates || !levelDir)
        return;
    char path[512];
    std::snprintf(path, sizeof path, "%s/tiles/tile%d.sgf", levelDir, number);
    const std::string file = std::string(path).substr(std::string(path).find_last_of('/') + 1);

    SgSceneStream stream;
    const bool loaded = LoadSceneFromOwnDirectory(path, stream);
    if (!loaded || stream.TopLevelCount() == 0)
        return;
    auto* model = SgKindCast<SgNode>(stream.TopLevelObject(0));
    if (!model)
        return;
    SgRef<SgNode> holder(new SgNode);
    holder->InsertChild(model, true);
    holder->AssignName(file.c_str());
    PrecacheModelTextures(holder.Get());
    NormaliseTileMaterials(holder.Get());
    holder->UpdateAllStates();
    t.tiles[free] = holder;
}

int SgxLoadTileSGFTemplate(const char* levelDir) {
    StepTimer timer;
    for (int n = 1; n < kTileTemplates; ++n) {
        if (!TileModelExists(n, levelDir))
            continue;
        LoadTileTemplate(n, levelDir);
        ErrorLogWrite("SgxLoadTileSGFTemplate: Tile [%s//tiles//tile%d.sgf]\n", levelDir, n);
    }
    ErrorLogWrite("Time to SgxLoadTileSGFTemplate: %d msecs\n", timer.Msecs());
    return 1;
}

void NormaliseTileMaterials(SgAVObject* object) {
    SgMaterialProperty* standard = Cameras().material.Get();
    ForEachSceneObject(object, [standard](SgAVObject* o) {
        if (auto* material = static_cast<SgMaterialProperty*>(o->FindPropertyOfType(SG_MATERIAL_PROPERTY))) {
            material->ambient = SgRgb(0, 0, 0);
            material->specular = SgRgb(0, 0, 0);
            material->shininess = 0.0f;
            if (material->emissive == SgRgb(0, 0, 0))
                material->emissive = SgRgb(0.0625f, 0.0625f, 0.0625f);
            material->changed = 1;
            if (standard && material->IsEqualTo(standard))
                o->properties.Remove(material);
        }
        while (SgProperty* mode = o->FindPropertyOfType(SG_TEXTURE_MODE_PROPERTY))
            o->properties.Remove(mode);
    });
}

void PrecacheModelTextures(SgAVObject* object) {
    SgRender* renderer = Cameras().renderer.Get();
    if (!renderer)
        return;
    ForEachSceneObject(object, [renderer](SgAVObject* o) {
        for (SgProperty* property : o->properties) {
            if (property->PropertyType() != SG_TEXTURE_PROPERTY)
                continue;
            SgRef<SgImage> image = static_cast<SgTextureProperty*>(property)->CurrentImage();
            if (image)
                renderer->PrecacheTexture(image.Get(), 0, 0, static_cast<uint32_t>(-1));
        }
    });
}

void PlaceTileModel(SgNode* target, const int16_t* heights, int cellX, int cellY, int tileNumber, int,
                    int minHeight, int maxHeight) {
    if (!target || !heights || cellX < 0 || cellX >= 128 || cellY < 0 || cellY >= 128)
        return;
    char name[32];
    std::snprintf(name, sizeof name, "tile%d.sgf", tileNumber);
    const int h = heights[cellX * 128 + cellY];
    if (h < minHeight || h > maxHeight)
        return;
    for (const SgRef<SgNode>& tile : Textures().tiles) {
        if (!tile || !tile->GetName() || !EqualNoCase(tile->GetName(), name))
            continue;
        BakeTileGeometry(tile.Get(), target, static_cast<float>(kHalfCellEngine + kCellEngine * cellX),
                         static_cast<float>(kHalfCellEngine + kCellEngine * cellY), static_cast<float>(-h * 0.01));
        return;
    }
}

void BakeTileGeometry(SgAVObject* object, SgNode* target, float x, float y, float z) {
    if (!object || !target)
        return;
    if (auto* shape = SgKindCast<SgTriShape>(object)) {
        const uint16_t count = shape->VertexCount();
        SgWorldState* state = shape->CurrentState();
        if (!count || !shape->Vertices() || !shape->Indices() || !state)
            return;
        std::vector<SgVec3> points(count), normals(count);
        SgVec3 move = state->worldTranslation;
        move.x += x;
        move.y += y;
        move.z += z;
        SgMat3::TransformPointsAndNormals(count, shape->Vertices(), shape->Normals(), points.data(),
                                          shape->Normals() ? normals.data() : nullptr, state->worldRotation, move);
        // The baked shape always carries colours: the lighting below writes them.
        std::vector<SgRgba> colors(count, SgRgba(1, 1, 1, 1));
        if (shape->Colors())
            colors.assign(shape->Colors(), shape->Colors() + count);
        SgRef<SgTriShape> baked(new SgTriShape(count, points.data(), nullptr, shape->TriangleCount(),
                                               shape->Indices(), shape->TextureSet(0), colors.data()));
        std::vector<SgProperty*> source;
        for (SgProperty* property : shape->properties)
            source.push_back(property);
        baked->properties.PrependInOrder(source.data(), source.size());
        target->InsertChild(baked.Get(), true);
        baked->UpdateAllStates();
        ApplyStaticLightingToModel(baked.Get());
        return;
    }
    if (auto* node = SgKindCast<SgNode>(object))
        for (uint32_t i = 0; i < node->ChildCount(); ++i)
            BakeTileGeometry(node->ChildAt(i), target, x, y, z);
}

void ReleaseWorldTextures() {
    WorldTextures& t = Textures();
    for (auto& map : t.maps)
        map = nullptr;
    for (auto& tile : t.tiles)
        tile = nullptr;
}

}  // namespace present
