#include "client/level/level_textures.h"
#include "client/level/level_loader.h"

#include <algorithm>
#include <cstring>

#include "client/core/config_file.h"
#include "client/core/error_log.h"
#include "client/core/game_clock.h"
#include "client/core/game_file_bytes.h"
#include "client/core/pack_file.h"
#include "client/core/pcx_image.h"
#include "common/text.h"
#include "platform/fs/fs.h"

TextureTable g_textures;
ImageDef g_imageDefs[kMaxImageDefs];
int32_t g_imageDefCount = 0;
ArenaListEntry g_arenaList[kMaxArenas];
int32_t g_arenaCount = 0;

namespace {

constexpr int kFirstSystemSection = 101;
constexpr const char* kSystemFile = "system.dat";

uint8_t U8At(const ByteReader& r, size_t offset) {
    return offset < r.Size() ? r.Data()[offset] : 0;
}

void SetSides(TextureEntry& e, int width, int height) {
    e.width = width;
    e.height = height;
    TextureSideBits(width, &e.width_mask, &e.width_shift);
    TextureSideBits(height, &e.height_mask, &e.height_shift);
}

// A loaded frame: its pixels rewritten column by column. False when it is larger than a frame
// may be.
bool TakeFrame(PcxImage& pcx, TextureImage& image) {
    int w = pcx.PcxWidth(), h = pcx.PcxHeight();
    const uint8_t* px = pcx.Pixels8();
    if (w <= 0 || h <= 0 || static_cast<int64_t>(w) * h > kMaxFramePixels || !px)
        return false;
    image.width = w;
    image.height = h;
    image.pixels.resize(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.pixels[static_cast<size_t>(x) * h + y] = px[static_cast<size_t>(y) * w + x];
    return true;
}

// Frame f of a texture: the first gives the texture its sizes. Returns the frame's pixels.
int AddFrame(TextureEntry& e, int f, TextureImage image) {
    if (f == 0)
        SetSides(e, image.width, image.height);
    const int pixels = image.width * image.height;
    e.frames[f] = static_cast<int32_t>(g_textures.images.size());
    g_textures.images.push_back(std::move(image));
    return pixels;
}

// The names of a misc.dat record's frames (each ended by a space), at most four.
int FrameNames(const ByteReader& misc, size_t at, char names[4][11]) {
    int count = 0;
    for (int f = 0; f < 4; ++f) {
        size_t base = at + 20 + f * 10;
        int n = 0;
        while (n < 10) {
            uint8_t c = U8At(misc, base + n);
            if (c == ' ' || c == 0)
                break;
            names[f][n++] = static_cast<char>(c);
        }
        names[f][n] = '\0';
        if (n == 0)
            break;
        ++count;
    }
    return count;
}

// Fills entry n from its misc.dat record; false when the record defines no texture.
bool ReadTextureRecord(const ByteReader& misc, int n, char names[4][11], int* frameCount) {
    size_t at = kMiscTextureOffset + static_cast<size_t>(n - 1) * kMiscTextureRecord;
    uint8_t first = U8At(misc, at + 20);
    if (first == ' ' || first == 0)
        return false;
    TextureEntry& e = g_textures.entries[n];
    e.hbits = FixedI32At(misc, at + 60);
    e.wbits = FixedI32At(misc, at + 64);
    e.timer = FixedI32At(misc, at + 68);
    e.sound = FixedI32At(misc, at + 72);
    int frames = FixedI32At(misc, at + 76);
    e.translucent = e.translucent2 = FixedI32At(misc, at + 80);
    e.word84 = FixedI32At(misc, at + 84);
    e.color_table = FixedI32At(misc, at + 88);
    e.word92 = FixedI32At(misc, at + 92);
    e.used = 1;
    int named = FrameNames(misc, at, names);
    // Only the frames that are named can be loaded.
    frames = std::clamp(frames == 0 ? 1 : frames, 1, kTextureFrames);
    *frameCount = std::max(1, std::min(frames, named));
    e.numframes = *frameCount;
    int wb = std::clamp(e.wbits, 0, 9), hb = std::clamp(e.hbits, 0, 9);
    SetSides(e, 1 << wb, 1 << hb);
    return true;
}

void Finish() {
    g_textures.entries[0] = g_textures.entries[1];
    for (int n = 0; n < kTextureCount; ++n) {
        const TextureEntry& e = g_textures.entries[n];
        int first = e.frames[0];
        g_textures.firstPixels[n] = e.used && first >= 0 && first < static_cast<int>(g_textures.images.size()) &&
                                            !g_textures.images[first].pixels.empty()
                                        ? g_textures.images[first].pixels.data()
                                        : nullptr;
    }
}

void ReadChains(FILE* world) {
    for (int n = 1; n < g_textures.count && n < kTextureCount; ++n) {
        char key[16];
        std::snprintf(key, sizeof key, "texture%02d", n);
        int chained = 0;
        ReadConfigInt(world, "chained_textures", key, &chained, 0);
        g_textures.entries[n].chained = chained >= 0 && chained < kTextureCount ? chained : 0;
    }
}

int HighestUsed() {
    int highest = 0;
    for (int n = 1; n < kTextureCount; ++n)
        if (g_textures.entries[n].used)
            highest = n;
    return highest;
}

}  // namespace

void ClearTextureTable() {
    std::memset(g_textures.entries, 0, sizeof g_textures.entries);
    std::memset(g_textures.firstPixels, 0, sizeof g_textures.firstPixels);
    std::memset(g_textures.map, 0, sizeof g_textures.map);
    g_textures.images.clear();
    g_textures.count = 0;
    g_textures.systemCount = 0;
}

void FreeTextureImages() {
    ClearTextureTable();
    std::vector<TextureImage>().swap(g_textures.images);
}

bool TextureSideBits(int size, int32_t* mask, int32_t* shift) {
    for (int s = 4; s <= 9; ++s) {
        if (size == 1 << s) {
            *mask = size - 1;
            *shift = s;
            return true;
        }
    }
    return false;
}

int TranslateTexture(int texture) {
    if (texture > 1000) {
        int i = texture - 1000;
        texture = i < kTextureMapSize ? g_textures.map[i] : 0;
    }
    return texture >= 0 && texture < kTextureCount ? texture : 0;
}

int LoadTextureDefs(int firstTexture, int firstImage) {
    (void)firstImage;
    int count = 0;
    if (!GetConfigInt(kSystemFile, "textures", "numtextures", &count, 0, 0)) {
        ErrorLogWrite("Error loading 'numtextures' from heading 'textures' from file %s.\n", kSystemFile);
        return 0;
    }
    std::printf("Num=%d (", count);
    std::fflush(stdout);
    count = std::clamp(count, 0, kTextureCount - firstTexture);
    int memory = 0;
    for (int i = 0; i < count; ++i) {
        char section[16];
        std::snprintf(section, sizeof section, "texture%03d", kFirstSystemSection + i);
        const int n = firstTexture + i;
        TextureEntry& e = g_textures.entries[n];
        if (!GetConfigInt(kSystemFile, section, "wbits", &e.wbits, 0, 0)) {
            ErrorLogWrite("Error loading 'wbits' from heading '%s' from file %s.\n", section, kSystemFile);
            return 0;
        }
        if (!GetConfigInt(kSystemFile, section, "hbits", &e.hbits, 0, 0)) {
            ErrorLogWrite("Error loading 'hbits' from heading '%s' from file %s.\n", section, kSystemFile);
            return 0;
        }
        GetConfigInt(kSystemFile, section, "translucent", &e.translucent, 0, 0);
        e.translucent2 = e.translucent;
        GetConfigInt(kSystemFile, section, "sound", &e.sound, 0, 0);
        GetConfigInt(kSystemFile, section, "timer", &e.timer, 0, 0);
        GetConfigInt(kSystemFile, section, "numframes", &e.numframes, 0, 0);
        e.numframes = std::clamp(e.numframes == 0 ? 1 : e.numframes, 1, kTextureFrames);
        GetConfigInt(kSystemFile, section, "color_table", &e.color_table, 0, 0);
        for (int f = 0; f < e.numframes; ++f) {
            char key[8], name[64], path[96];
            std::snprintf(key, sizeof key, "name%02d", f);
            GetConfigString(kSystemFile, section, key, name, sizeof name, "blue.pcx", 0);
            FormatText(path, sizeof path, "textures/%s", name);
            PcxImage pcx;
            TextureImage image;
            image.path = path;
            if (pcx.LoadPcx(path, PCX_HEAP, 0) != 0 || !TakeFrame(pcx, image)) {
                ErrorLogWrite("Error loading 'name' from heading '%s' from file %s.\n", section, kSystemFile);
                return 0;
            }
            memory += AddFrame(e, f, std::move(image));
        }
        e.used = 1;
        if (kFirstSystemSection + i < kTextureMapSize)
            g_textures.map[kFirstSystemSection + i] = n;
        ++g_textures.systemCount;
    }
    GetConfigString(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0);
    return memory;
}

int LoadTextureList(const char* miscName, const char* texturesDir, const char* worldName) {
    ErrorLogWrite("Loading Textures.\n");
    std::vector<uint8_t> bytes;
    ReadGameFileBytes(miscName, bytes);
    ByteReader misc(bytes.data(), bytes.size());
    for (int n = 1; n < kTextureCount; ++n) {
        char names[4][11] = {};
        int frames = 0;
        if (!ReadTextureRecord(misc, n, names, &frames))
            continue;
        for (int f = 0; f < frames; ++f) {
            TextureImage image;
            char path[160];
            FormatText(path, sizeof path, "%s/%s.pcx", texturesDir, names[f]);
            image.path = path;
            g_textures.entries[n].frames[f] = static_cast<int32_t>(g_textures.images.size());
            g_textures.images.push_back(std::move(image));
        }
    }
    int memory = LoadTextureDefs(HighestUsed() + 1, static_cast<int>(g_textures.images.size()));
    g_textures.count = HighestUsed();
    ErrorLogWrite("Total Textures = %d\n", g_textures.count);
    ErrorLogWrite("Total Texture Memory: %d\n", memory);
    Finish();
    FILE* world = platform::OpenGameFile(worldName, "rb");
    ReadChains(world);
    if (world) {
        ForgetConfigStream(world);
        std::fclose(world);
    }
    return 1;
}

int LoadTexMapsFromPack(PackFile& pack, ByteReader misc, FILE* world) {
    LogMessage(LOG_INFO, "Loading textures.\n");
    int memory = 0;
    for (int n = 1; n < kTextureCount; ++n) {
        char names[4][11] = {};
        int frames = 0;
        if (!ReadTextureRecord(misc, n, names, &frames))
            continue;
        TextureEntry& e = g_textures.entries[n];
        for (int f = 0; f < frames; ++f) {
            char file[40];
            FormatText(file, sizeof file, "textures/%s.pcx", names[f]);
            PackEntry entry;
            if (pack.FindPackEntry(file, &entry) != 0) {
                LogMessage(LOG_ERROR, "LoadTexMapsFromPack - \"%s\" was not found in packfile \"%s\"", file,
                           pack.path.c_str());
                continue;
            }
            ByteReader r = pack.EntryReader(entry);
            PcxImage pcx;
            TextureImage image;
            image.path = file;
            int result = pcx.ReadPcx(r, PCX_HEAP, 0);
            if (result != 0 || !TakeFrame(pcx, image)) {
                LogMessage(LOG_ERROR, "LoadTexMapsFromPack - LoadPCX failed for file: '%s'. (num=%d Code=%d)\n", file, n,
                           result ? result : -3);
                return 0;
            }
            memory += AddFrame(e, f, std::move(image));
        }
    }
    memory += LoadTextureDefs(HighestUsed() + 1, static_cast<int>(g_textures.images.size()));
    g_textures.count = HighestUsed();
    Finish();
    ReadChains(world);
    LogMessage(LOG_INFO, "Textures loaded. (count: %d, memory usage: %d).\n", g_textures.count, memory);
    return 1;
}

namespace {

bool ReadList(const char* file, const char* section, const char* key, int count, int32_t* out, int capacity,
              bool required) {
    char text[256];
    GetConfigString(file, section, key, text, sizeof text, "", 0);
    const char* s = text;
    for (int i = 0; i < std::min(count, capacity); ++i) {
        char* end = nullptr;
        long v = std::strtol(s, &end, 10);
        if (end == s) {
            if (!required)
                return true;
            ErrorLogWrite("Error loading element #%d for item '%s' from '%s' from: %s\n", i, key, section, file);
            return false;
        }
        out[i] = static_cast<int32_t>(v);
        s = end;
        while (*s == ',' || *s == ' ')
            ++s;
    }
    return true;
}

}  // namespace

int LoadImageDefs(const char* fileName, const char* levelImagesDir) {
    const uint32_t start = ReadGameClock();
    int count = 0;
    GetConfigInt(fileName, "imagedefs", "numimages", &count, 0, 0);
    ErrorLogWrite("Loading %d Images.\n", count);
    count = std::clamp(count, 0, kMaxImageDefs);
    std::memset(g_imageDefs, 0, sizeof g_imageDefs);
    g_imageDefCount = 0;
    for (int n = 0; n < count; ++n) {
        char section[16];
        std::snprintf(section, sizeof section, "image%02d", n);
        ImageDef& d = g_imageDefs[n];
        struct Required {
            const char* key;
            int32_t* out;
        } first[] = {{"wbits", &d.wbits}, {"wpixels", &d.wpixels}, {"hpixels", &d.hpixels}, {"hbits", &d.hbits}};
        for (Required& r : first) {
            if (!GetConfigInt(fileName, section, r.key, r.out, 0, 0)) {
                ErrorLogWrite("Error loading '%s' from heading '%s' from file %s.\n", r.key, section, fileName);
                return 0;
            }
        }
        GetConfigInt(fileName, section, "numinseq", &d.numinseq, 0, 0);
        d.numinseq = std::clamp(d.numinseq, 0, kImageSeqLength);
        if (!ReadList(fileName, section, "imageseq", d.numinseq, d.imageseq, kImageSeqLength, true))
            return 0;
        GetConfigInt(fileName, section, "numindeathseq", &d.numindeathseq, 0, 0);
        d.numindeathseq = std::clamp(d.numindeathseq, 0, kImageSeqLength);
        if (!ReadList(fileName, section, "deathseq", d.numindeathseq, d.deathseq, kImageSeqLength, true))
            return 0;
        if (!GetConfigInt(fileName, section, "numviews", &d.numviews, 0, 0)) {
            ErrorLogWrite("Error loading 'numviews' from heading '%s' from file %s.\n", section, fileName);
            return 0;
        }
        d.numviews = std::clamp(d.numviews, 0, kImageViews);
        ReadList(fileName, section, "viewimage", kImageViews, d.viewimage, kImageViews, false);
        char name[96];
        if (!GetConfigString(fileName, section, "name", name, sizeof name, "", 0)) {
            ErrorLogWrite("Error loading 'name' from heading '%s' from file %s.\n", section, fileName);
            return 0;
        }
        GetConfigInt(fileName, section, "mirror", &d.mirror, 0, 0);
        GetConfigInt(fileName, section, "stride_length", &d.stride_length, 0, 0);
        GetConfigInt(fileName, section, "voxel", &d.voxel, 0, 0);
        GetConfigInt(fileName, section, "sgf", &d.sgf, 0, 0);
        GetConfigInt(fileName, section, "mirror_animations", &d.mirror_animations, 1, 0);
        GetConfigInt(fileName, section, "system", &d.system, 0, 0);
        GetConfigInt(fileName, section, "color_table", &d.color_table, 0, 0);
        if (d.system)
            FormatText(d.path, sizeof d.path, "images/%s", name);
        else
            FormatText(d.path, sizeof d.path, "%s/%s", levelImagesDir, name);
        if (d.voxel)
            ErrorLogWrite("Voxel Image#%d: Size=%d to %d\n", n, d.wpixels * d.hpixels, 0);
        g_imageDefCount = n + 1;
    }
    GetConfigString(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0);
    const int elapsed = static_cast<int>((ReadGameClock() - start) / 10);
    ErrorLogWrite("Total Image Memory: %d (Could Be %d)\n", 0, 0);
    ErrorLogWrite("Time to Load Image PCX's: %d msec\n", 0);
    ErrorLogWrite("Time to Load Images: %d msec\n", elapsed);
    return 1;
}

void LoadArenaList(const char* fileName) {
    std::memset(g_arenaList, 0, sizeof g_arenaList);
    g_arenaCount = 0;
    for (int n = 0; n < kMaxArenas; ++n) {
        char section[16];
        std::snprintf(section, sizeof section, "arena%02d", n);
        int enabled = 0;
        if (!GetConfigInt(fileName, section, "enabled", &enabled, 0, 0)) {
            std::printf("Error loading 'enabled' from heading '%s' from file %s.\n", section, fileName);
            break;
        }
        if (!enabled)
            continue;
        ArenaListEntry& a = g_arenaList[g_arenaCount++];
        a.used = 1;
        a.number = n;
        if (!GetConfigString(fileName, section, "name", a.name, sizeof a.name, "", 0))
            std::printf("Error loading 'name' from heading '%s' from file %s.\n", section, fileName);
        if (!GetConfigString(fileName, section, "grid", a.grid, sizeof a.grid, "grid00", 0))
            std::printf("Error loading 'grid' from heading '%s' from file %s.\n", section, fileName);
        if (!GetConfigString(fileName, section, "description", a.description, sizeof a.description, "", 0))
            std::printf("Error loading 'description' from heading '%s' from file %s.\n", section, fileName);
    }
    std::fflush(stdout);
    GetConfigString(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0);
}
