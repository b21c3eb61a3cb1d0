#pragma once
// Loading a level: from a pack "grids\%s.zpk" when one exists, else from the level's directory.
// grid.dat, objects.dat and misc.dat are binary (little-endian); world.dat and trigger.dat are
// settings files.

#include <cstdint>
#include <cstdio>

#include "common/byte_reader.h"

constexpr uint32_t kGrid16Size = 540292;  // a grid.dat of exactly this size has 16 words a cell

// 1 when the level is loaded (and its world built), else 0.
int LoadGrid(const char* levelName);
namespace Vorn {
// 1; a failure ends the program.
int LoadGridFromPack(const char* packPath);
}
// The four files in memory and world.dat as a stream. 1, or 0 when a step fails.
int LoadLevel(ByteReader grid, ByteReader objects, ByteReader misc, FILE* world);

// The steps, in the order LoadLevel runs them.
int ReadGridBuffer(ByteReader grid);
void ExtractGridPlanes();
int LoadSlopeDefs(ByteReader misc);
int LoadTiles(ByteReader misc, FILE* world);
int LoadThins(ByteReader misc);
int LoadOlist(ByteReader objects);
int PlaceOlistObjects(ByteReader grid);
void LoadMongenDefs(FILE* world);
void LoadEffectDefs(FILE* world);
void LoadStartPoints(FILE* world);
// A 32-bit field of a fixed-offset file (grid.dat, misc.dat, objects.dat); past the end of the
// file a field reads as 0.
int32_t FixedI32At(const ByteReader& r, size_t offset);
// The start and raise angles: degrees to 4096ths, a half turn added.
int StartAngle(int degrees);

// The derived maps and the fixture definitions.
void FillObjectPlane();
void BuildHeightMaps();
void ConvertSlopeCodes();
void ClearThirdPlane();
void BuildLightFalloff(int radius, int mode);
void LoadLightPatterns();
void ConvertCellMarkers();
void BuildCellFlags();
void BuildRooftopEdges();
void LoadEarthbloodDefs(FILE* world);
void LoadShrineDefs(FILE* world);
void LoadSafeZoneDefs(FILE* world);
void LoadSoundRegionDefs(FILE* world);
void LoadHomebaseDefs(FILE* world);
void LoadTransportDefs(FILE* world);
void LoadRoomViews(FILE* world);

// A level name is a plain name: not empty, no separators, not "." or "..".
bool IsPlainLevelName(const char* name);
