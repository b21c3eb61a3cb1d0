#pragma once
// The diagnostic dump of a scene graph into a text file: one line per object, depth first, with
// its kind, key counts, hidden flag and render-state properties, then its local and world
// placement (and a node's sort word). The menu preview writes one ("%s.log"), and so do the
// template definitions that ask for it ("anim%d.log").

#include <cstdio>

class SgObject;

namespace present {

// Children of a node are written at depth + 1. A null file writes nothing; the walk still runs.
void DumpSceneGraph(SgObject* object, int depth, FILE* file);

}  // namespace present
