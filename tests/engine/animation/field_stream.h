#pragma once
// Writes and reads bare fields through the real sgf stream: a test class whose record holds
// nothing but what a callback writes or reads. Key sequences and the timing part live inside
// other records, so this is how their stream forms are checked byte for byte.

#include <cstdint>
#include <functional>
#include <vector>

class SgSceneStream;

// The bytes the callback writes.
std::vector<uint8_t> WriteFields(const std::function<void(SgSceneStream&)>& write);
// Loads a file whose one record holds these bytes with the callback as its load step. True when
// the callback succeeded and consumed exactly the bytes (the stream then reads the end marker).
bool ReadFields(const std::vector<uint8_t>& fields, const std::function<bool(SgSceneStream&)>& read);
