#include "client/present/figure_loader.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "client/core/config_file.h"
#include "client/core/error_log.h"
#include "client/present/figure_animation.h"
#include "client/present/scene_dump.h"
#include "client/present/scene_load.h"
#include "client/present/scene_walk.h"
#include "client/present/tiles.h"
#include "engine/animation/sg_3ds_animation_node.h"
#include "engine/core/sg_stream.h"
#include "engine/geometry/sg_switch_nodes.h"
#include "engine/geometry/sg_tri_shape.h"
#include "platform/fs/fs.h"

namespace present {

namespace {

constexpr int kMaxCollapsesPerNode = 10;

int Lower(char c) { return std::tolower(static_cast<unsigned char>(c)); }

// "Bip" as written: the bone nodes of the modelling tool's bipeds.
bool IsBoneName(const SgObject* object) {
    const char* name = object ? object->GetName() : nullptr;
    return name && std::strncmp(name, "Bip", 3) == 0;
}

bool IsDummyName(const SgObject* object) {
    const char* name = object->GetName();
    return name && std::strncmp(name, "Dum", 3) == 0;
}

int NonEmptyChildCount(const SgNode* node) {
    int count = 0;
    for (uint32_t i = 0; i < node->ChildCount(); ++i)
        count += node->ChildAt(i) != nullptr;
    return count;
}

SgAVObject* OnlyChild(const SgNode* node) {
    for (uint32_t i = 0; i < node->ChildCount(); ++i)
        if (SgAVObject* child = node->ChildAt(i))
            return child;
    return nullptr;
}

// Children matching the test leave the node.
template <class Test>
void RemoveChildrenWhere(SgNode* node, Test test) {
    for (uint32_t i = 0; i < node->ChildCount(); ++i)
        if (SgAVObject* child = node->ChildAt(i); child && test(child))
            node->RemoveChildAt(i);
}

// A keyed node that only places its one child hands its placement (and name) to it.
void CollapseKeyedNodes(SgNode* node) {
    int collapsed = 0;
    for (uint32_t i = 0; i < node->ChildCount() && collapsed < kMaxCollapsesPerNode; ++i) {
        auto* keyed = SgKindCast<Sg3dsAnimationNode>(node->ChildAt(i));
        if (!keyed || keyed->RotationKeyCount() >= 2 || keyed->PositionKeyCount() >= 2 ||
            NonEmptyChildCount(keyed) != 1)
            continue;
        SgRef<SgAVObject> child(OnlyChild(keyed));
        SgRef<SgAVObject> keep(keyed);
        keyed->RemoveChild(child.Get());
        const SgMat3& rk = keyed->localRotation;
        child->localTranslation = keyed->localTranslation + rk.Inverse().Transpose() * child->localTranslation;
        child->localRotation = rk;
        child->localScale = std::fabs(keyed->localScale);
        child->AssignName(keyed->GetName());
        node->SetChildAt(i, child.Get());
        ++collapsed;
    }
}

void CollapseBoneNodes(SgAVObject* object) {
    auto* node = SgKindCast<SgNode>(object);
    if (!node)
        return;
    if (IsBoneName(node)) {
        RemoveChildrenWhere(node, [](SgAVObject* c) { return SgKindCast<SgTriShape>(c) != nullptr; });
        RemoveChildrenWhere(node, [](SgAVObject* c) { return IsDummyName(c); });
    }
    CollapseKeyedNodes(node);
    for (uint32_t i = 0; i < node->ChildCount(); ++i)
        CollapseBoneNodes(node->ChildAt(i));
}

void PruneEmptyKeyedNodes(SgAVObject* object) {
    auto* node = SgKindCast<SgNode>(object);
    if (!node)
        return;
    for (uint32_t i = 0; i < node->ChildCount(); ++i)
        PruneEmptyKeyedNodes(node->ChildAt(i));
    RemoveChildrenWhere(node, [](SgAVObject* c) {
        auto* keyed = SgKindCast<Sg3dsAnimationNode>(c);
        return keyed && keyed->RotationKeyCount() == 0 && keyed->PositionKeyCount() == 0 &&
               NonEmptyChildCount(keyed) == 0;
    });
}

// The figure gives itself these (tints, textures), so the model's own would only fight them.
void StripFigureProperties(SgAVObject* object) {
    ForEachSceneObject(object, [](SgAVObject* o) {
        for (int type : {SG_VERTEX_COLOR_PROPERTY, SG_TEXTURE_MODE_PROPERTY, SG_WIREFRAME_PROPERTY,
                         SG_ZBUFFER_PROPERTY})
            while (SgProperty* p = o->FindPropertyOfType(type))
                o->properties.Remove(p);
    });
}

void BuildLodNodes(SgAVObject* object, float scale) {
    auto* node = SgKindCast<SgNode>(object);
    if (!node)
        return;
    if (IsBoneName(node)) {
        static const char* const kLevels[3] = {"h", "m", "l"};
        const float bounds[4] = {0.0f, 2.56f / scale * 100.0f, 5.12f / scale * 100.0f, 10000.0f / scale * 100.0f};
        SgRef<SgAVObject> found[3];
        for (int level = 0; level < 3; ++level)
            for (uint32_t i = 0; i < node->ChildCount() && !found[level]; ++i)
                if (SgKindCast<SgTriShape>(node->ChildAt(i)) && NameStartsWith(node->ChildAt(i), kLevels[level]))
                    found[level] = node->ChildAt(i);
        if (found[0] || found[1] || found[2]) {
            SgRef<SgLODNode> lod(new SgLODNode);
            uint32_t index = 0;
            for (int level = 0; level < 3; ++level) {
                if (!found[level])
                    continue;
                node->RemoveChild(found[level].Get());
                SgRef<SgNode> wrapper(new SgNode);
                wrapper->InsertChild(found[level].Get(), true);
                lod->InsertChild(wrapper.Get(), false);
                lod->SetChildRange(bounds[level], bounds[level + 1], index++);
            }
            node->InsertChild(lod.Get(), true);
        }
    }
    for (uint32_t i = 0; i < node->ChildCount(); ++i)
        BuildLodNodes(node->ChildAt(i), scale);
}

// Child indices dense again after removals. Taking the last slot each time empties the array
// (a removal anywhere else keeps its length).
void CompactChildArrays(SgAVObject* object) {
    auto* node = SgKindCast<SgNode>(object);
    if (!node)
        return;
    if (NonEmptyChildCount(node) != static_cast<int>(node->ChildCount())) {
        std::vector<SgRef<SgAVObject>> children;
        for (uint32_t i = 0; i < node->ChildCount(); ++i)
            if (node->ChildAt(i))
                children.emplace_back(node->ChildAt(i));
        for (uint32_t i = node->ChildCount(); i-- > 0;)
            node->RemoveChildAt(i);
        for (const SgRef<SgAVObject>& c : children)
            node->InsertChild(c.Get(), false);
    }
    for (uint32_t i = 0; i < node->ChildCount(); ++i)
        CompactChildArrays(node->ChildAt(i));
}

int FreeSlot(SgRef<SgTextureProperty>* table, int size, int n) {
    if (n < 0 || n >= size || !table[n])
        return 0;
    table[n] = nullptr;
    return 1;
}

// The dump of a template asked for by the "print" key.
void WriteAnimLog(int n, int number) {
    char name[32];
    std::snprintf(name, sizeof name, "anim%d.log", number);
    FILE* file = std::fopen(name, "w");
    DumpSceneGraph(TemplateNode(n), 0, file);
    if (file)
        std::fclose(file);
}

}  // namespace

int LoadModelTemplates(const char* directory, int offset) {
    if (!directory)
        return 1;
    char file[300];
    std::snprintf(file, sizeof file, "%s/%s.dat", directory, directory);
    int numsgfs = 0;
    GetConfigInt(file, "sgfdefs", "numsgfs", &numsgfs, 0, 0);
    ErrorLogWrite("Loading %d Sgfs from %s at offset=%d\n", numsgfs, directory, offset);
    // The block ends before its neighbour's templates (the sky dome after the sgfs).
    const long long wanted = static_cast<long long>(offset) + numsgfs;
    const int last = static_cast<int>(std::min<long long>(wanted, LastTemplateOfBlock(offset)));
    for (int n = offset; n <= last; ++n) {
        char section[32], filename[256], path[600];
        std::snprintf(section, sizeof section, "sgf%02d", n);
        if (!GetConfigString(file, section, "filename", filename, sizeof filename, "", 0))
            continue;
        std::snprintf(path, sizeof path, "%s/%s", directory, filename);
        ErrorLogWrite("Loading SGF #%d (%s)\n", n, path);
        if (!LoadFigureModel(n, path)) {
            ErrorLogWrite("Error Loading SGF #%d (%s)!\n", n, path);
            continue;
        }
        int value = 0;
        GetConfigInt(file, section, "optimize", &value, 0, 0);
        if (value) {
            ErrorLogWrite("Optimizing SGF #%d (%s)\n", n, path);
            OptimizeFigureModel(n);
        }
        GetConfigInt(file, section, "lod", &value, 0, 0);
        if (value) {
            ErrorLogWrite("LOD'ing SGF #%d (%s)\n", n, path);
            BuildFigureModelLod(n);
        }
        int frames = 1, fps = 30;
        GetConfigInt(file, section, "frames", &frames, 1, 0);
        GetConfigInt(file, section, "frames_per_second", &fps, 30, 0);
        // A count or rate of 0 or less would divide by zero in the animation's timing.
        if (frames <= 0)
            frames = 1;
        if (fps <= 0)
            fps = 30;

        char text[256];
        GetConfigString(file, section, "figure_animation", text, sizeof text, "", 0);
        const int a = Lower(text[0]), b = a ? Lower(text[1]) : 0;
        if (a == 'l') {
            ErrorLogWrite("Animating SGF #%d (%s) -- Loop\n", n, path);
            SetFigureModelAnimation(n, 0, frames, fps);
        } else if (a == 'c' && b == 'l') {
            ErrorLogWrite("Animating SGF #%d (%s) -- Clamp\n", n, path);
            SetFigureModelAnimation(n, 1, frames, fps);
        } else if (a == 'c' && b == 'a') {
            ErrorLogWrite("Animating SGF #%d (%s) -- Cast\n", n, path);
            SetFigureModelAnimation(n, 2, frames, fps);
        }

        GetConfigString(file, section, "type", text, sizeof text, "", 0);
        int kind = kFigurePlain;
        switch (Lower(text[0])) {
        case 'b':
            ErrorLogWrite("Typing SGF #%d (%s) -- Biped\n", n, path);
            kind = kFigureBiped;
            break;
        case 'a':
            ErrorLogWrite("Typing SGF #%d (%s) -- Animation\n", n, path);
            kind = kFigureAnimation;
            break;
        case 's':
            ErrorLogWrite("Typing SGF #%d (%s) -- Skinned\n", n, path);
            kind = kFigureSkinned;
            break;
        default:
            break;
        }
        SetFigureKind(TemplateNode(n), n, kind);

        int lightOffset = 0;
        GetConfigInt(file, section, "light_offset", &lightOffset, 0, 0);
        GetConfigString(file, section, "lighting", text, sizeof text, "", 0);
        if (Lower(text[0]) == 'l')
            ErrorLogWrite("Lighting SGF #%d (%s) LIT_PLUS_VERTEX: %d\n", n, path, lightOffset);
        else if (Lower(text[0]) == 'm')
            ErrorLogWrite("Lighting SGF #%d (%s) MATERIAL\n", n, path);

        GetConfigInt(file, section, "print", &value, 0, 0);
        if (value)
            WriteAnimLog(n, value);
    }
    return 1;
}

int LoadFigureModel(int n, const char* path) {
    SgSceneStream stream;
    return LoadFigureModelWith(n, path, stream);
}

int LoadFigureModelWith(int n, const char* path, SgSceneStream& stream) {
    if (n < 0 || n >= kTemplateSlots || !path)
        return 0;
    if (!LoadSceneFromOwnDirectory(path, stream))
        return 0;
    SgObject* first = stream.TopLevelCount() ? stream.TopLevelObject(0) : nullptr;
    auto* model = SgKindCast<SgNode>(first);
    if (first && !model)
        return 1;
    SgRef<SgNode> holder(new SgNode);
    holder->InsertChild(model, true);
    holder->AssignName(path);
    // Clones keep their names: the bone lookups find them by name.
    SgAVObject::cloneNaming = 1;
    PrecacheModelTextures(holder.Get());
    holder->UpdateAllStates();
    Figures().templates[n] = holder;
    return 1;
}

void SetFigureModelAnimation(int n, int mode, int frames, int fps) {
    SgNode* holder = TemplateNode(n);
    if (!holder)
        return;
    SgFigureExtraData* data = AttachFigureExtraData(holder);
    SetAnimationTiming(holder, mode != 0 ? 1 : 0, 0);
    BuildFigureBoneTable(holder, frames, mode);
    data->frameCount = frames;
    data->frameRate = fps;
}

void SetFigureKind(SgObject* holder, int n, int kind) {
    if (SgFigureExtraData* data = GetFigureExtraData(holder)) {
        data->kind = kind;
        data->modelNumber = n;
    }
}

void OptimizeFigureModel(int n) {
    SgNode* holder = TemplateNode(n);
    if (!holder)
        return;
    CollapseBoneNodes(holder);
    PruneEmptyKeyedNodes(holder);
    StripFigureProperties(holder);
}

void BuildFigureModelLod(int n) {
    SgNode* holder = TemplateNode(n);
    if (!holder)
        return;
    // A zero scale would make every range infinite; the holder is made at scale 1.
    const float s = holder->localScale != 0.0f ? holder->localScale : 1.0f;
    BuildLodNodes(holder, s);
    CompactChildArrays(holder);
}

int LoadFrameImages(int n, const char* directory, const char* name) {
    SgTextureProperty* texture = FindTextureProperty(TemplateNode(n));
    if (!texture || !directory || !name)
        return 0;
    int added = 0;
    for (int i = 0;; ++i) {
        char path[600];
        std::snprintf(path, sizeof path, "%s//%s%02d.bmp", directory, name, i);
        if (!platform::GameFileExists(path)) {
            std::snprintf(path, sizeof path, "%s//%s%02d.tga", directory, name, i);
            if (!platform::GameFileExists(path))
                break;
        }
        if (!SgImage::FormatIfReadable(path))
            break;
        SgRef<SgImage> image = SgImage::CreateFromFile(path, 0, SgImage::kAnyFormat);
        if (!image)
            break;
        texture->AppendImage(image.Get());
        ++added;
    }
    return added;
}

int FreeFigureModel(int n) {
    if (!TemplateNode(n))
        return 0;
    Figures().templates[n] = nullptr;
    return 1;
}

int FreeBodyTexture(int n) { return FreeSlot(Figures().bodyTextures, kBodyTextureSlots, n); }
int FreeHeadTexture(int n) { return FreeSlot(Figures().headTextures, kHeadTextureSlots, n); }
int FreeElementTexture(int n) { return FreeSlot(Figures().elementTextures, kElementTextureSlots, n); }

void FreeFigureResources() {
    for (int n = 0; n < kFixtureTemplates; ++n)
        FreeFigureModel(n);
    for (int n = 0; n < kBodyTextureSlots; ++n)
        FreeBodyTexture(n);
    for (int n = 0; n < kHeadTextureSlots; ++n)
        FreeHeadTexture(n);
    for (int n = 0; n < kElementTextureSlots; ++n)
        FreeElementTexture(n);
}

int CountSubtreeNodes(const SgObject* object, int start) {
    if (!object)
        return start;
    int count = start + 1;
    if (auto* node = SgKindCast<SgNode>(object))
        for (uint32_t i = 0; i < node->ChildCount(); ++i)
            if (node->ChildAt(i))
                count = CountSubtreeNodes(node->ChildAt(i), count);
    return count;
}

SgTextureProperty* FindTextureProperty(SgObject* object) {
    auto* scene = SgKindCast<SgAVObject>(object);
    if (!scene)
        return nullptr;
    if (SgProperty* p = scene->FindPropertyOfType(SG_TEXTURE_PROPERTY))
        return static_cast<SgTextureProperty*>(p);
    if (auto* node = SgKindCast<SgNode>(scene))
        for (uint32_t i = 0; i < node->ChildCount(); ++i)
            if (SgTextureProperty* found = FindTextureProperty(node->ChildAt(i)))
                return found;
    return nullptr;
}

bool NameStartsWith(const SgObject* object, const char* prefix) {
    const char* name = object && object->GetName() ? object->GetName() : "";
    for (; *prefix; ++prefix, ++name)
        if (!*name || Lower(*name) != Lower(*prefix))
            return false;
    return true;
}

}  // namespace present
