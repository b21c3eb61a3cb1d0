#pragma once
// Whole game files in memory: the binary formats are read at once and parsed with ByteReader.

#include <cstddef>
#include <cstdint>
#include <vector>

// Reads the whole file (opened through the game's path rules). False when it cannot be opened or
// read.
bool ReadGameFileBytes(const char* path, std::vector<uint8_t>& out);
// Writes the bytes as the whole file. False when it cannot be written completely.
bool WriteGameFileBytes(const char* path, const void* data, size_t size);
