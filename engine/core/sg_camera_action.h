#pragma once
// Actions that work on a camera: the camera runs its own list of them at the start of every
// frame, naming itself as their camera for the step. CameraFollowAction keeps an object in front
// of the camera (the game's screen tint).

#include <cstdint>

#include "engine/core/sg_action.h"
#include "engine/core/sg_av_object.h"

class SgCamera;

class SgCameraAction : public SgAction {
public:
    static SgTypeRecord typeRecord;
    // Registers the class (abstract).
    static int Register();

    const SgTypeRecord* GetTypeRecord() const override;
    // The object part, then the camera's link id.
    bool LoadFromStream(SgSceneStream& stream) override;
    void LinkFromStream(SgSceneStream& stream) override;
    bool RegisterInStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    // Both without a camera, or both with cameras of the same view.
    bool IsEqualTo(const SgObject* other) const override;

    void SetCamera(SgCamera* camera) { camera_ = camera; }
    SgCamera* Camera() const { return camera_; }

protected:
    ~SgCameraAction() override = default;

    SgCamera* camera_ = nullptr;
};

// Puts its target in front of the camera at every step: at the camera's world location plus twice
// the eye point's x along the camera's world x axis, turned as the camera is. It answers with the
// camera action's type record and streams as one.
class CameraFollowAction : public SgCameraAction {
public:
    explicit CameraFollowAction(SgAVObject* followTarget = nullptr) : target(followTarget) {}

    const SgTypeRecord* GetTypeRecord() const override;
    // False at once without a target; otherwise places it and runs its state update.
    bool Step(double time, uint32_t argument) override;

    SgRef<SgAVObject> target;

protected:
    ~CameraFollowAction() override = default;
};
