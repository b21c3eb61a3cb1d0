#include "client/screens/color_tables.h"

#include <cstring>
#include <vector>

#include "client/core/config_file.h"
#include "client/core/error_log.h"
#include "client/core/game_file_bytes.h"
#include "client/core/pack_file.h"
#include "client/core/pcx_image.h"
#include "common/byte_reader.h"
#include "common/text.h"

namespace {

constexpr char kColorSection[] = "color_tables";
constexpr char kSourceName[] = "Common\\Init";
constexpr size_t kColNameSize = 51;  // 50 characters and the terminator

LightTable g_baseLightTable;
LightTable g_gridLightTables[kLastGridLightTable - kFirstGridLightTable + 1];

}  // namespace

int BoostChannel(int channel, int boost) {
    if (boost == 1)
        return channel > 127 ? 255 : channel * 2;
    if (boost == 2)
        return channel >= 64 ? 255 : channel * 4;
    return channel;
}

namespace {

struct TableKeys {
    char colName[kColNameSize] = {};
    bool named = false;
    ChannelBoosts boosts;
};

void KeyNames(int n, char* name, char* red, char* green, char* blue) {
    FormatText(name, 8, "%02d", n);
    FormatText(red, 16, "red%02d", n);
    FormatText(green, 16, "green%02d", n);
    FormatText(blue, 16, "blue%02d", n);
}

TableKeys ReadKeysFromFile(const char* configFile, int n) {
    char name[8], red[16], green[16], blue[16];
    KeyNames(n, name, red, green, blue);
    TableKeys k;
    k.named = GetConfigString(configFile, kColorSection, name, k.colName, sizeof k.colName, "", 0) != 0;
    GetConfigInt(configFile, kColorSection, red, &k.boosts.red, 0, 0);
    GetConfigInt(configFile, kColorSection, green, &k.boosts.green, 0, 0);
    GetConfigInt(configFile, kColorSection, blue, &k.boosts.blue, 0, 0);
    return k;
}

TableKeys ReadKeysFromStream(FILE* config, int n) {
    char name[8], red[16], green[16], blue[16];
    KeyNames(n, name, red, green, blue);
    TableKeys k;
    k.named = ReadConfigString(config, kColorSection, name, k.colName, sizeof k.colName, "") != 0;
    ReadConfigInt(config, kColorSection, red, &k.boosts.red, 0);
    ReadConfigInt(config, kColorSection, green, &k.boosts.green, 0);
    ReadConfigInt(config, kColorSection, blue, &k.boosts.blue, 0);
    return k;
}

}  // namespace

const uint32_t* const PaletteColourTable = g_baseLightTable.rows[kShadeRows - 1];
const uint32_t* ShadeTable[kShadeLevels];
uint8_t InverseColourTable[kInverseTableSize];
uint8_t SystemPalette[768];

LightTable* GetLightTable(int n) {
    if (n == 0)
        return &g_baseLightTable;
    if (n >= kFirstGridLightTable && n <= kLastGridLightTable)
        return &g_gridLightTables[n - kFirstGridLightTable];
    return nullptr;
}

void ConvertLightTable(const uint8_t* colBytes, const ChannelBoosts& boosts, const ChannelBits& bits,
                       LightTable& out) {
    const bool asStored = IsChannels565(bits) && boosts.red == 0 && boosts.green == 0 && boosts.blue == 0;
    ByteReader r(colBytes, kColFileSize);
    for (auto& row : out.rows)
        for (uint32_t& entry : row) {
            uint16_t v = r.U16LE();
            uint32_t pixel = v;
            if (!asStored) {
                int red = (v >> 8) & 0xF8;
                int green = (v >> 3) & 0xFC;
                int blue = (v & 31) * 8;
                pixel = PackPixel16(bits, BoostChannel(red, boosts.red), BoostChannel(green, boosts.green),
                                    BoostChannel(blue, boosts.blue));
            }
            entry = pixel * 0x10001u;
        }
}

int init_lightsource(const char* configFile, const ChannelBits& bits) {
    TableKeys keys = ReadKeysFromFile(configFile, 0);
    if (!keys.named) {
        LogMessage(LOG_WARNING, "No entry for %d in color table! defaulting to system.col.\n", 0);
        CopyText(keys.colName, "system.col");
    }
    char path[80];
    FormatText(path, sizeof path, "light\\%s", keys.colName);
    std::vector<uint8_t> col;
    if (!ReadGameFileBytes(path, col) || col.size() < static_cast<size_t>(kColFileSize)) {
        LogMessage(LOG_ERROR, "%s::init_lightsource() - could not find file: %s\n", kSourceName, path);
        return -1;
    }
    ConvertLightTable(col.data(), keys.boosts, bits, g_baseLightTable);

    const char* traPath = bits.green == 5 ? "light\\tran555.tra" : "light\\tran565.tra";
    std::vector<uint8_t> tra;
    if (!ReadGameFileBytes(traPath, tra) || tra.size() < static_cast<size_t>(kInverseTableSize)) {
        LogMessage(LOG_ERROR, "%s::init_lightsource() - could not fopen() file: '%s'.\n", kSourceName, traPath);
        return -1;
    }
    std::memcpy(InverseColourTable, tra.data(), kInverseTableSize);

    PcxImage palette;
    if (palette.LoadPcx("light\\syspal.pcx", PCX_HEAP, 1) == 0 && palette.palette)
        std::memcpy(SystemPalette, palette.palette.get(), sizeof SystemPalette);
    palette.FreePcx();
    return 0;
}

void BuildShadeTables() {
    for (int s = 0; s < kShadeLevels; ++s) {
        int row = s < 256 ? 0 : s - 256 > kShadeRows - 1 ? kShadeRows - 1 : s - 256;
        ShadeTable[s] = g_baseLightTable.rows[row];
    }
}

int InitGridLightsourceFromPack(PackFile& pack, FILE* config, const ChannelBits& bits) {
    for (int n = kFirstGridLightTable; n <= kLastGridLightTable; ++n) {
        TableKeys keys = config ? ReadKeysFromStream(config, n) : TableKeys{};
        char path[80];
        if (!keys.named) {
            ErrorLogWrite("No entry for %d in grid color table! defaulting to system.col.\n", n);
            CopyText(path, "light/system.col");
        } else {
            FormatText(path, sizeof path, "light/%s", keys.colName);
        }
        PackEntry entry;
        if (pack.FindPackEntry(path, &entry) != 0) {
            LogMessage(LOG_ERROR, "InitGridLightsourceFromPack - Could not find file: %s\n", path);
            continue;
        }
        // A short entry would leave the rows half read; such a table is refused whole.
        ByteReader bytes = pack.EntryReader(entry);
        if (!bytes.Need(kColFileSize)) {
            LogMessage(LOG_ERROR, "InitGridLightsourceFromPack - Bad color table: %s\n", path);
            continue;
        }
        ConvertLightTable(bytes.Current(), keys.boosts, bits, *GetLightTable(n));
    }
    return 0;
}
