#include "client/screens/level_art.h"

#include "client/core/pack_file.h"

PcxImage LoadingBarArt[3];
PcxImage LevelMapImage;
PcxImage LevelBackgroundImage;
int LoadingBarPercent = 0;

namespace {

int LoadFromPack(PcxImage& image, PackFile& pack, const char* entryName) {
    PackEntry entry;
    if (pack.FindPackEntry(entryName, &entry) != 0) {
        image.FreePcx();
        return -1;
    }
    ByteReader r = pack.EntryReader(entry);
    int result = image.ReadPcx(r, PCX_HEAP, 1);
    if (result != 0)
        image.FreePcx();
    return result;
}

int LoadFromFile(PcxImage& image, const char* path) {
    int result = image.LoadPcx(path, PCX_HEAP, 1);
    if (result != 0)
        image.FreePcx();
    return result;
}

}  // namespace

void LoadLoadingBarArt() {
    static const char* const kNames[3] = {"loadbar1.pcx", "loadbar2.pcx", "loadbarb.pcx"};
    for (int i = 0; i < 3; ++i)
        LoadFromFile(LoadingBarArt[i], kNames[i]);
}

void FreeLoadingBarArt() {
    for (PcxImage& image : LoadingBarArt)
        image.FreePcx();
}

int LoadMapImage(const char* path) {
    return LoadFromFile(LevelMapImage, path);
}

int LoadMapImageFromPack(PackFile& pack, const char* entryName) {
    return LoadFromPack(LevelMapImage, pack, entryName);
}

int LoadBackground(const char* path) {
    return LoadFromFile(LevelBackgroundImage, path);
}

int LoadBackgroundFromPack(PackFile& pack, const char* entryName) {
    return LoadFromPack(LevelBackgroundImage, pack, entryName);
}

void DrawLoadingBar(int percent) {
    LoadingBarPercent = percent;
}
