#include "client/present/preburn_lights.h"

#include <cstdio>

#include "client/arena/world_object.h"
#include "client/core/error_log.h"
#include "client/core/level_defs.h"
#include "client/present/room_extra.h"
#include "client/present/world_files.h"
#include "client/present/world_lighting.h"
#include "client/present/world_tables.h"
#include "platform/fs/fs.h"

namespace present {

int SgxPutPreburnLight() {
    StepTimer timer;
    for (int slot = 1; slot < WorldObjectHighWater && slot < kWorldObjectSlots; ++slot) {
        const WorldObject& o = WorldObjectTable[slot];
        if (!o.active || !o.light_pattern)
            continue;
        const LightPattern* pattern = FindLightPattern(o.light_pattern);
        if (!pattern || pattern->light_type != 1)
            continue;
        PutPreburnLight(o.x, o.y, o.z, pattern->intensity, pattern->distance, pattern->red, pattern->green,
                        pattern->blue);
        ErrorLogWrite("Light #%d: x=%d y=%d h=%d i=%d d=%d r=%d g=%d b=%d\n", slot, o.x, o.y, o.z,
                      pattern->intensity, pattern->distance, pattern->red, pattern->green, pattern->blue);
    }
    ErrorLogWrite("Time to SgxPutPreburnLight: %d msecs\n", timer.Msecs());
    return 1;
}

void CreatePreburnLightObject(int i, float x, float y, float z, float intensity, float range, const float colour[3]) {
    if (i < 0 || i >= kPreburnLightSlots)
        return;
    SgRef<SgLight> light(new SgLight);
    PreburnLights().objects[i] = light;
    light->SetType(SgLight::kPoint);
    light->on = 1;
    light->changed = 1;
    light->falloff = 1.0f;
    light->changed = 1;
    light->dimmer = intensity + intensity;
    light->changed = 1;
    light->range = range;
    light->changed = 1;
    light->ambient = SgRgb(0, 0, 0);
    light->diffuse = SgRgb(colour[0], colour[1], colour[2]);
    light->specular = SgRgb(0, 0, 0);
    light->localTranslation = SgVec3(x, y, z);
    light->changed = 1;
    WorldTables& w = World();
    const float m = range * 0.33f;
    for (const SgRef<SgRoom>& room : w.roomTable) {
        const SgRoomExtraData* data = RoomDataOf(room.Get());
        if (!data || !data->objectNode)
            continue;
        const float* b = data->bounds;
        if (x > b[0] - m && x < b[1] + m && y > b[2] - m && y < b[3] + m)
            data->objectNode->AddLight(light.Get());
    }
    if (w.worldRoot)
        w.worldRoot->InsertChild(light.Get(), true);
    light->UpdateAllStates();
}

void CreatePreburnLightObjects() {
    PreburnLightTable& t = PreburnLights();
    for (int i = 0; i < t.count; ++i) {
        const PreburnLight& l = t.lights[i];
        if (!l.on)
            continue;
        const float colour[3] = {l.red, l.green, l.blue};
        CreatePreburnLightObject(i, l.x, l.y, l.z, l.intensity, l.radius, colour);
    }
    WriteLightLog();
}

void WriteLightLog() {
    FILE* log = platform::OpenGameFile("light.log", "a+");
    if (!log)
        return;
    for (int i = 0; i < kRoomTableSize; ++i) {
        const SgRoomExtraData* data = RoomDataOf(World().roomTable[i].Get());
        if (!data || !data->objectNode)
            continue;
        std::fprintf(log, "Room #%d: numlights=%d\n", i, static_cast<int>(data->objectNode->Lights().Count()));
    }
    std::fclose(log);
}

}  // namespace present
