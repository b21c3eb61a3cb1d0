#pragma once
// Writes level pack archives (ZPAK) that the client's reader accepts: the directory sorted by
// name without regard to case, the header scrambled, the archive's own file name stored.

#include <cstdint>
#include <string>
#include <vector>

#include "client/core/pack_file.h"

class ByteWriter;

struct PackSource {
    std::string name;  // as looked up, e.g. "grid.dat" or "light/system.col"
    std::vector<uint8_t> bytes;
};

// The archive's bytes; storedName is the file name the archive will have (without directory).
// Empty when a name is too long, two names differ only in case, or zlib fails.
std::vector<uint8_t> BuildPackFile(const std::string& storedName, std::vector<PackSource> files);

// The pieces, as they are, without any check: tests build damaged archives with them.
void WritePackEntry(ByteWriter& w, const PackEntry& entry);
std::vector<uint8_t> AssemblePackFile(const std::string& storedName, const std::vector<uint8_t>& directory,
                                      uint32_t count, const std::vector<uint8_t>& dataArea);
// The same with the directory already compressed.
std::vector<uint8_t> AssemblePackFileFromPacked(const std::string& storedName,
                                                const std::vector<uint8_t>& packedDirectory, uint32_t count,
                                                const std::vector<uint8_t>& dataArea);
// zlib's compress; empty when it fails.
std::vector<uint8_t> DeflateBytes(const uint8_t* data, size_t size);
uint32_t Crc32Of(const std::vector<uint8_t>& bytes);
