#include "engine/core/sg_image.h"

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "common/text.h"
#include "engine/core/sg_image_file.h"
#include "engine/core/sg_registry.h"
#include "engine/core/sg_render.h"
#include "engine/core/sg_stream.h"

namespace {

struct Listener {
    SgRender* object;
    uint32_t argument;
};

SgImage::Factory g_factory = nullptr;
uint32_t g_lastError = 0;
bool g_mipmapSwitch = false;
uint32_t g_nextImageId = SgImage::kFirstImageId;

std::vector<Listener>& Listeners() {
    // Never destroyed: images and renderers held by statics go at exit and still ask for it.
    static std::vector<Listener>* listeners = new std::vector<Listener>;
    return *listeners;
}

// The file-name part of a path without its extension.
std::string_view Stem(const char* path) {
    std::string_view name = path;
    size_t slash = name.find_last_of("/\\:");
    if (slash != std::string_view::npos)
        name.remove_prefix(slash + 1);
    size_t dot = name.rfind('.');
    if (dot != std::string_view::npos)
        name = name.substr(0, dot);
    return name;
}

// The name with its extension replaced by ".sgf" (added when it has none).
std::string SgfNameFor(const char* path) {
    std::string name = path;
    size_t slash = name.find_last_of("/\\:");
    size_t dot = name.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        name.resize(dot);
    return name + ".sgf";
}

bool CreateImage(SgSceneStream& stream, SgObject** out) {
    // Loaded images are the renderer's class too, so it can draw them.
    SgImage* image = g_factory ? g_factory() : nullptr;
    if (!image)
        image = new SgImage;
    *out = image;
    image->PrependExtra(new SgLinkIdData);
    return image->LoadFromStream(stream);
}

}  // namespace

constinit SgTypeRecord SgImage::typeRecord{"SgImage", &SgObject::typeRecord};

int SgImage::Register() { return SgClassRegistry::Register(typeRecord, CreateImage); }

const SgTypeRecord* SgImage::GetTypeRecord() const { return &typeRecord; }

SgImage::SgImage() : imageId(g_nextImageId++) {}

SgImage::~SgImage() {
    // A copy: a listener may deregister while it hears of the image.
    std::vector<Listener> listeners = Listeners();
    for (const Listener& l : listeners)
        if (l.object)
            l.object->ReleaseTextures(this);
    delete[] fileName_;
}

void SgImage::SetFileName(const char* name) {
    char* copy = SgCopyString(name);
    delete[] fileName_;
    fileName_ = copy;
}

void SgImage::MarkDirty() {}

bool SgImage::PrepareForListener(SgRender*, uint32_t) { return true; }

// ---- Creation ----

void SgImage::SetFactory(Factory factory) { g_factory = factory; }
SgImage::Factory SgImage::GetFactory() { return g_factory; }
uint32_t SgImage::LastError() { return g_lastError; }
void SgImage::SetLastError(uint32_t code) { g_lastError = code; }
void SgImage::SetMipmapSwitch(bool on) { g_mipmapSwitch = on; }
bool SgImage::MipmapSwitch() { return g_mipmapSwitch; }

SgRef<SgImage> SgImage::Finish(SgRef<SgImage> image, int mode, uint32_t value) {
    if (mode == 1 || (mode == 2 && g_mipmapSwitch))
        image->flags |= kWantsMipmaps;
    image->formatKind = value;
    std::vector<Listener> listeners = Listeners();
    for (const Listener& l : listeners)
        if (!image->PrepareForListener(l.object, l.argument))
            return {};  // the last reference goes with the refused image
    return image;
}

SgRef<SgImage> SgImage::MakeThroughFactory() {
    if (!g_factory)
        return {};
    SgRef<SgImage> image(g_factory());
    if (!image)
        g_lastError = kErrorNoImage;
    return image;
}

SgRef<SgImage> SgImage::CreateFromFile(const char* fileName, int mode, uint32_t value) {
    if (!fileName) {
        g_lastError = kErrorNoFileName;
        return {};
    }
    SgRef<SgImage> image = MakeThroughFactory();
    if (!image)
        return {};
    image->SetFileName(fileName);
    return Finish(std::move(image), mode, value);
}

SgRef<SgImage> SgImage::CreateFromRawData(SgRef<SgRawImageData> rawData, int mode, uint32_t value) {
    if (!rawData) {
        g_lastError = kErrorNoRawData;
        return {};
    }
    SgRef<SgImage> image = MakeThroughFactory();
    if (!image)
        return {};
    image->rawData_ = rawData.Get();
    return Finish(std::move(image), mode, value);
}

// ---- Listeners ----

void SgImage::AddImageListener(SgRender* listener, uint32_t argument) { Listeners().push_back({listener, argument}); }

void SgImage::RemoveImageListener(SgRender* listener, uint32_t argument) {
    std::vector<Listener>& list = Listeners();
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (it->object == listener && it->argument == argument) {
            list.erase(it);
            return;
        }
    }
}

void SgImage::ClearImageListeners() { Listeners().clear(); }

uint32_t SgImage::ImageListenerCount() { return static_cast<uint32_t>(Listeners().size()); }

// ---- Queries ----

SgRawImageData* SgImage::FormatIfReadable(const char* fileName) {
    static SgRef<SgRawImageData> shared(new SgRawImageData);
    return ReadImageFile(fileName, shared.Get()) ? shared.Get() : nullptr;
}

uint32_t SgImage::MipLevelCount(uint32_t width, uint32_t height) {
    auto isPowerOfTwo = [](uint32_t v) { return v != 0 && (v & (v - 1)) == 0; };
    if (!isPowerOfTwo(width) || !isPowerOfTwo(height))
        return 0;
    uint32_t smaller = width < height ? width : height;
    uint32_t levels = 0;
    while (smaller > 1) {
        smaller >>= 1;
        ++levels;
    }
    return levels;
}

// ---- Stream ----

bool SgImage::LoadFromStream(SgSceneStream& s) {
    if (!SgObject::LoadFromStream(s))
        return false;
    uint8_t byName = s.ReadU8();
    if (!s.ReadOk())
        return false;
    SgLinkIdData* link = LinkRecordBase();
    if (byName) {
        char* name = nullptr;
        if (!s.LoadString(name)) {
            delete[] name;
            return false;
        }
        if (name) {
            s.ResolveImagePath(name);  // a file not found keeps its stored name
            // Every record of one file naming this image file stands for one image.
            SgImage* shared = SgKindCast<SgImage>(s.GetNamedObject(name));
            if (shared && link)
                s.MapSet(link->linkId, shared);
            else if (!shared)
                s.SetNamedObject(name, this);
        }
        delete[] fileName_;
        fileName_ = name;
    } else {
        uint32_t id = s.ReadU32();
        if (link)
            link->refId = id;
    }
    formatKind = s.ReadU32();
    if (g_mipmapSwitch)
        flags |= kWantsMipmaps;
    return s.ReadOk();
}

void SgImage::LinkFromStream(SgSceneStream& s) {
    SgObject::LinkFromStream(s);
    if (SgLinkIdData* link = LinkRecordBase(); link && link->refId)
        rawData_ = s.Resolve<SgRawImageData>(link->refId);
}

bool SgImage::RegisterInStream(SgSceneStream& s) {
    if (!SgObject::RegisterInStream(s))
        return false;
    if (fileName_ && s.ConvertImages() && !EqualsNoCase(SgfNameFor(fileName_), fileName_)) {
        SgRef<SgRawImageData> raw(new SgRawImageData);
        std::string sgfName = SgfNameFor(fileName_);
        if (ReadImageFile(fileName_, raw.Get())) {
            SgSceneStream out;
            out.SetRunSaveHooks(false);
            out.InsertObject(raw.Get());
            if (out.SaveFile(sgfName.c_str()))
                SetFileName(sgfName.c_str());
        }
    }
    if (!fileName_ && rawData_)
        rawData_->RegisterInStream(s);
    return true;
}

void SgImage::SaveToStream(SgSceneStream& s) const {
    SgObject::SaveToStream(s);
    if (fileName_ || !rawData_) {
        s.WriteU8(1);
        s.SaveString(fileName_);
    } else {
        s.WriteU8(0);
        s.WriteLinkId(rawData_.Get());
    }
    s.WriteU32(formatKind);
}

bool SgImage::IsEqualTo(const SgObject* other) const {
    const SgImage* o = SgKindCast<SgImage>(other);
    if (!o || !SgObject::IsEqualTo(o))
        return false;
    if (rawData_ || o->rawData_) {
        if (!SgSameObjects(rawData_.Get(), o->rawData_.Get()))
            return false;
    } else {
        if (!fileName_ || !o->fileName_) {
            if (fileName_ || o->fileName_)
                return false;
        } else if (!EqualsNoCase(Stem(fileName_), Stem(o->fileName_))) {
            return false;
        }
    }
    return formatKind == o->formatKind;
}
