#include "tests/engine/support/sg_stream_cases.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "engine/core/sg_stream.h"

std::string SgStreamCaseName(const testing::TestParamInfo<SgStreamCase>& info) { return info.param.name; }

std::vector<uint8_t> SaveAsTopLevel(SgObject* object) {
    SgSceneStream stream;
    stream.InsertObject(object);
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(stream.Save(bytes));
    return bytes;
}

SgRef<SgObject> LoadSingleTopLevel(const std::vector<uint8_t>& bytes) {
    SgSceneStream stream;
    bool loaded = stream.Load(bytes.data(), bytes.size());
    EXPECT_TRUE(loaded) << SgSceneStream::ErrorMessage();
    EXPECT_EQ(stream.TopLevelCount(), 1u);
    if (!loaded || stream.TopLevelCount() != 1)
        return {};
    return SgRef<SgObject>(stream.TopLevelObject(0));
}

void CheckStreamRoundTrip(const SgStreamCase& c) {
    uint32_t live = SgObject::LiveCount();
    {
        SgRef<SgObject> original = c.make();
        ASSERT_TRUE(original);
        std::vector<uint8_t> bytes = SaveAsTopLevel(original.Get());
        SgRef<SgObject> loaded = LoadSingleTopLevel(bytes);
        ASSERT_TRUE(loaded);
        EXPECT_STREQ(loaded->ClassName(), original->ClassName());
        EXPECT_TRUE(original->IsEqualTo(loaded.Get()));
        EXPECT_TRUE(loaded->IsEqualTo(original.Get()));
        EXPECT_EQ(SaveAsTopLevel(loaded.Get()), bytes) << "a loaded object saves differently";

        // Every shorter file fails, and leaves nothing of what it made behind.
        uint32_t before = SgObject::LiveCount();
        for (size_t n = 0; n < bytes.size(); ++n) {
            SgSceneStream stream;
            ASSERT_FALSE(stream.Load(bytes.data(), n)) << "a file cut to " << n << " bytes loaded";
            EXPECT_NE(SgSceneStream::ErrorCode(), 0u);
            EXPECT_EQ(stream.TopLevelCount(), 0u);
            EXPECT_EQ(SgObject::LiveCount(), before) << "cut to " << n;
        }
    }
    if (c.cleanup)
        c.cleanup();
    EXPECT_EQ(SgObject::LiveCount(), live) << "objects leaked";
}

void CheckStreamSeed(const SgStreamCase& c) {
    SgRef<SgObject> object = c.make();
    ASSERT_TRUE(object);
    std::vector<uint8_t> bytes = SaveAsTopLevel(object.Get());
    std::string path = std::string(SGF_SEED_DIR) + "/" + c.name + ".sgf";
    const char* update = std::getenv("UPDATE_SGF_SEEDS");
    if (update && *update == '1') {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        ASSERT_TRUE(out.good()) << path;
        return;
    }
    std::ifstream in(path, std::ios::binary);
    ASSERT_TRUE(in.good()) << path << " is missing: run with UPDATE_SGF_SEEDS=1 and commit it";
    std::vector<uint8_t> seed((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(seed, bytes) << path << " differs from what the saver writes now (UPDATE_SGF_SEEDS=1 rewrites it)";
}
