#include "client/present/grid_layers.h"

namespace present {

GridLayers LevelGridLayers(const LevelDefs& level) {
    GridLayers g;
    g.floorHeight = level.plane[kPlaneFloor];
    g.ceilingHeight = level.plane[kPlaneCeiling];
    g.upperFloorHeight = level.plane[kPlaneStoreySplit];
    g.upperCeilingHeight = level.plane[kPlaneUpperCeiling];
    g.wallTextureBase = level.plane[kPlaneWallBase];
    g.liquidDepth = level.plane[kPlaneLiquidDepth];
    g.tileNumber = level.plane[kPlaneTile];
    g.floorSlope = level.plane[kPlaneSlope];
    g.ceilingSlope = level.plane[kPlaneCeilingSlope];
    g.floorTexture = level.plane[kPlaneFloorTexture];
    g.lowerWallTexture = level.plane[kPlaneLowerWallTexture];
    g.upperWallTexture = level.plane[kPlaneUpperWallTexture];
    g.ceilingTexture = level.plane[kPlaneCeilingTexture];
    g.upperFloorTexture = level.plane[kPlaneUpperFloorTexture];
    g.upperCeilingTexture = level.plane[kPlaneUpperCeilingTexture];
    g.tiles = level.tiles;
    g.slopes = level.slopes;
    return g;
}

}  // namespace present
