#pragma once
// The two class registries: class name -> create function, one for engine objects and one for
// extra data. The stream makes objects from the class names in a file through them.
//
// Registration is static, and made robust against static libraries: each engine library has one
// registration list (engine_core: SgRegisterCoreClasses in sg_core_classes.cpp) that calls every
// class's Register() and runs from that file's static initialiser. The library's CMake target
// carries `-u <list function>` as an interface link option, so every program that links the
// library, directly or through another library, pulls the list's object file in, and with it
// every class it names. A new class therefore needs only one line in its library's list; a new
// library (or the game's own classes) adds its own list function and link option the same way.
// The registries themselves are function-local statics, so the order in which static
// initialisers run does not matter.

#include "engine/core/sg_hash_map.h"
#include "engine/core/sg_object.h"

class SgSceneStream;

// Makes an object for a record, stores it in *out and runs its LoadFromStream, returning the
// load's result. An abstract class's create function stores nothing and reads nothing.
using SgCreateFunction = bool (*)(SgSceneStream& stream, SgObject** out);
using SgExtraCreateFunction = bool (*)(SgSceneStream& stream, SgExtraData** out);

class SgClassRegistry {
public:
    static constexpr uint32_t kBuckets = 37;

    static SgNameHashMap<SgCreateFunction>& Objects();
    static SgNameHashMap<SgExtraCreateFunction>& ExtraData();

    // Enters the record's class name once per class: the first call returns 1, later ones 0.
    // A name registered by another class before is replaced (the last registration wins).
    static int Register(SgTypeRecord& record, SgCreateFunction create);
    static int RegisterExtra(SgTypeRecord& record, SgExtraCreateFunction create);

    static SgCreateFunction FindCreateFunction(const char* className) { return Objects().Lookup(className); }
    static SgExtraCreateFunction FindExtraCreateFunction(const char* className) {
        return ExtraData().Lookup(className);
    }
};

// The create function of a concrete class T whose link-id record is L.
template <class T, class L = SgLinkIdData>
bool SgCreateObject(SgSceneStream& stream, SgObject** out) {
    T* object = new T;
    *out = object;
    object->SetExtraHead(new L);
    return object->LoadFromStream(stream);
}

// The create function of an abstract class: makes nothing.
bool SgCreateAbstract(SgSceneStream& stream, SgObject** out);

template <class T>
bool SgCreateExtra(SgSceneStream& stream, SgExtraData** out) {
    T* extra = new T;
    *out = extra;
    return extra->LoadFromStream(stream);
}

// engine_core's registration list (see above); safe to call again.
extern "C" void SgRegisterCoreClasses();
