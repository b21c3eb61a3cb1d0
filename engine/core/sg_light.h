#pragma once
// A light as the display's light stack and the renderers see it: how many stack entries hold
// it, whether it changed since it was last handed over, and its revision. The scene classes make
// it a scene object with its placement and parameters.

#include <cstdint>

#include "engine/core/sg_object.h"

class SgLight : public SgObject {
public:
    static SgTypeRecord typeRecord;

    const SgTypeRecord* GetTypeRecord() const override;

    // How many entries of light stacks hold the light.
    uint32_t useCount = 0;
    // Set whenever the light's type or world values change; the display then raises the
    // revision before the renderer sees the light again.
    uint32_t changed = 1;
    uint32_t revision = 1;

protected:
    // Every renderer forgets the light.
    ~SgLight() override;
};
