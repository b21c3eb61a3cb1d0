// Images: creation through the factory, the listeners, the process-wide switches, the stream form
// and comparison.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine/core/sg_image.h"
#include "engine/core/sg_image_file.h"
#include "engine/core/sg_stream.h"
#include "engine/core/sg_texture_property.h"
#include "tests/support/recording_render.h"
#include "tests/support/temp_dir.h"
#include "tools/writers/bmp_writer.h"

namespace {

// Every test starts and ends with no factory, no listeners and the switches off.
class ImageTest : public testing::Test {
protected:
    void SetUp() override { Reset(); }
    void TearDown() override { Reset(); }
    static void Reset() {
        SgImage::SetFactory(nullptr);
        SgImage::ClearImageListeners();
        SgImage::SetMipmapSwitch(false);
        SgImage::SetLastError(0);
    }
};

SgImage* NoImage() { return nullptr; }

void WriteBmp(const std::string& path, int width, int height) {
    BmpImage b;
    b.width = width;
    b.height = height;
    b.bitsPerPixel = 24;
    b.pixels.assign(static_cast<size_t>(width) * height * 3, 0x40);
    std::vector<uint8_t> bytes = BuildBmp(b);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

TEST_F(ImageTest, CreationErrors) {
    EXPECT_FALSE(SgImage::CreateFromFile(nullptr, 0, 7));
    EXPECT_EQ(SgImage::LastError(), 5u) << "no name is an error even without a factory";
    SgImage::SetLastError(0);
    EXPECT_FALSE(SgImage::CreateFromFile("wall.bmp", 0, 7));
    EXPECT_EQ(SgImage::LastError(), 0u) << "no factory makes nothing, silently";
    EXPECT_FALSE(SgImage::CreateFromRawData({}, 0, 7));
    EXPECT_EQ(SgImage::LastError(), 6u);

    SgImage::SetFactory(NoImage);
    EXPECT_FALSE(SgImage::CreateFromFile("wall.bmp", 0, 7));
    EXPECT_EQ(SgImage::LastError(), 4u);
    SgImage::SetLastError(0);
    SgRef<SgRawImageData> raw(new SgRawImageData);
    EXPECT_FALSE(SgImage::CreateFromRawData(raw, 0, 7));
    EXPECT_EQ(SgImage::LastError(), 4u);
    EXPECT_EQ(raw->RefCount(), 1u) << "the raw data's reference is given back";
}

TEST_F(ImageTest, ModesValuesAndIds) {
    RecordingImageFactory factory;
    SgRef<SgImage> a = SgImage::CreateFromFile("wall.bmp", 1, 3);
    ASSERT_TRUE(a);
    EXPECT_STREQ(a->FileName(), "wall.bmp");
    EXPECT_EQ(a->flags, SgImage::kWantsMipmaps);
    EXPECT_EQ(a->formatKind, 3u);
    EXPECT_GE(a->imageId, SgImage::kFirstImageId);

    SgRef<SgImage> b = SgImage::CreateFromFile("wall.bmp", 2, 7);
    EXPECT_EQ(b->flags, 0) << "mode 2 asks for mipmaps only while the switch is on";
    EXPECT_EQ(b->imageId, a->imageId + 1);
    SgImage::SetMipmapSwitch(true);
    EXPECT_EQ(SgImage::CreateFromFile("wall.bmp", 2, 7)->flags, SgImage::kWantsMipmaps);
    EXPECT_EQ(SgImage::CreateFromFile("wall.bmp", 0, 7)->flags, 0);
}

TEST_F(ImageTest, ListenersAreOfferedEachImageAndMayRefuseIt) {
    RecordingImageFactory factory;
    SgRef<RecordingRender> first(new RecordingRender), second(new RecordingRender);
    SgImage::AddImageListener(first.Get(), 0);
    SgImage::AddImageListener(second.Get(), 1);

    SgRef<SgRawImageData> raw(new SgRawImageData);
    SgRef<SgImage> image = SgImage::CreateFromRawData(raw, 0, 7);
    ASSERT_TRUE(image);
    std::string name = DescribeObject(image.Get());
    EXPECT_EQ(first->Log(), std::vector<std::string>{"PrepareImage(" + name + ", 0)"});
    EXPECT_EQ(second->Log(), std::vector<std::string>{"PrepareImage(" + name + ", 1)"});
    EXPECT_EQ(raw->RefCount(), 2u) << "ours and the image's";
    EXPECT_EQ(image->RawData(), raw.Get());

    // The first refusal ends the image; later listeners are not asked.
    first->Clear();
    second->Clear();
    first->refuseImages = true;
    uint32_t live = SgObject::LiveCount();
    EXPECT_FALSE(SgImage::CreateFromRawData(raw, 0, 7));
    EXPECT_EQ(SgObject::LiveCount(), live) << "the refused image is gone";
    EXPECT_EQ(raw->RefCount(), 2u) << "only the earlier image still holds the raw data";
    EXPECT_EQ(first->Names(), (std::vector<std::string>{"PrepareImage", "ReleaseTextures"}));
    EXPECT_TRUE(second->Names() == std::vector<std::string>{"ReleaseTextures"}) << "told of the image going";

    // An image going tells every listener.
    first->Clear();
    second->Clear();
    image = nullptr;
    EXPECT_EQ(first->Log(), std::vector<std::string>{"ReleaseTextures(" + name + ")"});
    EXPECT_EQ(second->Count("ReleaseTextures"), 1u);
}

TEST_F(ImageTest, ARendererLeavesTheListenersWhenItGoes) {
    SgRef<RecordingRender> keep(new RecordingRender);
    {
        SgRef<RecordingRender> gone(new RecordingRender);
        SgImage::AddImageListener(gone.Get(), 1);
        SgImage::AddImageListener(keep.Get(), 0);
        EXPECT_EQ(SgImage::ImageListenerCount(), 2u);
    }
    EXPECT_EQ(SgImage::ImageListenerCount(), 1u);
    SgImage::RemoveImageListener(keep.Get(), 1);
    EXPECT_EQ(SgImage::ImageListenerCount(), 1u) << "only the matching pair goes";
    SgImage::RemoveImageListener(keep.Get(), 0);
    EXPECT_EQ(SgImage::ImageListenerCount(), 0u);
}

TEST_F(ImageTest, FormatIfReadableSharesOneRawImage) {
    TempDir dir;
    WriteBmp(dir.File("a.bmp"), 2, 2);
    WriteBmp(dir.File("b.bmp"), 4, 1);
    SgRawImageData* a = SgImage::FormatIfReadable(dir.File("a.bmp").c_str());
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->Width(), 2u);
    SgRawImageData* b = SgImage::FormatIfReadable(dir.File("b.bmp").c_str());
    EXPECT_EQ(a, b);
    EXPECT_EQ(b->Width(), 4u);
    EXPECT_EQ(SgImage::FormatIfReadable(dir.File("c.bmp").c_str()), nullptr);
}

TEST_F(ImageTest, ComparesFileNamesWithoutDirectoryExtensionOrCase) {
    SgRef<SgImage> a(new SgImage), b(new SgImage);
    a->SetFileName("textures/Wall.BMP");
    b->SetFileName("other\\wall.tga");
    EXPECT_TRUE(a->IsEqualTo(b.Get()));
    b->formatKind = 3;
    EXPECT_FALSE(a->IsEqualTo(b.Get()));
    b->formatKind = a->formatKind;
    b->SetFileName("wall2.bmp");
    EXPECT_FALSE(a->IsEqualTo(b.Get()));
    b->SetFileName(nullptr);
    EXPECT_FALSE(a->IsEqualTo(b.Get()));

    // With raw data the pixels decide, not the names.
    SgRef<SgRawImageData> raw(new SgRawImageData);
    ASSERT_TRUE(raw->ResizeRawImage(1, 1, 1));
    a->SetRawData(raw.Get());
    EXPECT_FALSE(a->IsEqualTo(b.Get()));
    b->SetRawData(raw.Get());
    b->SetFileName("something.bmp");
    EXPECT_TRUE(a->IsEqualTo(b.Get()));
}

TEST_F(ImageTest, OneImageFileIsOneImageWithinALoad) {
    TempDir dir;
    WriteBmp(dir.File("wall.bmp"), 2, 2);
    std::vector<uint8_t> bytes;
    {
        SgRef<SgTextureProperty> p1(new SgTextureProperty), p2(new SgTextureProperty);
        SgRef<SgImage> i1(new SgImage), i2(new SgImage);
        i1->SetFileName("wall.bmp");
        i2->SetFileName("textures\\wall.bmp");
        p1->AppendImage(i1.Get());
        p2->AppendImage(i2.Get());
        SgSceneStream out;
        out.InsertObject(p1.Get());
        out.InsertObject(p2.Get());
        ASSERT_TRUE(out.Save(bytes));
    }
    dir.Enter();
    SgImage::SetMipmapSwitch(true);
    SgSceneStream in;
    ASSERT_TRUE(in.Load(bytes.data(), bytes.size())) << SgSceneStream::ErrorMessage();
    ASSERT_EQ(in.TopLevelCount(), 2u);
    auto* p1 = SgKindCast<SgTextureProperty>(in.TopLevelObject(0));
    auto* p2 = SgKindCast<SgTextureProperty>(in.TopLevelObject(1));
    ASSERT_TRUE(p1 && p2);
    ASSERT_NE(p1->images.At(0), nullptr);
    EXPECT_EQ(p1->images.At(0), p2->images.At(0)) << "both records name wall.bmp";
    EXPECT_STREQ(p1->images.At(0)->FileName(), "wall.bmp");
    EXPECT_EQ(p1->images.At(0)->flags, SgImage::kWantsMipmaps) << "the mipmap switch applies to loaded images";
}

TEST_F(ImageTest, LoadedImagesComeFromTheFactory) {
    RecordingImageFactory factory;
    SgRef<SgImage> image(new SgImage);
    image->SetFileName("wall.bmp");
    SgSceneStream out;
    out.InsertObject(image.Get());
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(out.Save(bytes));
    SgSceneStream in;
    ASSERT_TRUE(in.Load(bytes.data(), bytes.size()));
    EXPECT_NE(SgKindCast<RecordingImage>(in.TopLevelObject(0)), nullptr);
}

TEST_F(ImageTest, SavingWithConversionWritesTheRawImageBeside) {
    TempDir dir;
    dir.Enter();
    WriteBmp("wall.bmp", 2, 1);
    SgRef<SgImage> image(new SgImage);
    image->SetFileName("wall.bmp");
    SgSceneStream out;
    out.SetConvertImages(true);
    out.InsertObject(image.Get());
    ASSERT_TRUE(out.SaveFile("model.sgf"));
    EXPECT_STREQ(image->FileName(), "wall.sgf");

    SgRef<SgRawImageData> fromSgf(new SgRawImageData), fromBmp(new SgRawImageData);
    ASSERT_TRUE(ReadImageFile("wall.sgf", fromSgf.Get()));
    ASSERT_TRUE(ReadImageFile("wall.bmp", fromBmp.Get()));
    EXPECT_TRUE(fromSgf->IsEqualTo(fromBmp.Get()));

    SgSceneStream in;
    ASSERT_TRUE(in.LoadFromFile("model.sgf"));
    EXPECT_STREQ(SgKindCast<SgImage>(in.TopLevelObject(0))->FileName(), "wall.sgf");
}

}  // namespace
