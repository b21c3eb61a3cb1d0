#pragma once
// The sgf scene stream: reads a file of object records into fresh objects, links the references
// between them and hands back the top-level objects; writes a set of top-level objects and
// everything reachable from them into one file.
//
// File layout (little-endian): four header lines ended by a line feed, then records until the
// string "End Of File". A string is a u32 count and that many bytes (no terminator; 0 for none).
// A record is optionally "Top Level Object", then the class name, the SgObject part (u32 link id,
// name, u32 extra-data count, each extra data as class name and fields) and the fields of each
// class from SgObject down, base first; references are stored as link ids, 0 for none.
//
// Files are untrusted: every read is bounds-checked, every count is checked against the bytes
// that remain, and any failure ends the load with an error code, destroying every object the load
// made. A stream is made for one load or one save. It holds a reference to every object it
// loaded until it is destroyed, so callers take references to what they keep before that.

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "common/byte_reader.h"
#include "common/byte_writer.h"
#include "engine/core/sg_array.h"
#include "engine/core/sg_hash_map.h"
#include "engine/core/sg_object.h"

// Error codes of the last load (process-wide, reset by every stream's construction).
enum SgStreamError : uint32_t {
    SG_STREAM_OK = 0,
    SG_STREAM_CANNOT_OPEN = 1,         // "<file> cannot load file"
    SG_STREAM_NOT_SGF = 2,             // "is not a SGF file"
    SG_STREAM_OLDER_VERSION = 3,       // "<version> is older version, expecting 2.3"
    SG_STREAM_LATER_VERSION = 4,       // "<version> is later version, expecting 2.3"
    SG_STREAM_NO_CREATE_FUNCTION = 5,  // "<class> cannot find create function" (also abstract classes)
    SG_STREAM_DAMAGED = 6,             // "<class> record is damaged" (short data, bad count, repeated
                                       // id) or "End Of File record is missing"
};

class SgSceneStream {
public:
    static constexpr const char* kFormatLine = "Scenegrove File Format, Version 2.3";
    static constexpr const char* kVersion = "2.3";
    static constexpr size_t kVersionOffset = 32;
    static const char* const kBannerLines[3];
    static constexpr const char* kTopLevelMarker = "Top Level Object";
    static constexpr const char* kEndMarker = "End Of File";
    static constexpr uint32_t kLinkBuckets = 32768;
    // The largest file LoadFromFile reads; our models are a few hundred kilobytes.
    static constexpr size_t kMaxFileBytes = 64u << 20;
    // The longest chain of references (a node, its child, the child's child ...) a load accepts;
    // a longer one is a damaged file. Every walk of a graph (release, saving, update, drawing,
    // flattening, copying, picking) recurses once per level: real scenes stay within tens of
    // levels, and this many keep every walk well inside the stack, sanitizers included.
    static constexpr uint32_t kMaxNesting = 1024;

    using SaveHook = void (*)(SgSceneStream& stream);
    using LinkedHook = void (*)(SgObject* object);

    SgSceneStream();
    ~SgSceneStream();
    SgSceneStream(const SgSceneStream&) = delete;
    SgSceneStream& operator=(const SgSceneStream&) = delete;

    // Loading. LoadFromFile reads the whole file through SgOpenFile and keeps its name (for image
    // paths). On failure the error code and message say why and nothing of the load survives.
    bool LoadFromFile(const char* fileName);
    bool Load(const void* data, size_t size);

    // Saving the top-level list and everything reachable from it. SaveFile reports a failed
    // open, write or close as false (no error code).
    bool SaveFile(const char* fileName);
    bool Save(std::vector<uint8_t>& out);

    // The top-level list: plain pointers, in file order or as inserted.
    void InsertObject(SgObject* object);
    bool IsTopLevel(const SgObject* object) const { return topLevelSet_.count(object) != 0; }
    uint32_t TopLevelCount() const { return topLevel_.UsedSize(); }
    SgObject* TopLevelObject(uint32_t i) const { return topLevel_.At(i); }
    // Every object the loads of this stream made, in the order they were read.
    size_t LoadedCount() const { return loaded_.size(); }
    SgObject* LoadedObject(size_t i) const { return i < loaded_.size() ? loaded_[i].Get() : nullptr; }

    // The link-id map of a load: stored id -> object. Id 0 is never entered. Linking walks it in the
    // order of a chained table of 32768 buckets (bucket by bucket, each chain newest first).
    bool MapInsert(uint32_t key, SgObject* object);
    void MapSet(uint32_t key, SgObject* object);
    SgObject* ResolveLinkId(uint32_t key) const;
    void MapClear();
    // ResolveLinkId checked against the class the reference must have: a file that names an
    // object of another class gets null, never a pointer of the wrong type.
    template <class T>
    T* Resolve(uint32_t key) const {
        return SgKindCast<T>(ResolveLinkId(key));
    }
    static uint32_t LinkBucket(uint32_t key);

    // Saving: EnterForSave gives the object the next link id (1, 2, ...) unless it has one, and
    // says whether it was new. LinkIdOf gives 0 for null and for objects not entered.
    bool EnterForSave(SgObject* object);
    uint32_t LinkIdOf(const SgObject* object) const;

    // Reading fields of a record. A short read returns zeros and marks the stream failed.
    bool ReadOk() const { return reader_.Ok(); }
    uint8_t ReadU8() { return reader_.U8(); }
    uint16_t ReadU16() { return reader_.U16LE(); }
    uint32_t ReadU32() { return reader_.U32LE(); }
    int32_t ReadI32() { return reader_.I32LE(); }
    float ReadF32() { return reader_.F32LE(); }
    double ReadF64() { return reader_.F64LE(); }
    bool ReadBytes(void* out, size_t count) { return reader_.Bytes(out, count); }
    // True when nothing has failed yet and count items of at least bytesEach bytes can still
    // follow; marks failure if not.
    bool CheckCount(uint32_t count, size_t bytesEach) { return reader_.Ok() && reader_.NeedItems(count, bytesEach); }
    // Reads a string into a new heap text (new[]), or null for a count of 0 or below (and after a
    // failure); frees what `where` held before. Returns ReadOk().
    bool LoadString(char*& where);
    size_t Remaining() const { return reader_.Remaining(); }

    // Writing fields of a record.
    void WriteU8(uint8_t v) { writer_.U8(v); }
    void WriteU16(uint16_t v) { writer_.U16LE(v); }
    void WriteU32(uint32_t v) { writer_.U32LE(v); }
    void WriteI32(int32_t v) { writer_.I32LE(v); }
    void WriteF32(float v) { writer_.F32LE(v); }
    void WriteF64(double v) { writer_.F64LE(v); }
    void WriteBytes(const void* p, size_t n) { writer_.Bytes(p, n); }
    void SaveString(const char* text);
    void WriteLinkId(const SgObject* object) { WriteU32(LinkIdOf(object)); }

    // Work on a loaded object that must wait until every object of the load is linked (a walk of
    // a subtree that links in any order): called with the object right after the link step, in
    // the order asked for. Objects of a failed load are never called.
    void AfterLinking(SgObject* object, LinkedHook hook);

    // The name table: one object per name within a load (images named by file share one object).
    void SetNamedObject(const char* name, SgObject* object);
    SgObject* GetNamedObject(const char* name) const;

    // Finds the file an image record names: the name as stored ('\' read as '/'), then its file
    // name alone in the working directory, then its file name in the model's directory. Names
    // that are absolute or climb out with ".." are used only by their file name. On success the
    // name is replaced by a heap copy of the path found.
    bool ResolveImagePath(char*& name) const;

    // Saving with image conversion on writes every image file an image names as an sgf file of
    // its raw data beside it, and stores that name instead.
    void SetConvertImages(bool on) { convertImages_ = on; }
    bool ConvertImages() const { return convertImages_; }
    // Off for a save that must hold only its own objects (the save hooks add every action).
    void SetRunSaveHooks(bool on) { runSaveHooks_ = on; }

    const char* FileName() const { return fileName_; }
    const char* VersionText() const { return version_; }

    static uint32_t ErrorCode();
    static const char* ErrorMessage();

    // Functions called with the stream during every save, after the top-level objects have
    // registered (classes with process-wide lists register those objects this way). Added once.
    static void AddSaveHook(SaveHook hook);

private:
    bool LoadHeader();
    bool ReadRecords();
    // False (code 6) when the stored references chain deeper than kMaxNesting.
    bool NestingWithinLimit();
    void LinkAll();
    void FailLoad(size_t firstLoaded);
    void ClearTopLevel();
    bool ReadName(std::string& out);
    std::string ReadLine();
    static void SetError(uint32_t code, const char* format, ...) __attribute__((format(printf, 2, 3)));

    char version_[128] = {};
    bool convertImages_ = false;
    bool runSaveHooks_ = true;
    char* fileName_ = nullptr;
    ByteReader reader_;
    ByteWriter writer_;
    // InsertObject doubles it when full: a file of many top-level records would otherwise copy
    // the list for every record.
    SgPtrArray<SgObject*> topLevel_{1, 1};
    std::unordered_set<const SgObject*> topLevelSet_;
    // Link entries in insertion order, and key -> index into them.
    std::vector<std::pair<uint32_t, SgObject*>> linkEntries_;
    struct SpreadHash {
        size_t operator()(uint32_t k) const { return static_cast<size_t>(k * 0x9E3779B97F4A7C15ull >> 17); }
    };
    std::unordered_map<uint32_t, size_t, SpreadHash> linkIndex_;
    SgNameHashMap<SgObject*> names_{37};
    // Every object a load made, held until the stream goes.
    std::vector<SgRef<SgObject>> loaded_;
    std::unordered_map<const SgObject*, uint32_t> saveIds_;
    std::vector<SgObject*> saveOrder_;
    std::vector<std::pair<SgObject*, LinkedHook>> afterLinking_;
};

// Reads a u32 count and that many link ids onto the id list (null: read and dropped), for the
// link step to resolve. False when the count does not fit in what remains.
bool SgLoadLinkIds(SgSceneStream& stream, SgPtrArray<uint32_t>* ids);
