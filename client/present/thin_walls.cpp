#include "client/present/thin_walls.h"

#include <cmath>
#include <cstdint>

#include "client/present/quads.h"
#include "client/present/rooms.h"
#include "client/present/tiles.h"
#include "client/present/world_lighting.h"

namespace present {

namespace {

bool InTable(int index) { return index >= 1 && index < kThinModels; }

void Corners(SgVec3 v[4], int x1, int y1, int base, int x2, int y2, int top) {
    v[0] = SgVec3(x1 * 0.01f, y1 * 0.01f, -base * 0.01f);
    v[1] = SgVec3(x2 * 0.01f, y2 * 0.01f, -base * 0.01f);
    v[2] = SgVec3(x1 * 0.01f, y1 * 0.01f, -top * 0.01f);
    v[3] = SgVec3(x2 * 0.01f, y2 * 0.01f, -top * 0.01f);
}

// The corners in the order that turns the strip's face the other way: V1, V0, V3, V2.
constexpr int kBackOrder[4] = {1, 0, 3, 2};

// Each corner's colour from the preburned lights for a face with this normal.
void LightCorners(const SgVec3 v[4], const SgVec3& normal, SgRgba colors[4]) {
    const float n[3] = {normal.x, normal.y, normal.z};
    for (int k = 0; k < 4; ++k) {
        const float p[3] = {v[k].x, v[k].y, v[k].z};
        float c[4];
        LightVertexFromPointLights(p, n, c);
        colors[k] = SgRgba(c[0], c[1], c[2], c[3]);
    }
}

// The bound and planes follow corners rewritten in place.
void Refit(SgTriStrip* strip) {
    strip->ModelBound().FitToPoints(4, strip->Vertices());
    strip->ComputePlanes();
}

SgAVObject* ParentOf(SgAVObject* object) {
    SgWorldState* state = object ? object->CurrentState() : nullptr;
    return state ? state->key : nullptr;
}

}  // namespace

ThinModelTables& ThinModels() {
    // Never destroyed: engine objects must not be released during static destruction.
    static ThinModelTables* tables = new ThinModelTables;
    return *tables;
}

int PlaceThinWalls(int x1, int y1, int base, int x2, int y2, int top, int texture, int transparent, int mirrored) {
    if (!IsSceneActive())
        return 0;
    ThinModelTables& t = ThinModels();
    int index = 1;
    while (index < kThinModels && t.holders[index])
        ++index;
    if (index == kThinModels)
        return 0;
    SgRef<SgNode> holder(new SgNode);
    t.holders[index] = holder;

    SgVec3 v[4];
    Corners(v, x1, y1, base, x2, y2, top);
    const SgVec3 normal = FaceNormal(v[0], v[1], v[2]);
    SgRgba colors[4];
    LightCorners(v, normal, colors);
    SgVec3 uv[4] = {SgVec3(0, 1, 0), SgVec3(1, 1, 0), SgVec3(0, 0, 0), SgVec3(1, 0, 0)};
    if (SgTextureProperty* map = TextureMap(texture)) {
        holder->properties.Prepend(map);
        SgRef<SgImage> image = map->CurrentImage();
        if (image && image->width > 0 && image->height > 0) {
            const float scale = Textures().wallTextureScale;
            const int64_t dx = int64_t{x2} - x1, dy = int64_t{y2} - y1;
            const int64_t length = static_cast<int64_t>(std::sqrt(static_cast<double>(dx * dx + dy * dy)));
            const float a = static_cast<float>(top) / static_cast<float>(image->height) * scale;
            const float b = static_cast<float>(length) / static_cast<float>(image->width) * scale;
            uv[0] = SgVec3(1 - b, 1, 0);
            uv[1] = SgVec3(1, 1, 0);
            uv[2] = SgVec3(1 - b, 1 - a, 0);
            uv[3] = SgVec3(1, 1 - a, 0);
            if (mirrored) {
                uv[0] = SgVec3(1, 1, 0);
                uv[1] = SgVec3(1 - b, 1, 0);
                uv[2] = SgVec3(1, 1 - a, 0);
                uv[3] = SgVec3(1 - b, 1 - a, 0);
            }
        }
    }
    SgRef<SgTriStrip> model(new SgTriStrip(4, v, nullptr, uv, colors));
    t.models[index] = model;
    holder->InsertChild(model.Get(), true);
    SgVec3 backV[4], backUv[4];
    for (int k = 0; k < 4; ++k) {
        backV[k] = v[kBackOrder[k]];
        backUv[k] = uv[kBackOrder[k]];
    }
    SgRgba backColors[4];
    LightCorners(backV, SgVec3(-normal.x, -normal.y, -normal.z), backColors);
    SgRef<SgTriStrip> back(new SgTriStrip(4, backV, nullptr, backUv, backColors));
    t.backs[index] = back;
    holder->InsertChild(back.Get(), true);
    if (transparent) {
        SgRef<SgTransparentProperty> see(new SgTransparentProperty);
        see->transparentOn = 1;
        holder->properties.Prepend(see.Get());
    }
    SgNode* room = FindRoomAtPoint(v[0].x, v[0].y, v[0].z, nullptr);
    if (room) {
        room->InsertChild(holder.Get(), true);
        // The node it hangs under may have been empty: its bound must take the wall in, or the
        // draw culls it.
        room->UpdateAllStates();
    } else {
        holder->UpdateAllStates();
    }
    return index;
}

void SetThinModelCorners(int index, int x1, int y1, int base, int x2, int y2, int top) {
    if (!InTable(index))
        return;
    ThinModelTables& t = ThinModels();
    SgNode* holder = t.holders[index].Get();
    SgTriStrip* model = t.models[index].Get();
    if (!holder || !model || model->VertexCount() < 4 || !model->Vertices())
        return;
    Corners(model->Vertices(), x1, y1, base, x2, y2, top);
    Refit(model);
    if (SgTriStrip* back = t.backs[index].Get(); back && back->VertexCount() >= 4 && back->Vertices()) {
        for (int k = 0; k < 4; ++k)
            back->Vertices()[k] = model->Vertices()[kBackOrder[k]];
        Refit(back);
    }
    holder->UpdateAllStates();
}

void RemoveThinModel(int index) {
    if (!InTable(index))
        return;
    ThinModelTables& t = ThinModels();
    if (!t.holders[index])
        return;
    SgNode* holder = t.holders[index].Get();
    if (auto* parent = SgKindCast<SgNode>(ParentOf(holder)))
        parent->RemoveChild(holder);
    for (SgRef<SgTriStrip>* strip : {&t.models[index], &t.backs[index]}) {
        if (*strip)
            holder->RemoveChild(strip->Get());
        *strip = nullptr;
    }
    t.holders[index] = nullptr;
}

}  // namespace present
