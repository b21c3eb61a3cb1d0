#pragma once
// Every file the engine opens goes through one replaceable function. engine_core may not use the
// platform layer, so the game installs the platform's game-file opener here at start-up (it turns
// '\' into '/' and resolves names without regard to case); the default is the C library's fopen.

#include <cstdio>

using SgFileOpener = std::FILE* (*)(const char* path, const char* mode);

// Installs the opener; null restores fopen.
void SgSetFileOpener(SgFileOpener opener);
std::FILE* SgOpenFile(const char* path, const char* mode);
// True when the file opens for binary reading.
bool SgFileExists(const char* path);
