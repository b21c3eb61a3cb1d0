// The sgf scene stream: header checks, records, link ids, top-level objects, extra data, damaged
// files, saving and image paths.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

#include "common/byte_reader.h"
#include "common/byte_writer.h"
#include "engine/core/sg_array.h"
#include "engine/core/sg_property.h"
#include "engine/core/sg_registry.h"
#include "engine/core/sg_stream.h"
#include "tests/engine/support/sg_stream_cases.h"
#include "tests/support/temp_dir.h"

namespace {

// A class with references, as nodes have: a value and a list of children stored as link ids.
class TestNode : public SgObject {
public:
    static SgTypeRecord typeRecord;
    static int Register() { return SgClassRegistry::Register(typeRecord, SgCreateObject<TestNode, SgLinkIdData1>); }

    explicit TestNode(uint32_t v = 0) : value(v) {}
    const SgTypeRecord* GetTypeRecord() const override { return &typeRecord; }

    bool LoadFromStream(SgSceneStream& s) override {
        if (!SgObject::LoadFromStream(s))
            return false;
        value = s.ReadU32();
        uint32_t n = s.ReadU32();
        if (!s.CheckCount(n, 4))
            return false;
        SgLinkIdData1* link = LinkRecord<SgLinkIdData1>();
        for (uint32_t i = 0; i < n; ++i) {
            uint32_t id = s.ReadU32();
            if (link)
                link->IdList(0)->Append(id);
        }
        return s.ReadOk();
    }
    void LinkFromStream(SgSceneStream& s) override {
        SgObject::LinkFromStream(s);
        SgLinkIdData1* link = LinkRecord<SgLinkIdData1>();
        if (!link)
            return;
        SgPtrArray<uint32_t>& ids = *link->IdList(0);
        for (uint32_t i = 0; i < ids.UsedSize(); ++i)
            children.SetAtGrow(children.UsedSize(), s.Resolve<TestNode>(ids.At(i)));
    }
    bool RegisterInStream(SgSceneStream& s) override {
        if (!SgObject::RegisterInStream(s))
            return false;
        for (uint32_t i = 0; i < children.UsedSize(); ++i)
            if (TestNode* c = children.At(i))
                c->RegisterInStream(s);
        return true;
    }
    void SaveToStream(SgSceneStream& s) const override {
        SgObject::SaveToStream(s);
        s.WriteU32(value);
        s.WriteU32(children.UsedSize());
        for (uint32_t i = 0; i < children.UsedSize(); ++i)
            s.WriteLinkId(children.At(i));
    }
    bool IsEqualTo(const SgObject* other) const override {
        const TestNode* o = SgKindCast<TestNode>(other);
        if (!o || !SgObject::IsEqualTo(o) || o->value != value || o->children.UsedSize() != children.UsedSize())
            return false;
        for (uint32_t i = 0; i < children.UsedSize(); ++i)
            if (!SgSameObjects(children.At(i), o->children.At(i)))
                return false;
        return true;
    }

    uint32_t value;
    SgArray<TestNode> children{1, 1};
};
constinit SgTypeRecord TestNode::typeRecord{"SgTestNode", &SgObject::typeRecord};
const int g_testNodeRegistered = TestNode::Register();

// ---- Building files by hand ----

class FileBuilder {
public:
    explicit FileBuilder(const char* firstLine = SgSceneStream::kFormatLine, bool banners = true) {
        Line(firstLine);
        if (banners)
            for (const char* b : SgSceneStream::kBannerLines)
                Line(b);
    }
    FileBuilder& Line(const char* text) {
        w.Bytes(text, std::strlen(text));
        w.U8('\n');
        return *this;
    }
    FileBuilder& Str(const char* text) {
        w.U32LE(static_cast<uint32_t>(std::strlen(text)));
        w.Bytes(text, std::strlen(text));
        return *this;
    }
    FileBuilder& U32(uint32_t v) {
        w.U32LE(v);
        return *this;
    }
    // Class name, link id, no name, no extra data.
    FileBuilder& Object(const char* cls, uint32_t id) { return Str(cls).U32(id).U32(0).U32(0); }
    FileBuilder& Node(uint32_t id, uint32_t value, std::vector<uint32_t> children) {
        Object("SgTestNode", id).U32(value).U32(static_cast<uint32_t>(children.size()));
        for (uint32_t c : children)
            U32(c);
        return *this;
    }
    FileBuilder& End() { return Str(SgSceneStream::kEndMarker); }
    std::vector<uint8_t> Bytes() const { return w.Data(); }

    ByteWriter w;
};

size_t CountOf(const std::vector<uint8_t>& bytes, const std::string& text) {
    size_t n = 0;
    auto it = bytes.begin();
    while ((it = std::search(it, bytes.end(), text.begin(), text.end())) != bytes.end()) {
        ++n;
        ++it;
    }
    return n;
}

class SceneStream : public testing::Test {
protected:
    void SetUp() override { live = SgObject::LiveCount(); }
    void TearDown() override { EXPECT_EQ(SgObject::LiveCount(), live) << "objects leaked"; }
    uint32_t live = 0;
};

// ---- Header ----

TEST_F(SceneStream, HeaderErrors) {
    struct Case {
        std::string first;
        uint32_t code;
        std::string message;
    };
    const std::string base = "Scenegrove File Format, Version ";
    const Case cases[] = {
        {base + "2.2", SG_STREAM_OLDER_VERSION, "2.20 is older version, expecting 2.3"},
        {base + "2.10", SG_STREAM_OLDER_VERSION, "2.10 is older version, expecting 2.3"},
        {base + "2.4", SG_STREAM_LATER_VERSION, "2.40 is later version, expecting 2.3"},
        {base + "2.3\r", SG_STREAM_LATER_VERSION, "2.3\r is later version, expecting 2.3"},
        {base + "2.31", SG_STREAM_LATER_VERSION, "2.31 is later version, expecting 2.3"},
        {"Scenegrove File Format, Versio", SG_STREAM_NOT_SGF, "is not a SGF file"},  // 30 shared
        {"Scenegrove File Format, Versiox 2.3", SG_STREAM_NOT_SGF, "is not a SGF file"},  // 31 shared
        {"scenegrove File Format, Version 2.3", SG_STREAM_NOT_SGF, "is not a SGF file"},  // first differs
        {"", SG_STREAM_NOT_SGF, "is not a SGF file"},
        // 128 characters: the line is read up to its 127th, so 95 of them are the version.
        {base + "2.3" + std::string(93, 'x'), SG_STREAM_LATER_VERSION,
         "2.3" + std::string(92, 'x') + " is later version, expecting 2.3"},
        {"PK\x03\x04", SG_STREAM_NOT_SGF, "is not a SGF file"},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = FileBuilder(c.first.c_str()).End().Bytes();
        SgSceneStream s;
        EXPECT_FALSE(s.Load(bytes.data(), bytes.size())) << c.first;
        EXPECT_EQ(SgSceneStream::ErrorCode(), c.code) << c.first;
        EXPECT_EQ(std::string(SgSceneStream::ErrorMessage()), c.message) << c.first;
    }
    // 32 shared characters are enough to read a version.
    std::vector<uint8_t> bytes = FileBuilder("Scenegrove File Format, Version 9").End().Bytes();
    SgSceneStream s;
    EXPECT_FALSE(s.Load(bytes.data(), bytes.size()));
    EXPECT_EQ(SgSceneStream::ErrorCode(), SG_STREAM_LATER_VERSION);

    // A file that ends inside its first line still has that line's last character read.
    const std::string cut = base + "2.4";
    SgSceneStream cutShort;
    EXPECT_FALSE(cutShort.Load(cut.data(), cut.size()));
    EXPECT_EQ(SgSceneStream::ErrorCode(), SG_STREAM_LATER_VERSION);
    EXPECT_STREQ(SgSceneStream::ErrorMessage(), "2.40 is later version, expecting 2.3");

    SgSceneStream fresh;  // every stream starts with a clean error
    EXPECT_EQ(SgSceneStream::ErrorCode(), 0u);
    EXPECT_STREQ(SgSceneStream::ErrorMessage(), "");
}

TEST_F(SceneStream, BannerLinesMustMatchExactly) {
    for (int line = 0; line < 3; ++line) {
        FileBuilder f(SgSceneStream::kFormatLine, false);
        for (int i = 0; i < 3; ++i) {
            std::string banner = SgSceneStream::kBannerLines[i];
            if (i == line)
                banner[5] ^= 0x20;
            f.Line(banner.c_str());
        }
        std::vector<uint8_t> bytes = f.End().Bytes();
        SgSceneStream s;
        EXPECT_FALSE(s.Load(bytes.data(), bytes.size()));
        EXPECT_EQ(SgSceneStream::ErrorCode(), SG_STREAM_NOT_SGF) << line;
    }
    std::vector<uint8_t> good = FileBuilder().End().Bytes();
    SgSceneStream s;
    EXPECT_TRUE(s.Load(good.data(), good.size()));
    EXPECT_STREQ(s.VersionText(), "2.3");
    EXPECT_EQ(s.TopLevelCount(), 0u);
}

// ---- Records ----

TEST_F(SceneStream, UnknownAndAbstractClassesFailWithCode5) {
    struct Case {
        const char* cls;
        const char* message;
    };
    const Case cases[] = {
        {"SgNoSuchClass", "SgNoSuchClass cannot find create function"},
        {"SgProperty", "SgProperty cannot find create function"},  // abstract: makes nothing
        {"SgObject", "SgObject cannot find create function"},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = FileBuilder().Node(1, 7, {}).Str("Top Level Object").Object(c.cls, 2).End().Bytes();
        SgSceneStream s;
        EXPECT_FALSE(s.Load(bytes.data(), bytes.size()));
        EXPECT_EQ(SgSceneStream::ErrorCode(), SG_STREAM_NO_CREATE_FUNCTION);
        EXPECT_STREQ(SgSceneStream::ErrorMessage(), c.message);
        EXPECT_EQ(s.TopLevelCount(), 0u);
        EXPECT_EQ(SgObject::LiveCount(), live) << "the node made before the failure must go";
    }
}

TEST_F(SceneStream, TopLevelMarkerAppliesToTheNextRecordOnly) {
    std::vector<uint8_t> bytes =
        FileBuilder().Node(5, 1, {}).Str("Top Level Object").Node(9, 2, {5}).Node(11, 3, {}).End().Bytes();
    SgSceneStream s;
    ASSERT_TRUE(s.Load(bytes.data(), bytes.size())) << SgSceneStream::ErrorMessage();
    ASSERT_EQ(s.TopLevelCount(), 1u);
    SgRef<TestNode> top(SgKindCast<TestNode>(s.TopLevelObject(0)));
    ASSERT_TRUE(top);
    EXPECT_EQ(top->value, 2u);
    ASSERT_EQ(top->children.UsedSize(), 1u);
    EXPECT_EQ(top->children.At(0)->value, 1u);
    EXPECT_EQ(top->LinkRecordBase(), nullptr) << "link records go after linking";

    // Saving it again marks it, and only it.
    std::vector<uint8_t> again = SaveAsTopLevel(top.Get());
    EXPECT_EQ(CountOf(again, "Top Level Object"), 1u);
    EXPECT_EQ(CountOf(again, "SgTestNode"), 2u);
}

TEST_F(SceneStream, LinkIdZeroUnknownIdsAndWrongClassesResolveToNothing) {
    // Node 1 names nothing (0), an unknown id, a property (another class) and node 3. The dither
    // record is the object part, the override byte and its one byte.
    FileBuilder f;
    f.Str("Top Level Object").Node(1, 0, {0, 77, 2, 3}).Object("SgDitherProperty", 2);
    f.w.U8(0);
    f.w.U8(1);
    f.Node(3, 4, {}).End();
    std::vector<uint8_t> bytes = f.Bytes();
    SgSceneStream s;
    ASSERT_TRUE(s.Load(bytes.data(), bytes.size())) << SgSceneStream::ErrorMessage();
    SgRef<TestNode> top(SgKindCast<TestNode>(s.TopLevelObject(0)));
    ASSERT_TRUE(top);
    ASSERT_EQ(top->children.UsedSize(), 4u);
    EXPECT_EQ(top->children.At(0), nullptr);
    EXPECT_EQ(top->children.At(1), nullptr);
    EXPECT_EQ(top->children.At(2), nullptr) << "a property is not a node";
    ASSERT_NE(top->children.At(3), nullptr);
    EXPECT_EQ(top->children.At(3)->value, 4u);
    EXPECT_EQ(s.ResolveLinkId(0), nullptr);
}

TEST_F(SceneStream, RepeatedLinkIdFailsAndDestroysTheLoad) {
    std::vector<uint8_t> bytes = FileBuilder().Str("Top Level Object").Node(4, 1, {}).Node(4, 2, {}).End().Bytes();
    SgSceneStream s;
    EXPECT_FALSE(s.Load(bytes.data(), bytes.size()));
    EXPECT_EQ(SgSceneStream::ErrorCode(), SG_STREAM_DAMAGED);
    EXPECT_STREQ(SgSceneStream::ErrorMessage(), "SgTestNode record is damaged");
    EXPECT_EQ(s.TopLevelCount(), 0u);
    EXPECT_EQ(SgObject::LiveCount(), live);

    std::vector<uint8_t> zero = FileBuilder().Node(0, 1, {}).End().Bytes();
    EXPECT_FALSE(s.Load(zero.data(), zero.size()));
    EXPECT_EQ(SgSceneStream::ErrorCode(), SG_STREAM_DAMAGED);
}

TEST_F(SceneStream, CountsBeyondTheDataFailWithoutAllocating) {
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    std::vector<Case> cases;
    cases.push_back({"child count", FileBuilder().Object("SgTestNode", 1).U32(0).U32(0x40000000).End().Bytes()});
    cases.push_back({"extra count", FileBuilder().Str("SgTestNode").U32(1).U32(0).U32(0xFFFFFFFF).Bytes()});
    cases.push_back({"extra bytes",
                     FileBuilder().Str("SgTestNode").U32(1).U32(0).U32(1).Str("SgExtraData").U32(0x7FFFFFF0).Bytes()});
    cases.push_back({"name length", FileBuilder().Str("SgTestNode").U32(1).U32(0x7FFFFFFF).Bytes()});
    cases.push_back({"class name length", FileBuilder().U32(0xFFFFFFF0).Bytes()});
    cases.push_back({"no end marker", FileBuilder().Node(1, 0, {}).Bytes()});
    for (const Case& c : cases) {
        SgSceneStream s;
        EXPECT_FALSE(s.Load(c.bytes.data(), c.bytes.size())) << c.what;
        EXPECT_EQ(SgSceneStream::ErrorCode(), SG_STREAM_DAMAGED) << c.what;
    }
    EXPECT_STREQ(SgSceneStream::ErrorMessage(), "End Of File record is missing");
}

TEST_F(SceneStream, SharedChildIsWrittenOnceAndLoadsAsOneObject) {
    std::vector<uint8_t> bytes;
    {
        SgRef<TestNode> shared(new TestNode(3));
        SgRef<TestNode> a(new TestNode(1)), b(new TestNode(2));
        a->children.SetAtGrow(0, shared.Get());
        b->children.SetAtGrow(0, shared.Get());
        SgSceneStream s;
        s.InsertObject(a.Get());
        s.InsertObject(b.Get());
        s.InsertObject(a.Get());  // already there
        EXPECT_EQ(s.TopLevelCount(), 2u);
        ASSERT_TRUE(s.Save(bytes));
    }
    EXPECT_EQ(CountOf(bytes, "SgTestNode"), 3u);
    EXPECT_EQ(CountOf(bytes, "Top Level Object"), 2u);

    SgSceneStream s;
    ASSERT_TRUE(s.Load(bytes.data(), bytes.size()));
    ASSERT_EQ(s.TopLevelCount(), 2u);
    auto* a = SgKindCast<TestNode>(s.TopLevelObject(0));
    auto* b = SgKindCast<TestNode>(s.TopLevelObject(1));
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->value + b->value, 3u);
    ASSERT_NE(a->children.At(0), nullptr);
    EXPECT_EQ(a->children.At(0), b->children.At(0));
    EXPECT_EQ(a->children.At(0)->value, 3u);
}

TEST_F(SceneStream, CyclesEndTheRegistration) {
    SgRef<TestNode> a(new TestNode(1)), b(new TestNode(2));
    a->children.SetAtGrow(0, b.Get());
    b->children.SetAtGrow(0, a.Get());
    std::vector<uint8_t> bytes = SaveAsTopLevel(a.Get());
    EXPECT_EQ(CountOf(bytes, "SgTestNode"), 2u);
    b->children.RemoveAll();  // break the cycle so both can go
}

TEST_F(SceneStream, ObjectsNobodyKeepsGoWithTheStream) {
    std::vector<uint8_t> bytes = FileBuilder().Node(1, 0, {}).Str("Top Level Object").Node(2, 0, {}).End().Bytes();
    SgRef<SgObject> kept;
    {
        SgSceneStream s;
        ASSERT_TRUE(s.Load(bytes.data(), bytes.size()));
        EXPECT_EQ(SgObject::LiveCount(), live + 2);
        kept = s.TopLevelObject(0);
    }
    EXPECT_EQ(SgObject::LiveCount(), live + 1);
    EXPECT_EQ(kept->RefCount(), 1u);
}

TEST_F(SceneStream, GraphRoundTripsAndEveryTruncationFails) {
    CheckStreamRoundTrip({"graph", [] {
                              auto* root = new TestNode(10);
                              root->AssignName("root");
                              auto* leaf = new TestNode(11);
                              root->children.SetAtGrow(0, leaf);
                              root->children.SetAtGrow(2, new TestNode(12));  // slot 1 stays empty
                              root->children.SetAtGrow(3, leaf);
                              root->PrependExtra(new SgStringExtraData("note"));
                              return SgRef<SgObject>(root);
                          }});
}

// Inputs the fuzzer once broke the loader with (leaks count: LeakSanitizer checks at exit).
TEST_F(SceneStream, FuzzRegressionsLoadSafely) {
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(SGF_REGRESSION_DIR)) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        {
            SgSceneStream s;
            s.Load(bytes.data(), bytes.size());
        }
        EXPECT_EQ(SgObject::LiveCount(), live) << entry.path();
        ++files;
    }
    EXPECT_GT(files, 0);
}

// ---- Extra data ----

TEST_F(SceneStream, UnregisteredExtraDataKeepsItsBytes) {
    FileBuilder f;
    f.Str("Top Level Object").Str("SgTestNode").U32(1).U32(0).U32(3);
    f.Str("SgGameTint").U32(5).U32(0x04030201).w.U8(5);  // 5 bytes
    f.Str("SgStringExtraData").U32(0).U32(0);              // a null string
    f.Str("SgExtraData").U32(0);                           // no bytes
    f.U32(0).U32(0).End();
    std::vector<uint8_t> bytes = f.Bytes();
    SgSceneStream s;
    ASSERT_TRUE(s.Load(bytes.data(), bytes.size())) << SgSceneStream::ErrorMessage();
    SgObject* node = s.TopLevelObject(0);
    ASSERT_NE(node, nullptr);

    SgExtraData* tint = node->ExtraHead();  // file order, the link record gone
    ASSERT_NE(tint, nullptr);
    EXPECT_TRUE(tint->IsExactly(&SgExtraData::typeRecord));
    ASSERT_EQ(tint->byteCount, 5u);
    EXPECT_EQ(std::vector<uint8_t>(tint->bytes, tint->bytes + 5), (std::vector<uint8_t>{1, 2, 3, 4, 5}));
    auto* text = tint->next;
    ASSERT_NE(text, nullptr);
    ASSERT_TRUE(text->IsExactly(&SgStringExtraData::typeRecord));
    EXPECT_EQ(static_cast<SgStringExtraData*>(text)->text, nullptr);
    ASSERT_NE(text->next, nullptr);
    EXPECT_EQ(text->next->byteCount, 0u);
    EXPECT_EQ(text->next->next, nullptr);

    std::vector<uint8_t> again = SaveAsTopLevel(node);
    FileBuilder expect;
    expect.Str("Top Level Object").Str("SgTestNode").U32(1).U32(0).U32(3);
    expect.Str("SgExtraData").U32(5).U32(0x04030201).w.U8(5);
    expect.Str("SgStringExtraData").U32(0).U32(0);
    expect.Str("SgExtraData").U32(0);
    expect.U32(0).U32(0).End();
    EXPECT_EQ(again, expect.Bytes());
}

TEST_F(SceneStream, CloneRecordComesBackAsEmptyExtraData) {
    SgRef<TestNode> node(new TestNode(1)), copy(new TestNode(1));
    node->AttachCloneRecord(copy.Get());
    SgRef<SgObject> loaded = LoadSingleTopLevel(SaveAsTopLevel(node.Get()));
    ASSERT_TRUE(loaded);
    SgExtraData* e = loaded->ExtraHead();
    ASSERT_NE(e, nullptr);
    EXPECT_TRUE(e->IsExactly(&SgExtraData::typeRecord));
    EXPECT_EQ(e->byteCount, 0u);
    EXPECT_EQ(loaded->FindCloneRecord(), nullptr);
}

TEST_F(SceneStream, EmptyAndNegativeStringsReadAsNoText) {
    SgRef<TestNode> named(new TestNode(1));
    named->AssignName("");
    SgRef<SgObject> loaded = LoadSingleTopLevel(SaveAsTopLevel(named.Get()));
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->GetName(), nullptr);

    std::vector<uint8_t> negative = FileBuilder().Str("Top Level Object").Str("SgTestNode").U32(1).U32(0xFFFFFFFF)
                                        .U32(0).U32(0).U32(0).End().Bytes();
    SgSceneStream s;
    ASSERT_TRUE(s.Load(negative.data(), negative.size())) << SgSceneStream::ErrorMessage();
    EXPECT_EQ(s.TopLevelObject(0)->GetName(), nullptr);

    // The shortest real name survives.
    std::vector<uint8_t> oneChar =
        FileBuilder().Str("Top Level Object").Str("SgTestNode").U32(1).Str("a").U32(0).U32(0).U32(0).End().Bytes();
    SgSceneStream one;
    ASSERT_TRUE(one.Load(oneChar.data(), oneChar.size())) << SgSceneStream::ErrorMessage();
    ASSERT_NE(one.TopLevelObject(0)->GetName(), nullptr);
    EXPECT_STREQ(one.TopLevelObject(0)->GetName(), "a");
}

// ---- Saving ----

SgObject* g_hookObject = nullptr;
void RegisterHookObject(SgSceneStream& s) {
    if (g_hookObject)
        g_hookObject->RegisterInStream(s);
}

TEST_F(SceneStream, SaveHooksAddTheirObjects) {
    SgRef<TestNode> extra(new TestNode(42));
    g_hookObject = extra.Get();
    SgSceneStream::AddSaveHook(RegisterHookObject);
    SgSceneStream::AddSaveHook(RegisterHookObject);  // added once
    SgRef<TestNode> top(new TestNode(1));
    std::vector<uint8_t> bytes = SaveAsTopLevel(top.Get());
    g_hookObject = nullptr;
    EXPECT_EQ(CountOf(bytes, "SgTestNode"), 2u);
    EXPECT_EQ(CountOf(bytes, "Top Level Object"), 1u);
}

// Ids are handed out in registration order (1, 2, ...); records follow the link-id map's buckets:
// bucket(1) = 20251, bucket(2) = 7735, bucket(3) = 27987.
TEST_F(SceneStream, SaveWritesRecordsInLinkMapBucketOrder) {
    SgRef<TestNode> top(new TestNode(1));
    top->children.SetAtGrow(0, new TestNode(2));
    top->children.SetAtGrow(1, new TestNode(3));
    std::vector<uint8_t> expected =
        FileBuilder().Node(2, 2, {}).Str("Top Level Object").Node(1, 1, {2, 3}).Node(3, 3, {}).End().Bytes();
    EXPECT_EQ(SaveAsTopLevel(top.Get()), expected);
}

// Within a bucket the chain runs from the newest entry: ids 4 and 17715 share bucket 15470, so
// the record of 17715 comes right before that of 4.
TEST_F(SceneStream, SaveWritesABucketsNewestEntryFirst) {
    SgRef<TestNode> top(new TestNode(0));
    for (uint32_t i = 0; i < 140; ++i) {
        auto* child = new TestNode(1);
        for (uint32_t j = 0; j < 127; ++j)
            child->children.SetAtGrow(j, new TestNode(2));
        top->children.SetAtGrow(i, child);
    }
    std::vector<uint8_t> bytes = SaveAsTopLevel(top.Get());
    // Every record is a test node: walk them for their ids.
    ByteReader r(bytes.data(), bytes.size());
    r.Skip(std::strlen(SgSceneStream::kFormatLine) + 1);
    for (const char* banner : SgSceneStream::kBannerLines)
        r.Skip(std::strlen(banner) + 1);
    std::vector<uint32_t> ids;
    for (;;) {
        uint32_t length = r.U32LE();
        if (length > 64)
            break;
        std::string cls(length, '\0');
        r.Bytes(cls.data(), cls.size());
        if (cls == "Top Level Object")
            continue;
        if (cls != "SgTestNode" || !r.Ok())
            break;
        ids.push_back(r.U32LE());
        r.Skip(12);  // no name, no extra data, the value
        r.Skip(4 * size_t(r.U32LE()));
    }
    ASSERT_EQ(ids.size(), 1u + 140u + 140u * 127u);
    auto at = std::find(ids.begin(), ids.end(), 17715u);
    ASSERT_NE(at, ids.end());
    ASSERT_NE(at + 1, ids.end());
    EXPECT_EQ(at[1], 4u);
}

TEST_F(SceneStream, SaveFileReportsFailedWrites) {
    SgRef<TestNode> top(new TestNode(1));
    SgSceneStream s;
    s.InsertObject(top.Get());
    EXPECT_FALSE(s.SaveFile("/nonexistent-dir/x.sgf"));
    EXPECT_FALSE(s.SaveFile("/dev/full"));

    TempDir dir;
    std::string path = dir.File("model.sgf");
    ASSERT_TRUE(s.SaveFile(path.c_str()));
    SgSceneStream in;
    ASSERT_TRUE(in.LoadFromFile(path.c_str())) << SgSceneStream::ErrorMessage();
    EXPECT_STREQ(in.FileName(), path.c_str());
    ASSERT_EQ(in.TopLevelCount(), 1u);
    EXPECT_TRUE(top->IsEqualTo(in.TopLevelObject(0)));
}

TEST_F(SceneStream, FilesThatCannotBeReadAreCode1) {
    TempDir dir;
    std::vector<uint8_t> good = FileBuilder().End().Bytes();
    // A valid start, then more than the reader takes (sparse: nothing is written to disk).
    std::string big = dir.File("big.sgf");
    dir.Write("big.sgf", std::string(good.begin(), good.end()));
    ASSERT_EQ(truncate(big.c_str(), static_cast<off_t>(SgSceneStream::kMaxFileBytes) + 1), 0);
    std::string path = dir.File("missing.sgf");
    for (const std::string& name : {path, dir.Path(), big}) {
        SgSceneStream s;
        EXPECT_FALSE(s.LoadFromFile(name.c_str())) << name;
        EXPECT_EQ(SgSceneStream::ErrorCode(), SG_STREAM_CANNOT_OPEN) << name;
        EXPECT_EQ(std::string(SgSceneStream::ErrorMessage()), name + " cannot load file");
    }
    // At the limit it is read (what follows the end marker is not looked at).
    ASSERT_EQ(truncate(big.c_str(), static_cast<off_t>(SgSceneStream::kMaxFileBytes)), 0);
    SgSceneStream s;
    EXPECT_TRUE(s.LoadFromFile(big.c_str())) << SgSceneStream::ErrorMessage();
}

// ---- Nesting ----

// A chain of test nodes, each the only child of the one before; the first is top-level.
std::vector<uint8_t> Chain(uint32_t length) {
    FileBuilder f;
    f.Str("Top Level Object");
    for (uint32_t id = 1; id <= length; ++id)
        f.Node(id, id, id < length ? std::vector<uint32_t>{id + 1} : std::vector<uint32_t>{});
    return f.End().Bytes();
}

// The same chain reached through each node's later references: every node first names a shared
// leaf (id length + 1), the next link comes second and a third names the leaf again.
std::vector<uint8_t> ChainBehindALeaf(uint32_t length) {
    const uint32_t leaf = length + 1;
    FileBuilder f;
    f.Str("Top Level Object");
    for (uint32_t id = 1; id <= length; ++id)
        f.Node(id, id, id < length ? std::vector<uint32_t>{leaf, id + 1, leaf} : std::vector<uint32_t>{leaf});
    f.Node(leaf, 0, {});
    return f.End().Bytes();
}

// Every walk of a graph recurses once per level: a chain deeper than the limit would overflow the
// stack when the stream lets it go (20,000 levels under the sanitizers), so it is refused.
TEST_F(SceneStream, ChainsDeeperThanTheLimitAreDamaged) {
    const uint32_t limit = SgSceneStream::kMaxNesting;
    for (uint32_t length : {limit + 1, 20000u}) {
        for (const std::vector<uint8_t>& bytes : {Chain(length), ChainBehindALeaf(length)}) {
            SgSceneStream s;
            EXPECT_FALSE(s.Load(bytes.data(), bytes.size())) << length;
            EXPECT_EQ(SgSceneStream::ErrorCode(), SG_STREAM_DAMAGED) << length;
            EXPECT_STREQ(SgSceneStream::ErrorMessage(), "SgTestNode record is damaged");
            EXPECT_EQ(s.TopLevelCount(), 0u);
            EXPECT_EQ(SgObject::LiveCount(), live);
        }
    }
    std::vector<uint8_t> bytes = Chain(limit);
    SgSceneStream s;
    ASSERT_TRUE(s.Load(bytes.data(), bytes.size())) << SgSceneStream::ErrorMessage();
    const TestNode* n = SgKindCast<TestNode>(s.TopLevelObject(0));
    uint32_t depth = 0;
    for (; n; n = n->children.At(0))
        ++depth;
    EXPECT_EQ(depth, limit);
    EXPECT_EQ(SaveAsTopLevel(s.TopLevelObject(0)).size(), bytes.size());
}

// The limit counts levels, not objects or references: a wide file and one whose objects refer
// back to each other load. (The loop's references are broken afterwards so both can go.)
TEST_F(SceneStream, WideGraphsAndLoopsAreNotDeep) {
    FileBuilder wide;
    std::vector<uint32_t> children;
    for (uint32_t id = 2; id < 3000; ++id)
        children.push_back(id);
    wide.Str("Top Level Object").Node(1, 0, children);
    for (uint32_t id = 2; id < 3000; ++id)
        wide.Node(id, 0, {1});  // back to the top
    std::vector<uint8_t> bytes = wide.End().Bytes();
    SgSceneStream s;
    ASSERT_TRUE(s.Load(bytes.data(), bytes.size())) << SgSceneStream::ErrorMessage();
    auto* top = SgKindCast<TestNode>(s.TopLevelObject(0));
    ASSERT_TRUE(top);
    for (uint32_t i = 0; i < top->children.UsedSize(); ++i)
        top->children.At(i)->children.RemoveAll();
}

TEST(SceneStreamMaps, LinkMapAndNameTable) {
    EXPECT_EQ(SgSceneStream::LinkBucket(0), 0u);
    EXPECT_EQ(SgSceneStream::LinkBucket(1), 20251u);  // fraction(0.618...) x 32768
    EXPECT_LT(SgSceneStream::LinkBucket(0xFFFFFFFF), SgSceneStream::kLinkBuckets);

    SgRef<TestNode> a(new TestNode), b(new TestNode);
    SgSceneStream s;
    EXPECT_EQ(s.ResolveLinkId(5), nullptr);
    EXPECT_TRUE(s.MapInsert(5, a.Get()));
    EXPECT_FALSE(s.MapInsert(5, b.Get()));
    EXPECT_EQ(s.ResolveLinkId(5), a.Get());
    s.MapSet(5, b.Get());
    EXPECT_EQ(s.ResolveLinkId(5), b.Get());
    s.MapSet(6, a.Get());  // absent: nothing
    EXPECT_EQ(s.ResolveLinkId(6), nullptr);
    s.MapClear();
    EXPECT_EQ(s.ResolveLinkId(5), nullptr);

    s.SetNamedObject("wall.bmp", a.Get());
    s.SetNamedObject("wall.bmp", b.Get());
    EXPECT_EQ(s.GetNamedObject("wall.bmp"), b.Get());
    EXPECT_EQ(s.GetNamedObject("WALL.BMP"), nullptr);
}

// ---- Image paths ----

TEST(SceneStreamImages, ResolvesInsideTheModelOrWorkingDirectoryOnly) {
    TempDir dir;
    dir.Enter();
    dir.Write("models/wall.bmp", "x");
    dir.Write("here.bmp", "x");
    dir.Write("art/stone.bmp", "x");
    dir.Write("both.bmp", "x");
    dir.Write("models/both.bmp", "x");

    std::vector<uint8_t> empty = FileBuilder().End().Bytes();
    dir.Write("models/m.sgf", std::string(empty.begin(), empty.end()));
    SgSceneStream s;
    ASSERT_TRUE(s.LoadFromFile("models/m.sgf"));  // the stream now knows the model's directory
    std::string leaf = dir.Path().substr(dir.Path().rfind('/') + 1);
    std::string climbing = "../" + leaf + "/art/stone.bmp";  // exists, but outside by its spelling
    struct Case {
        const char* stored;
        bool found;
        const char* result;
    };
    const Case cases[] = {
        {"art\\stone.bmp", true, "art/stone.bmp"},            // as stored, '\' read as '/'
        {"textures\\here.bmp", true, "here.bmp"},             // its file name in the working directory
        {"C:\\game\\art\\wall.bmp", true, "models/wall.bmp"}, // its file name beside the model
        {"art\\both.bmp", true, "both.bmp"},                 // in both: the working directory's
        {"/etc/here.bmp", true, "here.bmp"},                  // absolute: the file name only
        {climbing.c_str(), false, nullptr},                   // climbing out is not followed
        {"missing.bmp", false, nullptr},
    };
    for (const Case& c : cases) {
        char* name = SgCopyString(c.stored);
        EXPECT_EQ(s.ResolveImagePath(name), c.found) << c.stored;
        EXPECT_STREQ(name, c.found ? c.result : c.stored) << c.stored;
        delete[] name;
    }
}

}  // namespace
