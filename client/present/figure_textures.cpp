#include "client/present/figure_textures.h"

#include <cstdio>

#include "engine/animation/sg_3ds_skin.h"
#include "engine/animation/sg_clod_skin.h"
#include "engine/core/sg_image.h"

namespace present {

namespace {

struct ElementFile {
    int slot;
    const char* file;
};
const ElementFile kElementFiles[] = {
    {1, "sgfs\\eheat.tga"},  {2, "sgfs\\ecold.tga"},   {3, "sgfs\\eair.tga"},  {4, "sgfs\\elight.tga"},
    {5, "sgfs\\emind.tga"},  {7, "sgfs\\ered.tga"},    {8, "sgfs\\eyellow.tga"}, {9, "sgfs\\eblue.tga"},
};

SgRef<SgTextureProperty> TextureFromFile(const char* file) {
    // Only a file that reads gives an image: an image made from a missing name would stay blank.
    if (!file || !SgImage::FormatIfReadable(file))
        return SgRef<SgTextureProperty>(new SgTextureProperty);
    return SgRef<SgTextureProperty>(new SgTextureProperty(file));
}

void LoadInto(SgRef<SgTextureProperty>* table, int size, const char* file, int slot, uint8_t flag) {
    if (slot < 0 || slot >= size)
        return;
    SgRef<SgTextureProperty> texture = TextureFromFile(file);
    texture->override = flag;
    table[slot] = texture;
}

float Channel(int value) { return static_cast<float>(value) / 255.0f; }

void RemoveTexture(SgAVObject* object) {
    while (SgProperty* p = object->FindPropertyOfType(SG_TEXTURE_PROPERTY))
        object->properties.Remove(p);
}

uint32_t TriangleCountOf(const SgAVObject* mesh) {
    if (auto* clod = SgKindCast<SgClod>(mesh))
        return clod->FullTriangleCount();
    if (auto* shape = SgKindCast<SgTriBasedGeom>(mesh))
        return shape->TriangleCount();
    return 0;
}

// The body (more triangles) or the head (fewer) of the node's first two skinned meshes.
SgAVObject* ChooseMesh(SgObject* node, bool body) {
    SgAVObject* first = FindSkinnedMesh(node, nullptr);
    SgAVObject* second = first ? FindSkinnedMesh(node, first) : nullptr;
    if (!second)
        return nullptr;
    const uint32_t a = TriangleCountOf(first), b = TriangleCountOf(second);
    if (a == b)
        return first;
    return (a > b) == body ? first : second;
}

int PutMeshTexture(SgObject* node, bool body, SgTextureProperty* texture) {
    SgAVObject* mesh = ChooseMesh(node, body);
    if (!mesh)
        return 0;
    RemoveTexture(mesh);
    mesh->AddRenderProperty(texture);
    return 1;
}

void ShowChild(SgNode* node, uint32_t index, bool show) {
    if (node && index < node->ChildCount() && node->ChildAt(index))
        node->ChildAt(index)->SetHidden(show ? 0 : 1);
}

void ShowGroundMarks(SgFigureExtraData* data, bool show) {
    ShowChild(data->groundMarker, 0, show);
    ShowChild(data->groundMarker, 1, show);
}

}  // namespace

void LoadBodyTexture(const char* file, int slot) {
    LoadInto(Figures().bodyTextures, kBodyTextureSlots, file, slot, 0);
}

void LoadHeadTexture(const char* file, int slot) {
    LoadInto(Figures().headTextures, kHeadTextureSlots, file, slot, 0);
}

void LoadElementTexture(const char* file, int slot) {
    LoadInto(Figures().elementTextures, kElementTextureSlots, file, slot, 1);
}

void LoadFigureTextures() {
    char file[64];
    for (int type = 1; type <= 3; ++type) {
        for (int body = 1; body <= 3; ++body)
            for (int colour = 0; colour < 3; ++colour) {
                std::snprintf(file, sizeof file, "figures\\f%dbody%d%c.bmp", type, body, "ryb"[colour]);
                LoadBodyTexture(file, 10 * (type - 1) + 3 * (body - 1) + colour);
            }
        for (int head = 1; head <= 4; ++head) {
            std::snprintf(file, sizeof file, "figures\\f%dhead%d.bmp", type, head);
            LoadHeadTexture(file, 4 * (type - 1) + (head - 1));
        }
    }
    for (const ElementFile& e : kElementFiles)
        LoadElementTexture(e.file, e.slot);
}

SgRef<SgMaterialProperty> NewFigureMaterial(float alpha) {
    SgRef<SgMaterialProperty> material(new SgMaterialProperty);
    material->ambient = SgRgb(0, 0, 0);
    material->diffuse = SgRgb(1, 1, 1);
    material->specular = SgRgb(0, 0, 0);
    material->emissive = SgRgb(0.125f, 0.125f, 0.125f);
    material->alpha = alpha;
    material->changed = 1;
    return material;
}

void CreateFigureTintProperties(SgFigureExtraData* data, SgAVObject* model) {
    if (!data || !model)
        return;
    SgRef<SgAlphaProperty> alpha(new SgAlphaProperty);
    alpha->blendOn = 0;
    alpha->sourceBlend = 6;
    alpha->destinationBlend = 7;
    SgRef<SgMaterialProperty> material = NewFigureMaterial(1.0f);
    SgRef<SgVertexColorProperty> vertexColor(new SgVertexColorProperty);
    vertexColor->mode = 6;
    SgRef<SgZBufferProperty> zBuffer(new SgZBufferProperty);
    zBuffer->depthTest = 1;
    zBuffer->depthWrite = 1;
    model->AddRenderProperty(alpha.Get());
    model->AddRenderProperty(material.Get());
    model->AddRenderProperty(vertexColor.Get());
    model->AddRenderProperty(zBuffer.Get());
    data->alphaProperty = alpha.Get();
    data->materialProperty = material.Get();
    data->vertexColorProperty = vertexColor.Get();
    data->zBufferProperty = zBuffer.Get();
}

SgAVObject* FindSkinnedMesh(SgObject* object, const SgObject* skip) {
    if (!object)
        return nullptr;
    if (object != skip && (SgKindCast<Sg3dsSkin>(object) || SgKindCast<SgClodSkin>(object)))
        return static_cast<SgAVObject*>(object);
    if (auto* node = SgKindCast<SgNode>(object))
        for (uint32_t i = 0; i < node->ChildCount(); ++i)
            if (SgAVObject* found = FindSkinnedMesh(node->ChildAt(i), skip))
                return found;
    return nullptr;
}

int SetNodeBodyTexture(SgObject* node, int n) { return PutMeshTexture(node, true, BodyTexture(n)); }
int SetNodeHeadTexture(SgObject* node, int n) { return PutMeshTexture(node, false, HeadTexture(n)); }

int SetFigureBodyTexture(int figure, int n) {
    SgNode* node = FigureNode(figure);
    return node ? SetNodeBodyTexture(node, n) : 0;
}

int SetFigureHeadTexture(int figure, int n) {
    SgNode* node = FigureNode(figure);
    return node ? SetNodeHeadTexture(node, n) : 0;
}

void SetFigureColor(int figure, int red, int green, int blue) {
    SgFigureExtraData* data = FigureData(figure);
    if (!data || !data->materialProperty)
        return;
    SgMaterialProperty* m = data->materialProperty;
    const SgRgb c(Channel(red), Channel(green), Channel(blue));
    m->ambient = c;
    m->diffuse = c;
    m->emissive = c;
    m->changed = 1;
    m->override = 1;
}

void SetFigureTint(int figure, int opacity, int mode, int flag, int red, int green, int blue) {
    SgNode* node = FigureNode(figure);
    SgFigureExtraData* data = GetFigureExtraData(node);
    if (!data || !data->alphaProperty || !data->materialProperty || !data->vertexColorProperty ||
        !data->zBufferProperty)
        return;
    SgAlphaProperty* alpha = data->alphaProperty;
    SgMaterialProperty* material = data->materialProperty;
    SgZBufferProperty* zBuffer = data->zBufferProperty;
    SgVertexColorProperty* vertexColor = data->vertexColorProperty;
    if (opacity < 100) {
        const SgRgb c(Channel(red), Channel(green), Channel(blue)), black(0, 0, 0);
        alpha->sourceBlend = mode == 2 ? 1 : 6;
        alpha->destinationBlend = mode == 1 ? 0 : 7;
        material->diffuse = mode == 1 ? black : c;
        material->emissive = mode == 1 ? c : black;
        if (mode == 1) {
            ShowGroundMarks(data, false);
            ShowChild(data->billboard, 0, true);
        } else if (mode == 2) {
            ShowGroundMarks(data, true);
            ShowChild(data->billboard, 0, flag != 0);
        } else if (mode == 3) {
            ShowGroundMarks(data, false);
            ShowChild(data->billboard, 0, flag != 0);
        }
        alpha->blendOn = 1;
        alpha->override = 1;
        material->changed = 1;
        material->override = 1;
        material->alpha = static_cast<float>(opacity * 0.01);
        zBuffer->depthWrite = 0;
        zBuffer->override = 1;
        vertexColor->mode = 4;
        vertexColor->override = 1;
    } else {
        alpha->blendOn = 0;
        alpha->override = 0;
        material->diffuse = SgRgb(1, 1, 1);
        material->emissive = SgRgb(0, 0, 0);
        material->alpha = 1.0f;
        material->changed = 1;
        material->override = 0;
        zBuffer->depthWrite = 1;
        zBuffer->override = 0;
        vertexColor->mode = 6;
        vertexColor->override = 1;
        ShowGroundMarks(data, true);
        ShowChild(data->billboard, 0, true);
    }
    node->UpdateAllStates();
}

}  // namespace present
