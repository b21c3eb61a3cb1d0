#include "engine/core/sg_render.h"

#include "engine/core/sg_image.h"
#include "engine/core/sg_lists.h"
#include "engine/core/sg_registry.h"

namespace {

using RendererList = SgPooledList<SgRender*>;

RendererList& Renderers() {
    // Two entries a block, as few renderers ever live at once. Never destroyed: a renderer held
    // by a static may go at exit after this list would have.
    static RendererList* list = new RendererList(2);
    return *list;
}

}  // namespace

constinit SgTypeRecord SgRender::typeRecord{"SgRender", &SgObject::typeRecord};

int SgRender::Register() { return SgClassRegistry::Register(typeRecord, SgCreateAbstract); }

const SgTypeRecord* SgRender::GetTypeRecord() const { return &typeRecord; }

SgRender::SgRender() { listEntry_ = Renderers().Append(this); }

SgRender::~SgRender() {
    SgImage::RemoveImageListener(this, 0);
    SgImage::RemoveImageListener(this, 1);
    Renderers().Remove(static_cast<RendererList::Node*>(listEntry_));
}

void SgRender::RemoveLightEverywhere(SgLight* light) {
    for (RendererList::Node* n = Renderers().Head(); n; n = n->next)
        n->item->RemoveLight(light);
}

uint32_t SgRender::RendererCount() { return Renderers().Count(); }

uint32_t SgRender::CheckProperties(const SgPropertyList&) { return kPropertiesUnchecked; }

void SgRender::RemoveLight(SgLight*) {}

int32_t SgRender::DrawLines(uint16_t, const SgVec3*, const SgVec3*, const SgRgba*, const uint8_t*,
                            const SgBoundSphere&) {
    return 0;
}

bool SgRender::GetTextureMemory(uint32_t&, uint32_t&) { return false; }

bool SgRender::GetTextureStats(uint32_t&, uint32_t&, uint32_t&, uint32_t&, uint32_t&) { return false; }

uint32_t SgRender::GetTextureStatus() { return 0; }
