#pragma once
// An sgf file of one top-level object (and everything it reaches), as the engine's saver writes
// it, without the objects of process-wide lists that save hooks would add.

#include <cstdint>
#include <initializer_list>
#include <vector>

class SgObject;

std::vector<uint8_t> SgfBytesOf(SgObject* topLevel);
// The same with several top-level objects, in order.
std::vector<uint8_t> SgfBytesOf(std::initializer_list<SgObject*> topLevel);
