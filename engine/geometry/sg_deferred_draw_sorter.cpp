#include "engine/geometry/sg_deferred_draw_sorter.h"

SgDeferredDrawSorter::SgDeferredDrawSorter() = default;

SgDeferredDrawSorter::~SgDeferredDrawSorter() {
    clusters_.Clear();
    FreeEntries();
}

void SgDeferredDrawSorter::FreeEntries() {
    while (auto* node = entries_.Head()) {
        SgDeferredDrawEntry::Free(node->item);
        entries_.Remove(node);
    }
}

void SgDeferredDrawSorter::Begin(SgCamera* camera) {
    if (dirty_)
        return;
    dirty_ = 1;
    camera_ = camera;
    clusters_.SetCamera(camera);
}

bool SgDeferredDrawSorter::Accept(SgAVObject* object, SgWorldState* state) {
    // Outside a pass there is no camera whose display state and planes an entry could keep, so
    // the caller draws the object now, with the state it really has.
    if (!camera_ || !object)
        return false;
    SgDeferredDrawEntry* entry = camera_->MakeDeferredEntry(object, state);
    if (!entry)
        return false;
    Append(entry);
    return true;
}

void SgDeferredDrawSorter::Append(SgDeferredDrawEntry* entry) {
    if (entry)
        entries_.Append(entry);
}

void SgDeferredDrawSorter::End() {
    if (!dirty_)
        return;
    dirty_ = 0;
    clusters_.Build(entries_);
    clusters_.Begin();
    while (SgDeferredDrawEntry* entry = clusters_.Next())
        if (camera_)
            camera_->DrawDeferredEntry(entry);
    clusters_.Clear();
    FreeEntries();
    camera_ = nullptr;
    clusters_.SetCamera(nullptr);
}

SgDeferredCollector* SgCreateDeferredDrawSorter() { return new SgDeferredDrawSorter; }
