#include "tests/support/temp_dir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

TempDir::TempDir() {
    std::string base = std::filesystem::temp_directory_path().string() + "/quorrin-test-XXXXXX";
    std::vector<char> buf(base.begin(), base.end());
    buf.push_back('\0');
    if (!::mkdtemp(buf.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = buf.data();
}

TempDir::~TempDir() {
    if (!previousDir_.empty())
        (void)::chdir(previousDir_.c_str());
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

void TempDir::Enter() {
    if (previousDir_.empty())
        previousDir_ = std::filesystem::current_path().string();
    if (::chdir(path_.c_str()) != 0)
        throw std::runtime_error("chdir failed");
}

void TempDir::Write(const std::string& relative, const std::string& content) const {
    std::filesystem::path p(File(relative));
    std::filesystem::create_directories(p.parent_path());
    std::ofstream f(p, std::ios::binary);
    f << content;
}

std::string TempDir::Read(const std::string& relative) const {
    std::ifstream f(File(relative), std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

bool TempDir::Exists(const std::string& relative) const {
    return std::filesystem::exists(File(relative));
}
