#pragma once
// The two properties that refer to images: SgTextureProperty picks the image of the first texture
// stage from its frames (an action can flip through them), SgMultiTextureProperty describes the
// further stages. Both keep their images by reference and store them in files as links.

#include <cstdint>

#include "engine/core/sg_array.h"
#include "engine/core/sg_image.h"
#include "engine/core/sg_property.h"

class SgTextureProperty : public SgProperty {
public:
    static SgTypeRecord typeRecord;
    static constexpr int kType = SG_TEXTURE_PROPERTY;
    static int Register();
    static SgRef<SgTextureProperty> Default();

    SgTextureProperty() = default;
    // Makes the image from the file (mipmaps when the switch is on, any texture format); when
    // none results the property stays empty with index -1.
    explicit SgTextureProperty(const char* fileName);

    const SgTypeRecord* GetTypeRecord() const override;
    // The current index, the number of frames and a link id per frame (0 for an empty slot).
    bool LoadFromStream(SgSceneStream& stream) override;
    void LinkFromStream(SgSceneStream& stream) override;
    bool RegisterInStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    bool IsEqualTo(const SgObject* other) const override;
    int PropertyType() const override { return kType; }

    // The image at the current index; null for -1 and for an index outside the frames.
    SgRef<SgImage> CurrentImage() const;
    // Adds an image as the next frame.
    void AppendImage(SgImage* image) { images.SetAtGrow(images.UsedSize(), SgRef<SgImage>(image)); }
    uint32_t ImageCount() const { return images.UsedSize(); }

    SgArray<SgImage> images{1, 1};
    int32_t currentIndex = -1;

protected:
    ~SgTextureProperty() override = default;
};

class SgMultiTextureProperty : public SgProperty {
public:
    static SgTypeRecord typeRecord;
    static constexpr int kType = SG_MULTI_TEXTURE_PROPERTY;
    static int Register();
    static SgRef<SgMultiTextureProperty> Default();

    const SgTypeRecord* GetTypeRecord() const override;
    // Four counted lists: texture link ids, blend modes, addressing modes, filter modes.
    bool LoadFromStream(SgSceneStream& stream) override;
    void LinkFromStream(SgSceneStream& stream) override;
    bool RegisterInStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    bool IsEqualTo(const SgObject* other) const override;
    int PropertyType() const override { return kType; }

    // One entry per extra stage; without a texture the property uses no extra stage.
    SgArray<SgImage> textures{0, 1};
    SgPtrArray<uint32_t> blendModes{0, 1};
    SgPtrArray<uint32_t> addressingModes{0, 1};  // 0 to 3
    SgPtrArray<uint32_t> filterModes{0, 1};      // 0 to 5

protected:
    ~SgMultiTextureProperty() override = default;
};
