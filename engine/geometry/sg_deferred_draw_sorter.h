#pragma once
// The engine's collector of the deferral pass: it keeps the objects offered to it together with
// the draw state they would have had, and at the end of the pass draws them from the farthest to
// the nearest, as blended surfaces need (the depth cluster set orders them). It is the default
// that nodes make through the collector factory; the game installs a subclass that takes only
// objects drawn with blending on.

#include <cstdint>

#include "engine/core/sg_camera.h"
#include "engine/core/sg_lists.h"
#include "engine/core/sg_node.h"
#include "engine/geometry/sg_depth_cluster_set.h"

class SgDeferredDrawSorter : public SgDeferredCollector {
public:
    SgDeferredDrawSorter();
    // Gives back every entry still held.
    ~SgDeferredDrawSorter() override;

    // Starts a pass with the camera; a second Begin before End changes nothing.
    void Begin(SgCamera* camera) override;
    // Draws the pass's entries farthest first with their saved state, then empties everything.
    // Nothing happens without a Begin.
    void End() override;
    // Keeps the object with the camera's current draw state. False (the caller draws the object
    // at once) outside a pass, which has no camera to take the state from.
    bool Accept(SgAVObject* object, SgWorldState* state) override;

    bool InPass() const { return dirty_ != 0; }
    SgCamera* Camera() const { return camera_; }
    uint32_t EntryCount() const { return entries_.Count(); }

protected:
    // Adds an entry made by the camera at the tail (subclasses' Accept).
    void Append(SgDeferredDrawEntry* entry);

private:
    void FreeEntries();

    SgCamera* camera_ = nullptr;
    SgPooledList<SgDeferredDrawEntry*> entries_{2};
    SgDepthClusterSet clusters_;
    uint8_t dirty_ = 0;
};

// The engine's collector factory: a new sorter.
SgDeferredCollector* SgCreateDeferredDrawSorter();
