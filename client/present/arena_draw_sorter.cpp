#include "client/present/arena_draw_sorter.h"

namespace present {

bool ArenaDrawSorter::Accept(SgAVObject* object, SgWorldState* state) {
    SgCamera* camera = Camera();
    if (!camera || !object || !camera->Display())
        return false;
    auto* alpha = static_cast<SgAlphaProperty*>(camera->Display()->Pending(SG_ALPHA_PROPERTY));
    if (!alpha || !alpha->blendOn)
        return false;
    SgDeferredDrawEntry* entry = camera->MakeDeferredEntry(object, state);
    if (!entry)
        return false;
    Append(entry);
    return true;
}

SgDeferredCollector* CreateArenaDrawSorter() { return new ArenaDrawSorter; }

}  // namespace present
