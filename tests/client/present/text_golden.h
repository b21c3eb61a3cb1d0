#pragma once
// Text files of the presentation's tests compared with goldens under PRESENT_GOLDEN_DIR.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace presenttest {

inline std::string ReadText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Compares with the golden file, or writes it with QUORRIN_UPDATE_GOLDEN=1.
inline void ExpectGolden(const std::string& name, const std::string& text) {
    const std::filesystem::path golden = std::filesystem::path(PRESENT_GOLDEN_DIR) / name;
    const char* update = std::getenv("QUORRIN_UPDATE_GOLDEN");
    if (update && std::string(update) == "1") {
        std::ofstream(golden, std::ios::binary) << text;
        return;
    }
    EXPECT_EQ(text, ReadText(golden)) << name;
}

}  // namespace presenttest
