#pragma once
// What world creation asks of the level directory (the tile files and markers, by existence
// only) and the timing of its steps.

#include <cstdint>

namespace present {

// 1 when "<dir>//tiles//tile<n>.sgf", ".nul" or ".nil" exists, else 0.
int TileModelExists(int tile, const char* dir);
int TileNulExists(int tile, const char* dir);
int TileNilExists(int tile, const char* dir);

// A world-creation step's time on the game clock, in milliseconds.
class StepTimer {
public:
    StepTimer();
    int Msecs() const;

private:
    uint32_t start_;
};

}  // namespace present
