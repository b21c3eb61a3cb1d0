#pragma once
// The arena's collector of the deferral pass: only objects drawn with blending on are kept and
// drawn back to front; everything else is drawn at once.

#include "engine/geometry/sg_deferred_draw_sorter.h"

namespace present {

class ArenaDrawSorter : public SgDeferredDrawSorter {
public:
    // True (kept) when the pass camera's display has a pending alpha property that blends.
    bool Accept(SgAVObject* object, SgWorldState* state) override;
};

// The collector factory the scene root installs.
SgDeferredCollector* CreateArenaDrawSorter();

}  // namespace present
