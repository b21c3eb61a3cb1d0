#include "engine/core/sg_light.h"

#include "engine/core/sg_render.h"

constinit SgTypeRecord SgLight::typeRecord{"SgLight", &SgObject::typeRecord};

const SgTypeRecord* SgLight::GetTypeRecord() const { return &typeRecord; }

SgLight::~SgLight() { SgRender::RemoveLightEverywhere(this); }
