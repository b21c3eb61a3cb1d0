#include "tools/writers/room_model.h"

#include <string>

#include "engine/core/sg_texture_property.h"
#include "tools/writers/sgf_bytes.h"
#include "tools/writers/world_textures.h"

namespace {

// A square of side 2 half in the plane x = x0, facing -x, centred at (x0, y, z).
SgRef<SgTriShape> Marker(float x0, float y, float z, float half, const SgRgba& color) {
    const SgVec3 v[4] = {{x0, y - half, z - half}, {x0, y - half, z + half}, {x0, y + half, z - half},
                         {x0, y + half, z + half}};
    const SgVec3 n[4] = {{-1, 0, 0}, {-1, 0, 0}, {-1, 0, 0}, {-1, 0, 0}};
    const SgVec3 uv[4] = {{1, 1, 0}, {0, 1, 0}, {1, 0, 0}, {0, 0, 0}};
    const SgRgba c[4] = {color, color, color, color};
    const uint16_t indices[6] = {0, 2, 1, 1, 2, 3};
    return SgRef<SgTriShape>(new SgTriShape(4, v, n, 2, indices, uv, c));
}

// A 8 x 6 panel on the north wall of room 0 (z = 4.9), facing -z: stone with leaded glass laid
// over it by the multi-texture property, the glass in its own coordinate set.
SgRef<SgTriShape> Mural() {
    const SgVec3 v[4] = {{-4, -3, 4.9f}, {4, -3, 4.9f}, {-4, 3, 4.9f}, {4, 3, 4.9f}};
    const SgVec3 n[4] = {{0, 0, -1}, {0, 0, -1}, {0, 0, -1}, {0, 0, -1}};
    const SgVec3 stone[4] = {{2, 1.5f, 0}, {0, 1.5f, 0}, {2, 0, 0}, {0, 0, 0}};
    const SgVec3 glass[4] = {{1, 1, 0}, {0, 1, 0}, {1, 0, 0}, {0, 0, 0}};
    const SgRgba white = {1, 1, 1, 1};
    const SgRgba c[4] = {white, white, white, white};
    // Wound like the markers, so its planes face into the room.
    const uint16_t indices[6] = {0, 2, 1, 1, 2, 3};
    SgRef<SgTriShape> mural(new SgTriShape(4, v, n, 2, indices, stone, c));
    mural->AddTextureSet(glass);
    return mural;
}

// An image named by its file beside the level; the texture manager picks its format.
SgRef<SgImage> FileImage(const char* name) {
    SgRef<SgImage> image(new SgImage);
    image->SetFileName(name);
    image->formatKind = SgImage::kAnyFormat;
    return image;
}

SgRef<SgTextureProperty> Texture(const char* file) {
    SgRef<SgTextureProperty> texture(new SgTextureProperty);
    texture->AppendImage(FileImage(file).Get());
    texture->currentIndex = 0;
    return texture;
}

// The floor of room i at y = -5, facing up.
SgRef<SgTriShape> Floor(int i) {
    float x0 = 10.0f * float(i) - 5.0f, x1 = x0 + 10.0f;
    const SgVec3 v[4] = {{x0, -5, -5}, {x1, -5, -5}, {x0, -5, 5}, {x1, -5, 5}};
    const SgVec3 n[4] = {{0, 1, 0}, {0, 1, 0}, {0, 1, 0}, {0, 1, 0}};
    const SgVec3 uv[4] = {{0, 0, 0}, {2, 0, 0}, {0, 2, 0}, {2, 2, 0}};
    float shade = 0.4f + 0.2f * float(i);
    const SgRgba c = {shade, shade, 0.5f, 1};
    const SgRgba colors[4] = {c, c, c, c};
    const uint16_t indices[6] = {0, 2, 1, 1, 2, 3};
    return SgRef<SgTriShape>(new SgTriShape(4, v, n, 2, indices, uv, colors));
}

SgRef<SgWall> Wall(const SgVec3& normal, float constant) {
    SgRef<SgWall> wall(new SgWall);
    wall->modelPlane = SgPlaneEq(normal, constant);
    return wall;
}

std::string Numbered(const char* stem, int i) { return stem + std::to_string(i); }

}  // namespace

void OpeningCorners(float x0, float halfHeight, float halfWidth, bool towardPlusX, SgVec3 out[4]) {
    const SgVec3 corners[4] = {
        {x0, -halfHeight, -halfWidth}, {x0, -halfHeight, halfWidth}, {x0, halfHeight, halfWidth},
        {x0, halfHeight, -halfWidth}};
    for (int k = 0; k < 4; ++k)
        out[k] = corners[towardPlusX ? k : 3 - k];
}

RoomModel BuildRoomModel() {
    RoomModel m;
    m.group = new SgRoomGroup;
    m.group->AssignName("rooms");
    // Bilinear, mipmapped, modulated by the vertex colours.
    SgRef<SgTextureModeProperty> mode(new SgTextureModeProperty);
    mode->applyMode = 3;
    mode->filterMode = 5;
    m.group->AddRenderProperty(mode.Get());
    // Unlit: the level's own vertex colours.
    SgRef<SgVertexColorProperty> colours(new SgVertexColorProperty);
    colours->mode = 1;
    m.group->AddRenderProperty(colours.Get());
    SgRef<SgTextureProperty> floorTexture = Texture(kFloorTexture);
    for (int i = 0; i < RoomModel::kRooms; ++i) {
        SgRoom* room = new SgRoom;
        m.rooms[i] = room;
        room->AssignName(Numbered("room", i).c_str());
        float west = 10.0f * float(i) - 5.0f, east = west + 10.0f;
        // In front of every wall is inside.
        room->walls.Append(Wall({1, 0, 0}, west).Get());
        room->walls.Append(Wall({-1, 0, 0}, -east).Get());
        room->walls.Append(Wall({0, 1, 0}, -5).Get());
        room->walls.Append(Wall({0, -1, 0}, -5).Get());
        room->walls.Append(Wall({0, 0, 1}, -5).Get());
        room->walls.Append(Wall({0, 0, -1}, -5).Get());
        m.floors[i] = Floor(i);
        m.floors[i]->AssignName(Numbered("floor", i).c_str());
        m.floors[i]->AddRenderProperty(floorTexture.Get());
        m.markers[i] = Marker(10.0f * float(i) + 3.0f, 0, 0, 0.5f, {1, 0.3f * float(i), 0.2f, 1});
        m.markers[i]->AssignName(Numbered("marker", i).c_str());
        room->contents.Append(m.floors[i].Get());
        room->contents.Append(m.markers[i].Get());
    }
    for (int i = 0; i + 1 < RoomModel::kRooms; ++i) {
        SgVec3 corners[4];
        float x0 = 10.0f * float(i) + 5.0f;
        OpeningCorners(x0, RoomModel::kHalfOpeningHeight, RoomModel::kHalfOpeningWidth, true, corners);
        m.forward[i] = new SgPortal(4, corners, m.rooms[i + 1].Get(), 1);
        m.forward[i]->AssignName(Numbered("forward", i).c_str());
        OpeningCorners(x0, RoomModel::kHalfOpeningHeight, RoomModel::kHalfOpeningWidth, false, corners);
        m.backward[i] = new SgPortal(4, corners, m.rooms[i].Get(), 1);
        m.backward[i]->AssignName(Numbered("backward", i).c_str());
        m.rooms[i]->outgoingPortals.Append(m.forward[i].Get());
        m.rooms[i + 1]->incomingPortals.Append(m.forward[i].Get());
        m.rooms[i + 1]->outgoingPortals.Append(m.backward[i].Get());
        m.rooms[i]->incomingPortals.Append(m.backward[i].Get());
    }
    // The other markers show the two odd shapes: a long banner and a plaque no device takes.
    m.markers[1]->AddRenderProperty(Texture(kBannerTexture).Get());
    m.markers[2]->AddRenderProperty(Texture(kPlaqueTexture).Get());
    m.mural = Mural();
    m.mural->AssignName("mural");
    m.mural->AddRenderProperty(Texture(kStoneTexture).Get());
    SgRef<SgMultiTextureProperty> glass(new SgMultiTextureProperty);
    glass->textures.SetAtGrow(0, FileImage(kGlassTexture));
    glass->blendModes.Append(0);
    glass->addressingModes.Append(3);
    glass->filterModes.Append(5);
    m.mural->AddRenderProperty(glass.Get());
    m.rooms[0]->contents.Append(m.mural.Get());
    m.outside = Marker(-12, 0, 0, 3, {0.2f, 0.8f, 0.3f, 1});
    m.outside->AssignName("outside");
    m.group->outside = m.outside.Get();
    // Added last first: the chain then holds room 0, 1, 2.
    for (int i = RoomModel::kRooms; i-- > 0;)
        m.group->AddRoom(m.rooms[i].Get());
    for (SgRef<SgRoom>& room : m.rooms)
        room->RebuildChildren();
    m.group->RebuildChildren();
    m.group->UpdateAllStates();
    return m;
}

std::vector<uint8_t> RoomModelBytes() { return SgfBytesOf(BuildRoomModel().group.Get()); }
