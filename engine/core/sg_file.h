#pragma once
// Every file the engine opens goes through one replaceable function. engine_core may not use the
// platform layer, so the game installs the platform's game-file opener here at start-up (it turns
// '\' into '/' and resolves names without regard to case); the default is the C library's fopen.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

using SgFileOpener = std::FILE* (*)(const char* path, const char* mode);

// Installs the opener; null restores fopen.
void SgSetFileOpener(SgFileOpener opener);
std::FILE* SgOpenFile(const char* path, const char* mode);
// True when the file opens for binary reading.
bool SgFileExists(const char* path);
// Reads the whole file into out (replacing what it held). False when it does not open, a read
// fails or it holds more than maxBytes; a file that says its size is refused before any read.
bool SgReadWholeFile(const char* path, size_t maxBytes, std::vector<uint8_t>& out);
