#pragma once
// The engine's image object: it names an image file or holds raw image data. The renderer's image
// class derives from it to keep the device copy. Images are made through the factory function the
// renderer installs, and every new image is offered to the registered image listeners (the
// renderer) so they can prepare it; a listener that refuses ends the image.

#include <cstdint>

#include "engine/core/sg_raw_image.h"

class SgRender;

class SgImage : public SgObject {
public:
    // Flag values.
    static constexpr uint8_t kHasSurface = 1;
    static constexpr uint8_t kWantsMipmaps = 2;
    // The requested texture format kind that leaves the choice to the renderer.
    static constexpr uint32_t kAnyFormat = 7;
    static constexpr uint32_t kFirstImageId = 214;

    // The last image error: the factory made no image, no file name, no raw data.
    enum Error : uint32_t { kErrorNoImage = 4, kErrorNoFileName = 5, kErrorNoRawData = 6 };

    using Factory = SgImage* (*)();

    static SgTypeRecord typeRecord;
    static int Register();

    // Sets the image id from the process-wide counter.
    SgImage();

    const SgTypeRecord* GetTypeRecord() const override;
    // An image is stored by its file name (a 1 byte, the name) or by its raw data (a 0 byte, the
    // link id), then the value. Images of one file that name the same image file share one
    // object; names are resolved against the file's directory.
    bool LoadFromStream(SgSceneStream& stream) override;
    void LinkFromStream(SgSceneStream& stream) override;
    // With the stream set to convert images, an image file is turned into an sgf file of its raw
    // data beside it, and the image names that file from then on.
    bool RegisterInStream(SgSceneStream& stream) override;
    void SaveToStream(SgSceneStream& stream) const override;
    // Raw data compared when either has some; else the file names without directory and
    // extension, ignoring case; then the values.
    bool IsEqualTo(const SgObject* other) const override;

    // The pixels changed: the renderer's copy must be refilled. A plain image has no copy.
    virtual void MarkDirty();
    // Offered to each listener for every new image; false refuses the image.
    virtual bool PrepareForListener(SgRender* listener, uint32_t argument);

    // Makes an image through the factory. Mode 1 asks for mipmaps, mode 2 only while the
    // mipmap switch is on; the value is the requested texture format kind.
    static SgRef<SgImage> CreateFromFile(const char* fileName, int mode, uint32_t value);
    // The same around raw data (the image takes its own reference).
    static SgRef<SgImage> CreateFromRawData(SgRef<SgRawImageData> rawData, int mode, uint32_t value);

    static void SetFactory(Factory factory);
    static Factory GetFactory();
    static uint32_t LastError();
    static void SetLastError(uint32_t code);
    static void SetMipmapSwitch(bool on);
    static bool MipmapSwitch();

    static void AddImageListener(SgRender* listener, uint32_t argument);
    // Removes the first matching pair, if any.
    static void RemoveImageListener(SgRender* listener, uint32_t argument);
    static void ClearImageListeners();
    static uint32_t ImageListenerCount();

    // Reads an image file into one shared raw image (overwritten by the next call); null when
    // the file cannot be read.
    static SgRawImageData* FormatIfReadable(const char* fileName);
    // 0 when either side is 0 or not a power of two; else the smaller of the two logarithms.
    static uint32_t MipLevelCount(uint32_t width, uint32_t height);

    const char* FileName() const { return fileName_; }
    void SetFileName(const char* name);
    SgRawImageData* RawData() const { return rawData_.Get(); }
    void SetRawData(SgRawImageData* raw) { rawData_ = raw; }

    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t mipLevelCount = 0;
    uint32_t imageId;
    // Raised whenever the pixels change, so texture copies know they are stale.
    uint32_t contentStamp = 0;
    uint8_t flags = 0;
    uint32_t formatKind = 0;

protected:
    // Tells every listener the image goes (it releases its textures), frees the name and the
    // raw data.
    ~SgImage() override;

private:
    // A new image from the factory; null without a factory, or when it makes none (error 4).
    static SgRef<SgImage> MakeThroughFactory();
    // Mode flags, the value, and the listeners' verdict; null when one refused.
    static SgRef<SgImage> Finish(SgRef<SgImage> image, int mode, uint32_t value);

    char* fileName_ = nullptr;
    SgRef<SgRawImageData> rawData_;
};
