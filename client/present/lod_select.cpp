#include "client/present/lod_select.h"

#include <cfloat>
#include <cstring>

#include "engine/core/sg_camera.h"
#include "engine/core/sg_world_state.h"

namespace present {

namespace {

int32_t g_forcedLevel = 0;
constexpr int kSearchedPairs = 4;

// 100 x the distance between the camera and the mesh's world translation.
float DistanceToCamera(SgClod* mesh, SgCamera* camera) {
    if (!mesh || !camera || !mesh->CurrentState())
        return 0.0f;
    SgVec3 d = camera->WorldLocation();
    const SgVec3& at = mesh->CurrentState()->worldTranslation;
    d.x -= at.x;
    d.y -= at.y;
    d.z -= at.z;
    return 100.0f * d.Length();
}

// A forced level wins (divided as the caller says); otherwise the table decides.
uint8_t SelectByTable(const LodTableEntry* table, int divisor, SgClod* mesh, SgCamera* camera, uint16_t* level) {
    if (!level)
        return 1;
    if (g_forcedLevel != 0) {
        *level = static_cast<uint16_t>(g_forcedLevel / divisor);
        return 1;
    }
    uint16_t count = mesh ? mesh->FullTriangleCount() : 0;
    *level = LevelFromDistanceTable(table, kSearchedPairs, DistanceToCamera(mesh, camera), count);
    return 1;
}

}  // namespace

const LodTableEntry kBodyLodTable[5] = {{0.0f, 1.0f}, {192.0f, 1.0f}, {1024.0f, 0.25f}, {100000.0f, 0.2f},
                                        {FLT_MAX, 0.15f}};
const LodTableEntry kOtherLodTable[5] = {{0.0f, 1.0f}, {192.0f, 1.0f}, {1024.0f, 0.25f}, {100000.0f, 0.2f},
                                         {FLT_MAX, 0.15f}};

uint16_t LevelFromDistanceTable(const LodTableEntry* table, int n, float d, uint16_t levelCount) {
    int lo = 0, hi = n;
    if (n != 1) {
        while (lo + 1 != hi) {
            int mid = (lo + hi) / 2;
            if (table[mid].distance >= d)
                hi = mid;
            else
                lo = mid;
        }
    }
    float factor = table[lo].factor + (d - table[lo].distance) / (table[hi].distance - table[lo].distance) *
                                          (table[hi].factor - table[lo].factor);
    return static_cast<uint16_t>(static_cast<int32_t>(static_cast<float>(levelCount) * factor));
}

uint8_t SelectLodFirstCall(SgClod* mesh, SgCamera* camera, uint32_t user, uint16_t* level) {
    if (!mesh)
        return 0;
    const char* name = mesh->GetName();
    SgClodLevelCallback own =
        (name && std::strcmp(name, "Body") == 0) ? SelectLodByDistance : SelectLodByDistanceOther;
    mesh->SetLevelCallback(own, 0);
    (void)user;
    return own(mesh, camera, 0, level);
}

uint8_t SelectLodByDistance(SgClod* mesh, SgCamera* camera, uint32_t, uint16_t* level) {
    return SelectByTable(kBodyLodTable, 1, mesh, camera, level);
}

uint8_t SelectLodByDistanceOther(SgClod* mesh, SgCamera* camera, uint32_t, uint16_t* level) {
    return SelectByTable(kOtherLodTable, 5, mesh, camera, level);
}

void SetForcedLodLevel(int level) { g_forcedLevel = level; }

int ForcedLodLevel() { return g_forcedLevel; }

}  // namespace present
