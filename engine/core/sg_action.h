#pragma once
// Actions: engine objects stepped with the time until they report that they are finished.
// Actions loaded from a file join the process-wide action list (and every save writes the whole
// list); cameras run their own. SgFlipTextures flips a texture property through its frames.

#include <cstdint>

#include "engine/core/sg_lists.h"
#include "engine/core/sg_object.h"
#include "engine/core/sg_texture_property.h"

class SgAction : public SgObject {
public:
    static SgTypeRecord typeRecord;
    // Registers the class (abstract) and the save hook that writes the action list.
    static int Register();

    const SgTypeRecord* GetTypeRecord() const override;
    // The object part's link, then the action goes to the front of the action list.
    void LinkFromStream(SgSceneStream& stream) override;
    // Advances the action to the time; false when it is finished.
    virtual bool Step(double time, uint32_t argument) = 0;

    // Steps every action of the list from the front, removing those that finish.
    static void StepAll(double time, uint32_t argument);
    // The process-wide list; new actions go to its front.
    static SgRefChain<SgAction>& List();
    static void AddToList(SgAction* action) { List().Prepend(action); }
    static bool RemoveFromList(SgAction* action) { return List().Remove(action); }
    static void ClearList() { List().Clear(); }

protected:
    ~SgAction() override = default;
};

class SgFlipTextures : public SgAction {
public:
    enum Mode : uint32_t { kLoop = 0, kBackAndForth = 1, kOnce = 2 };

    static SgTypeRecord typeRecord;
    static int Register();

    const SgTypeRecord* GetTypeRecord() const override;
    // Mode, factor, start time, duration, then the target's link id.
    bool LoadFromStream(SgSceneStream& stream) override;
    void LinkFromStream(SgSceneStream& stream) override;
    bool RegisterInStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    bool IsEqualTo(const SgObject* other) const override;
    // Sets the target's current frame for the time; never finishes by itself.
    bool Step(double time, uint32_t argument) override;

    // The frame a step at this time shows, or -1 when it leaves the index alone (no target, no
    // frames, a duration that is not positive, an unknown mode).
    int32_t FrameAt(double time) const;

    SgRef<SgTextureProperty> target;
    uint32_t mode = kLoop;
    float factor = 1.0f;  // stored and compared; the step does not use it
    float startTime = 0.0f;
    float duration = 0.0f;  // the time one pass through the frames takes

protected:
    ~SgFlipTextures() override = default;
};
