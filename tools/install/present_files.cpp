// What the arena presentation reads from the sample level's directory: portal.dat (rooms matching
// the level, the two corridors numbered from 100, portals along x, y and horizontal, one to the
// sky), BMP copies of the listed textures (lower case; the one whose name starts with g at the
// installation's root, where such names are read), and the tile files: a tile model with its
// texture beside it and a .nil marker (the stair tile has no .nul marker: it is drawn as its treads,
// which it is walked through as a ramp). sample16 gets the same textures and no portal.dat: it is built in
// blocks. The keep's variants get what the sample keep gets, in their own colours. The hall level
// (as a directory and a pack) with its portal.dat and BMP textures.
#include <cstdio>
#include <string>
#include <vector>

#include "client/core/pcx_image.h"
#include "common/byte_reader.h"
#include "engine/core/sg_node.h"
#include "engine/core/sg_stream.h"
#include "engine/core/sg_texture_property.h"
#include "engine/geometry/sg_tri_shape.h"
#include "tools/install/install_step.h"
#include "tools/writers/bmp_writer.h"
#include "tools/writers/hall_level.h"
#include "tools/writers/model_parts.h"
#include "tools/writers/pack_writer.h"
#include "tools/writers/sample_level.h"

namespace {

// Sections match by prefix: room 10 has a section of its own before [room100], or it would read
// that one. A portal's first room lies on its low side: lower x or y, or above a horizontal one
// (heights grow as the scene's z falls), so the way up to the sky names the outside room first.
const char kPortalDat[] =
    "[main]\n"
    "portals=on\n"
    "overlap_rooms=no\n"
    "numrooms=102\n"
    "numportals=7\n"
    "[room00]\nminx=10\nmaxx=19\nminy=10\nmaxy=19\nminz=0\nmaxz=256\n"
    "[room01]\nminx=20\nmaxx=29\nminy=10\nmaxy=19\nminz=0\nmaxz=512\n"
    "[room02]\nminx=10\nmaxx=19\nminy=20\nmaxy=29\nminz=0\nmaxz=256\n"
    "[room10]\nminx=20\nmaxx=29\nminy=20\nmaxy=29\nminz=0\nmaxz=320\n"
    "[room100]\nminx=30\nmaxx=34\nminy=12\nmaxy=12\nminz=77\nmaxz=125\n"
    "[room101]\nminx=30\nmaxx=34\nminy=16\nmaxy=16\nminz=77\nmaxz=97\n"
    "[portal00]\nx1=20\ny1=10\nz1=0\nroom1=0\nroom2=1\ndir=y\nz2=256\nlen=10\n"
    "[portal01]\nx1=10\ny1=20\nz1=0\nroom1=0\nroom2=2\ndir=x\nz2=256\nlen=10\n"
    "[portal02]\nx1=20\ny1=20\nz1=0\nroom1=1\nroom2=10\ndir=x\nz2=256\nlen=10\n"
    "[portal03]\nx1=20\ny1=20\nz1=0\nroom1=2\nroom2=10\ndir=y\nz2=256\nlen=10\n"
    "[portal04]\nx1=16\ny1=26\nz1=256\nroom1=s\nroom2=2\ndir=z\nx2=18\ny2=28\n"
    "[portal05]\nx1=30\ny1=12\nz1=77\nroom1=1\nroom2=100\ndir=y\nz2=125\nlen=1\n"
    "[portal06]\nx1=30\ny1=16\nz1=77\nroom1=1\nroom2=101\ndir=y\nz2=97\nlen=1\n";


// The PCX picture as an 8-bit BMP with the same palette.
bool PcxAsBmp(const std::vector<uint8_t>& pcxBytes, std::vector<uint8_t>& bmpBytes) {
    ByteReader reader(pcxBytes.data(), pcxBytes.size());
    PcxImage pcx;
    if (pcx.ReadPcx(reader, PCX_HEAP, 1) != 0 || !pcx.Pixels8() || !pcx.palette)
        return false;
    BmpImage bmp;
    bmp.width = pcx.PcxWidth();
    bmp.height = pcx.PcxHeight();
    bmp.bitsPerPixel = 8;
    bmp.pixels.assign(pcx.Pixels8(), pcx.Pixels8() + static_cast<size_t>(bmp.width) * bmp.height);
    bmp.palette.assign(pcx.palette.get(), pcx.palette.get() + 768);
    bmpBytes = BuildBmp(bmp);
    return !bmpBytes.empty();
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    for (char& c : name)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const size_t dot = name.rfind('.');
    return (dot == std::string::npos ? name : name.substr(0, dot)) + ".bmp";
}

// A low four-sided bump standing on the cell, textured by the picture beside it (seen from above,
// its picture covers it once). Each side has corners of its own: the lighting gives a vertex the
// mean normal of its triangles, and shared corners would shade the bump as a smooth dome.
bool WriteTileModel(const std::string& path) {
    const SgVec3 base[4] = {SgVec3(-0.24f, -0.24f, 0), SgVec3(0.24f, -0.24f, 0), SgVec3(0.24f, 0.24f, 0),
                            SgVec3(-0.24f, 0.24f, 0)};
    const SgVec3 baseUv[4] = {SgVec3(0, 0, 0), SgVec3(1, 0, 0), SgVec3(1, 1, 0), SgVec3(0, 1, 0)};
    SgVec3 corners[12], uv[12];
    uint16_t triangles[12];
    for (int side = 0; side < 4; ++side) {
        const int next = (side + 1) % 4;
        const int at = side * 3;
        corners[at] = base[side];
        corners[at + 1] = SgVec3(0, 0, -0.16f);
        corners[at + 2] = base[next];
        uv[at] = baseUv[side];
        uv[at + 1] = SgVec3(0.5f, 0.5f, 0);
        uv[at + 2] = baseUv[next];
        for (int k = 0; k < 3; ++k)
            triangles[at + k] = static_cast<uint16_t>(at + k);
    }
    SgRef<SgNode> root(new SgNode);
    root->AssignName("tile1");
    SgRef<SgTriShape> bump(new SgTriShape(12, corners, nullptr, 4, triangles, uv, nullptr));
    // Named without the image factory, which the tools lack: it would give an empty texture.
    SgRef<SgTextureProperty> texture = FileTexture("bump.bmp");
    bump->properties.Prepend(texture.Get());
    root->InsertChild(bump.Get(), true);
    SgSceneStream stream;
    stream.InsertObject(root.Get());
    std::vector<uint8_t> bytes;
    return stream.Save(bytes) && WriteFileBytes(path, bytes.data(), bytes.size());
}

// The BMP copies of the texture pictures (in the look) in the level directories, and for a keep
// its portal.dat and tile files.
bool WriteLevelPresentFiles(const InstallContext& ctx, const std::vector<std::string>& levels, TextureLook look, bool keep) {
    std::vector<PackSource> pictures = SampleTexturePictures(look);
    for (PackSource& p : SampleSystemTexturePictures())
        pictures.push_back(std::move(p));
    for (const PackSource& p : pictures) {
        std::vector<uint8_t> bmp;
        if (!PcxAsBmp(p.bytes, bmp))
            return false;
        const std::string name = BaseName(p.name);
        for (const std::string& level : levels) {
            const std::string where = name[0] == 'g' ? name : level + "/" + name;
            if (!WriteFileBytes(ctx.Path(where), bmp.data(), bmp.size()))
                return false;
            if (keep && name == "brick.bmp" && !WriteFileBytes(ctx.Path(level + "/tiles/bump.bmp"), bmp.data(), bmp.size()))
                return false;
        }
    }
    if (!keep)
        return true;
    for (const std::string& level : levels) {
        // An older installation's marker would draw the stair flat.
        std::remove(ctx.Path(level + "/tiles/tile2.nul").c_str());
        if (!WriteTextFile(ctx.Path(level + "/portal.dat"), kPortalDat) || !WriteTileModel(ctx.Path(level + "/tiles/tile1.sgf")) ||
            !WriteTextFile(ctx.Path(level + "/tiles/tile3.nil"), ""))
            return false;
    }
    return true;
}

bool WritePresentFiles(const InstallContext& ctx) {
    if (!WriteLevelPresentFiles(ctx, {"sample"}, {}, true) || !WriteLevelPresentFiles(ctx, {"sample16", "hall"}, {}, false))
        return false;
    for (const SampleVariant& v : SampleVariants())
        if (!WriteLevelPresentFiles(ctx, {v.grid}, v.look, true))
            return false;
    return true;
}

bool WriteHallLevel(const InstallContext& ctx) {
    for (const PackSource& f : HallLevelFiles(false))
        if (!WriteFileBytes(ctx.Path("hall/" + f.name), f.bytes.data(), f.bytes.size()))
            return false;
    std::vector<uint8_t> pack = BuildPackFile("hall.zpk", HallLevelFiles(true));
    return !pack.empty() && WriteFileBytes(ctx.Path("grids/hall.zpk"), pack.data(), pack.size()) &&
           WriteTextFile(ctx.Path("hall/portal.dat"), HallPortalDat());
}

// After the levels, whose pictures it copies.
InstallStep g_step("present", 75, WritePresentFiles);
InstallStep g_hallStep("hall", 74, WriteHallLevel);

}  // namespace
