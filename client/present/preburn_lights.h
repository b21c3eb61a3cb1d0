#pragma once
// The preburned lights once the world is built: each switched-on record also becomes an engine
// point light on the object nodes of the rooms it reaches, so figures are lit by their room's
// lights; light.log lists how many lights each room got.

namespace present {

// World objects with a preburned light pattern put their light in the table, logging each.
int SgxPutPreburnLight();
void CreatePreburnLightObject(int i, float x, float y, float z, float intensity, float range, const float colour[3]);
void CreatePreburnLightObjects();
// Appends one line per room to light.log.
void WriteLightLog();

}  // namespace present
