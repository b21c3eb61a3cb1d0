#pragma once
// Searches through a figure's (or template's) subtree by name, shared by the figure code.
// Names compare without regard to case; a missing name counts as the empty name.

class Sg3dsAnimationNode;
class SgObject;

namespace present {

// The object itself or the first match below it, depth first.
SgObject* FindNamedObject(SgObject* object, const char* name);
// The same among keyed nodes (Sg3dsAnimationNode or derived) only.
Sg3dsAnimationNode* FindNamedKeyedNode(SgObject* object, const char* name);

}  // namespace present
