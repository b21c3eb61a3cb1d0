#include "engine/core/sg_stream.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstring>

#include "common/text.h"
#include "engine/core/sg_file.h"
#include "engine/core/sg_registry.h"

namespace {

constexpr size_t kMaxLine = 127;

uint32_t g_errorCode = SG_STREAM_OK;
char g_errorMessage[256] = {};

SgPtrArray<SgSceneStream::SaveHook>& SaveHooks() {
    static SgPtrArray<SgSceneStream::SaveHook> hooks(1, 1);
    return hooks;
}

constexpr size_t Length(const char* s) { return *s ? 1 + Length(s + 1) : 0; }

// The order in which a chained table of the link buckets walks n entries (entry i under the key
// keyOf(i), entered in index order): bucket by bucket, each chain from its newest entry.
template <class KeyOf>
std::vector<size_t> MapWalkOrder(size_t n, KeyOf keyOf) {
    std::vector<std::pair<uint32_t, size_t>> order;
    order.reserve(n);
    for (size_t i = 0; i < n; ++i)
        order.emplace_back(SgSceneStream::LinkBucket(keyOf(i)), i);
    std::sort(order.begin(), order.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first < b.first : a.second > b.second;
    });
    std::vector<size_t> indices;
    indices.reserve(n);
    for (const auto& o : order)
        indices.push_back(o.second);
    return indices;
}

}  // namespace

// Our own banner lines; readers compare them exactly, so they never change.
const char* const SgSceneStream::kBannerLines[3] = {
    "Scene files written by the Quorrin engine tools",
    "Scene graph object file",
    "Records follow here",
};
static_assert(Length("Scene files written by the Quorrin engine tools") == 47);
static_assert(Length("Scene graph object file") == 23);
static_assert(Length("Records follow here") == 19);
static_assert(Length(SgSceneStream::kFormatLine) == 35);

SgSceneStream::SgSceneStream() {
    g_errorCode = SG_STREAM_OK;
    g_errorMessage[0] = '\0';
}

SgSceneStream::~SgSceneStream() {
    delete[] fileName_;
    ClearTopLevel();
    // Objects nobody took a reference to go now.
    loaded_.clear();
}

uint32_t SgSceneStream::ErrorCode() { return g_errorCode; }
const char* SgSceneStream::ErrorMessage() { return g_errorMessage; }

void SgSceneStream::SetError(uint32_t code, const char* format, ...) {
    g_errorCode = code;
    va_list args;
    va_start(args, format);
    FormatTextV(g_errorMessage, sizeof g_errorMessage, format, args);
    va_end(args);
}

void SgSceneStream::AddSaveHook(SaveHook hook) {
    SgPtrArray<SaveHook>& hooks = SaveHooks();
    if (hook && hooks.Find(hook) < 0)
        hooks.Append(hook);
}

// ---- Loading ----

bool SgSceneStream::LoadFromFile(const char* fileName) {
    std::vector<uint8_t> data;
    if (!SgReadWholeFile(fileName, kMaxFileBytes, data)) {
        SetError(SG_STREAM_CANNOT_OPEN, "%s %s", fileName ? fileName : "", "cannot load file");
        return false;
    }
    char* copy = SgCopyString(fileName);
    delete[] fileName_;
    fileName_ = copy;
    return Load(data.data(), data.size());
}

bool SgSceneStream::Load(const void* data, size_t size) {
    reader_ = ByteReader(data, size);
    size_t firstLoaded = loaded_.size();
    if (!LoadHeader())
        return false;
    ClearTopLevel();
    if (!ReadRecords() || !NestingWithinLimit()) {
        FailLoad(firstLoaded);
        return false;
    }
    LinkAll();
    MapClear();
    return true;
}

std::string SgSceneStream::ReadLine() {
    std::string line;
    while (line.size() < kMaxLine && reader_.Remaining() > 0) {
        char c = static_cast<char>(reader_.U8());
        if (c == '\n')
            break;
        line.push_back(c);
    }
    return line;
}

bool SgSceneStream::LoadHeader() {
    std::string first = ReadLine();
    if (first == kFormatLine) {
        CopyText(version_, kVersion);
    } else {
        size_t shared = 0;
        while (shared < first.size() && shared < Length(kFormatLine) && first[shared] == kFormatLine[shared])
            ++shared;
        if (shared < kVersionOffset) {
            SetError(SG_STREAM_NOT_SGF, "is not a SGF file");
            return false;
        }
        std::string version = first.substr(kVersionOffset);
        if (version.size() == 3)
            version += "0";  // "2.2" reads as "2.20"
        CopyText(version_, version);
        int order = std::strcmp(version_, kVersion);
        if (order < 0) {
            SetError(SG_STREAM_OLDER_VERSION, "%s %s %s", version_, "is older version, expecting", kVersion);
            return false;
        }
        if (order > 0) {
            SetError(SG_STREAM_LATER_VERSION, "%s %s %s", version_, "is later version, expecting", kVersion);
            return false;
        }
    }
    for (const char* banner : kBannerLines) {
        if (ReadLine() != banner) {
            SetError(SG_STREAM_NOT_SGF, "is not a SGF file");
            return false;
        }
    }
    return true;
}

bool SgSceneStream::ReadName(std::string& out) {
    uint32_t count = reader_.U32LE();
    if (!reader_.Ok() || !reader_.Need(count))
        return false;
    out.assign(reinterpret_cast<const char*>(reader_.Current()), count);
    reader_.Skip(count);
    // What a terminated copy of the stored bytes would read.
    out.resize(std::strlen(out.c_str()));
    return true;
}

bool SgSceneStream::ReadRecords() {
    std::string className;
    for (;;) {
        if (!ReadName(className)) {
            SetError(SG_STREAM_DAMAGED, "%s %s", kEndMarker, "record is missing");
            return false;
        }
        if (className == kEndMarker)
            return true;
        bool topLevel = false;
        if (className == kTopLevelMarker) {
            topLevel = true;
            if (!ReadName(className)) {
                SetError(SG_STREAM_DAMAGED, "%s %s", kTopLevelMarker, "record is damaged");
                return false;
            }
        }
        SgCreateFunction create = SgClassRegistry::FindCreateFunction(className.c_str());
        if (!create) {
            SetError(SG_STREAM_NO_CREATE_FUNCTION, "%s %s", className.c_str(), "cannot find create function");
            return false;
        }
        SgObject* object = nullptr;
        bool ok = create(*this, &object);
        if (object)
            loaded_.emplace_back(object);
        if (!object) {
            // An abstract class: its fields would be misread, so the file cannot be trusted.
            SetError(SG_STREAM_NO_CREATE_FUNCTION, "%s %s", className.c_str(), "cannot find create function");
            return false;
        }
        if (!ok || !reader_.Ok()) {
            SetError(SG_STREAM_DAMAGED, "%s %s", className.c_str(), "record is damaged");
            return false;
        }
        if (topLevel)
            InsertObject(object);
    }
}

bool SgSceneStream::NestingWithinLimit() {
    // The references the records store, as edges between entries of the link-id map.
    size_t n = linkEntries_.size();
    std::vector<size_t> first(n + 1, 0), targets;
    auto addEdge = [&](uint32_t id) {
        auto it = id ? linkIndex_.find(id) : linkIndex_.end();
        if (it != linkIndex_.end())
            targets.push_back(it->second);
    };
    for (size_t i = 0; i < n; ++i) {
        first[i] = targets.size();
        if (SgLinkIdData* link = linkEntries_[i].second->LinkRecordBase()) {
            addEdge(link->refId);
            for (int list = 0; list < link->ListCount(); ++list)
                if (const SgPtrArray<uint32_t>* ids = link->IdList(list))
                    for (uint32_t k = 0; k < ids->UsedSize(); ++k)
                        addEdge(ids->At(k));
        }
    }
    first[n] = targets.size();

    // The longest chain from each object, by a depth-first walk with its own stack. A reference
    // back to an object still on the walk (a loop) adds nothing.
    enum : uint8_t { kUnseen, kOnWalk, kDone };
    std::vector<uint8_t> mark(n, kUnseen);
    std::vector<uint32_t> height(n, 1);
    std::vector<std::pair<size_t, size_t>> walk;  // object, next edge
    for (size_t root = 0; root < n; ++root) {
        if (mark[root] != kUnseen)
            continue;
        mark[root] = kOnWalk;
        walk.emplace_back(root, first[root]);
        while (!walk.empty()) {
            auto [v, edge] = walk.back();
            if (edge < first[v + 1]) {
                walk.back().second = edge + 1;
                size_t t = targets[edge];
                if (mark[t] == kUnseen) {
                    mark[t] = kOnWalk;
                    walk.emplace_back(t, first[t]);
                } else if (mark[t] == kDone) {
                    height[v] = std::max(height[v], height[t] + 1);
                }
                continue;
            }
            mark[v] = kDone;
            walk.pop_back();
            if (height[v] > kMaxNesting) {
                SetError(SG_STREAM_DAMAGED, "%s %s", linkEntries_[v].second->ClassName(), "record is damaged");
                return false;
            }
            if (!walk.empty())
                height[walk.back().first] = std::max(height[walk.back().first], height[v] + 1);
        }
    }
    return true;
}

void SgSceneStream::LinkAll() {
    // Collected first: linking may change the map (shared objects).
    std::vector<SgObject*> objects;
    objects.reserve(linkEntries_.size());
    for (size_t i : MapWalkOrder(linkEntries_.size(), [this](size_t i) { return linkEntries_[i].first; }))
        objects.push_back(linkEntries_[i].second);
    for (SgObject* object : objects) {
        object->LinkFromStream(*this);
        if (SgLinkIdData* record = object->LinkRecordBase()) {
            object->UnlinkExtra(record);
            delete record;
        }
    }
    // The stream holds every loaded object, so each one asked for is still there.
    std::vector<std::pair<SgObject*, LinkedHook>> after;
    after.swap(afterLinking_);
    for (const auto& [object, hook] : after)
        hook(object);
}

void SgSceneStream::AfterLinking(SgObject* object, LinkedHook hook) {
    if (object && hook)
        afterLinking_.emplace_back(object, hook);
}

void SgSceneStream::FailLoad(size_t firstLoaded) {
    afterLinking_.clear();
    MapClear();
    ClearTopLevel();
    names_.Clear();
    // Hold every object of this load while they go, so one that owns another cannot free it
    // under our feet; then let them all go.
    std::vector<SgRef<SgObject>> doomed(loaded_.begin() + static_cast<std::ptrdiff_t>(firstLoaded), loaded_.end());
    loaded_.resize(firstLoaded);
    doomed.clear();
}

bool SgSceneStream::LoadString(char*& where) {
    char* text = nullptr;
    int32_t count = reader_.I32LE();
    // Nothing is allocated once the record has gone wrong.
    if (reader_.Ok() && count > 0 && reader_.Need(static_cast<uint32_t>(count))) {
        text = new char[static_cast<uint32_t>(count) + 1];
        reader_.Bytes(text, static_cast<uint32_t>(count));
        text[count] = '\0';
    }
    delete[] where;
    where = text;
    return reader_.Ok();
}

// ---- The link-id map ----

uint32_t SgSceneStream::LinkBucket(uint32_t key) {
    double product = static_cast<double>(key) * 0.6180339887498949;
    double fraction = product - std::floor(product);
    uint32_t bucket = static_cast<uint32_t>(fraction * kLinkBuckets);
    return bucket < kLinkBuckets ? bucket : kLinkBuckets - 1;
}

bool SgSceneStream::MapInsert(uint32_t key, SgObject* object) {
    if (!linkIndex_.emplace(key, linkEntries_.size()).second)
        return false;
    linkEntries_.emplace_back(key, object);
    return true;
}

void SgSceneStream::MapSet(uint32_t key, SgObject* object) {
    auto it = linkIndex_.find(key);
    if (it != linkIndex_.end())
        linkEntries_[it->second].second = object;
}

SgObject* SgSceneStream::ResolveLinkId(uint32_t key) const {
    auto it = key ? linkIndex_.find(key) : linkIndex_.end();
    return it == linkIndex_.end() ? nullptr : linkEntries_[it->second].second;
}

void SgSceneStream::MapClear() {
    linkEntries_.clear();
    linkIndex_.clear();
}

// ---- Top level and names ----

void SgSceneStream::InsertObject(SgObject* object) {
    if (!object || !topLevelSet_.insert(object).second)
        return;
    if (topLevel_.UsedSize() == topLevel_.Capacity())
        topLevel_.ReserveMore(topLevel_.UsedSize());
    topLevel_.Append(object);
}

void SgSceneStream::ClearTopLevel() {
    topLevel_.RemoveAll();
    topLevelSet_.clear();
}

void SgSceneStream::SetNamedObject(const char* name, SgObject* object) { names_.Insert(name, object); }

SgObject* SgSceneStream::GetNamedObject(const char* name) const { return names_.Lookup(name); }

// ---- Saving ----

bool SgSceneStream::EnterForSave(SgObject* object) {
    if (!object)
        return false;
    auto [it, fresh] = saveIds_.emplace(object, static_cast<uint32_t>(saveOrder_.size() + 1));
    if (fresh)
        saveOrder_.push_back(object);
    return fresh;
}

uint32_t SgSceneStream::LinkIdOf(const SgObject* object) const {
    if (!object)
        return 0;
    auto it = saveIds_.find(object);
    return it == saveIds_.end() ? 0 : it->second;
}

void SgSceneStream::SaveString(const char* text) {
    uint32_t n = text ? static_cast<uint32_t>(std::strlen(text)) : 0;
    writer_.U32LE(n);
    if (n)
        writer_.Bytes(text, n);
}

bool SgSceneStream::Save(std::vector<uint8_t>& out) {
    writer_ = ByteWriter();
    saveIds_.clear();
    saveOrder_.clear();
    writer_.Bytes(kFormatLine, Length(kFormatLine));
    writer_.U8('\n');
    for (const char* banner : kBannerLines) {
        writer_.Bytes(banner, std::strlen(banner));
        writer_.U8('\n');
    }
    for (uint32_t i = 0; i < topLevel_.UsedSize(); ++i)
        if (SgObject* object = topLevel_.At(i))
            object->RegisterInStream(*this);
    SgPtrArray<SaveHook>& hooks = SaveHooks();
    for (uint32_t i = 0; runSaveHooks_ && i < hooks.UsedSize(); ++i)
        if (SaveHook hook = hooks.At(i))
            hook(*this);
    // Records in the link-id map's order, as the load walks it; the ids are the entry order, so
    // every save of one graph writes the same bytes.
    for (size_t i : MapWalkOrder(saveOrder_.size(), [](size_t i) { return static_cast<uint32_t>(i + 1); })) {
        SgObject* object = saveOrder_[i];
        if (IsTopLevel(object))
            SaveString(kTopLevelMarker);
        object->SaveToStream(*this);
    }
    SaveString(kEndMarker);
    saveIds_.clear();
    saveOrder_.clear();
    out = std::move(writer_.Data());
    writer_ = ByteWriter();
    return true;
}

bool SgSceneStream::SaveFile(const char* fileName) {
    std::FILE* f = SgOpenFile(fileName, "wb");
    if (!f)
        return false;
    std::vector<uint8_t> data;
    bool ok = Save(data);
    if (ok && !data.empty())
        ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    if (std::fflush(f) != 0)
        ok = false;
    if (std::fclose(f) != 0)
        ok = false;
    return ok;
}

// ---- Image paths ----

namespace {

// The file-name part of a path ('/', '\' and a drive colon all end a directory).
const char* BaseName(const char* path) {
    const char* base = path;
    for (const char* p = path; *p; ++p)
        if (*p == '/' || *p == '\\' || *p == ':')
            base = p + 1;
    return base;
}

// A name that stays below the directory it is taken relative to.
bool IsSafeRelative(const std::string& path) {
    if (path.empty() || path[0] == '/' || path.find(':') != std::string::npos)
        return false;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        if (path.compare(start, end - start, "..") == 0)
            return false;
        start = end + 1;
    }
    return true;
}

}  // namespace

bool SgSceneStream::ResolveImagePath(char*& name) const {
    if (!name || !*name)
        return false;
    std::string stored = name;
    for (char& c : stored)
        if (c == '\\')
            c = '/';
    std::string directory;
    if (fileName_) {
        directory.assign(fileName_, static_cast<size_t>(BaseName(fileName_) - fileName_));
        for (char& c : directory)
            if (c == '\\')
                c = '/';
    }
    std::string base = BaseName(stored.c_str());

    std::string found;
    if (IsSafeRelative(stored) && SgFileExists(stored.c_str()))
        found = stored;
    else if (!base.empty() && SgFileExists(base.c_str()))
        found = base;
    else if (!base.empty() && SgFileExists((directory + base).c_str()))
        found = directory + base;
    else
        return false;
    char* copy = SgCopyString(found.c_str());
    delete[] name;
    name = copy;
    return true;
}

bool SgLoadLinkIds(SgSceneStream& stream, SgPtrArray<uint32_t>* ids) {
    uint32_t n = stream.ReadU32();
    if (!stream.CheckCount(n, 4))
        return false;
    if (ids)
        ids->ReserveMore(n);
    for (uint32_t i = 0; i < n; ++i) {
        uint32_t id = stream.ReadU32();
        if (ids)
            ids->Append(id);
    }
    return stream.ReadOk();
}
