#pragma once
// The pictures of a level load kept in the screen surface's slots: the loading-bar art and the
// level's map; and the loading screen drawn at each step of a load.

class PackFile;

void LoadLoadingBarArt();
void FreeLoadingBarArt();
// 0 when loaded; a failed load frees the image.
int LoadMapImage(const char* path);
int LoadMapImageFromPack(PackFile& pack, const char* entryName);
// Draws the whole loading screen with the bar at percent and presents it.
void DrawLoadingBar(int percent);
