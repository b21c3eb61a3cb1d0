#pragma once
// The pictures of a level load: the loading-bar art, the level's background and its map, and
// the loading screen drawn at each step.

#include "client/core/pcx_image.h"

class PackFile;

extern PcxImage LoadingBarArt[3];  // loadbar1, loadbar2, loadbarb
extern PcxImage LevelMapImage;
extern PcxImage LevelBackgroundImage;
// The percent the loading screen shows last.
extern int LoadingBarPercent;

void LoadLoadingBarArt();
void FreeLoadingBarArt();
// 0 when loaded; a failed load frees the image.
int LoadMapImage(const char* path);
int LoadMapImageFromPack(PackFile& pack, const char* entryName);
int LoadBackground(const char* path);
int LoadBackgroundFromPack(PackFile& pack, const char* entryName);
void DrawLoadingBar(int percent);
