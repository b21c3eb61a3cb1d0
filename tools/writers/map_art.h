#pragma once
// The overhead map's marker sheets and the small-map picture, as PCX files.

#include <cstdint>
#include <vector>

constexpr int kArrowFrames = 16;
constexpr int kArrowFrameSize = 7;
constexpr int kNodeFrames = 8;
constexpr int kNodeFrameSize = 15;

// arrow.pcx: 16 arrows of 7 x 7 side by side, frame k pointing k sixteenths of a turn round.
std::vector<uint8_t> BuildArrowPcx();
// node.pcx: 8 markers of 15 x 15 side by side: a neutral ring, the three teams' shapes, the
// figure dot, and three spares.
std::vector<uint8_t> BuildNodePcx();
// smallmap.pcx: a 200 x 200 top view of rooms and corridors.
std::vector<uint8_t> BuildSmallMapPcx();
