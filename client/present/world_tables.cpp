#include "client/present/world_tables.h"

namespace present {

WorldTables& World() {
    // Never destroyed: engine objects must not be released during static destruction.
    static WorldTables* tables = new WorldTables;
    return *tables;
}

}  // namespace present
