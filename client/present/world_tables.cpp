#include "client/present/world_tables.h"

namespace present {

WorldTables& World() {
    // Never destroyed: engine objects must not be released during static destruction.
    static WorldTables* tables = new WorldTables;
    return *tables;
}

GridFixture GridFixtureTable[kGridFixtures];
int32_t ViewMode = 0;
int IsSceneActive() { return World().sceneActive; }

}  // namespace present
