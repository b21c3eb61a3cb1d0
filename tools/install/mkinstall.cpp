// mkinstall <dir> [game program] [spell program] [online]: writes the sample installation into dir;
// with "online" it plays against the service instead of alone.

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/install/install_step.h"

namespace {

struct StepEntry {
    const char* name;
    int rank;
    InstallFn fn;
};

std::vector<StepEntry>& Steps() {
    static std::vector<StepEntry> steps;
    return steps;
}

}  // namespace

InstallStep::InstallStep(const char* name, int rank, InstallFn fn) {
    Steps().push_back({name, rank, fn});
}

bool MakeParentDirs(const std::string& path) {
    for (size_t i = 1; i < path.size(); ++i) {
        if (path[i] != '/')
            continue;
        std::string dir = path.substr(0, i);
        if (::mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) {
            std::fprintf(stderr, "mkinstall: cannot create %s\n", dir.c_str());
            return false;
        }
    }
    return true;
}

bool WriteFileBytes(const std::string& path, const void* data, size_t size) {
    if (!MakeParentDirs(path))
        return false;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "mkinstall: cannot write %s\n", path.c_str());
        return false;
    }
    bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
    ok = std::fclose(f) == 0 && ok;
    if (!ok)
        std::fprintf(stderr, "mkinstall: write failed for %s\n", path.c_str());
    return ok;
}

bool WriteTextFile(const std::string& path, const std::string& text) {
    return WriteFileBytes(path, text.data(), text.size());
}

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: mkinstall <dir> [game program] [spell program] [online]\n");
        return 2;
    }
    InstallContext ctx;
    ctx.root = argv[1];
    while (ctx.root.size() > 1 && ctx.root.back() == '/')
        ctx.root.pop_back();
    ctx.gameProgram = argc > 2 ? argv[2] : "";
    ctx.spellProgram = argc > 3 ? argv[3] : "";
    ctx.online = argc > 4 && std::string(argv[4]) == "online";
    if (!MakeParentDirs(ctx.root + "/"))
        return 1;

    auto steps = Steps();
    std::sort(steps.begin(), steps.end(), [](const StepEntry& a, const StepEntry& b) {
        return a.rank != b.rank ? a.rank < b.rank : std::string(a.name) < b.name;
    });
    for (const StepEntry& s : steps) {
        if (!s.fn(ctx)) {
            std::fprintf(stderr, "mkinstall: step %s failed\n", s.name);
            return 1;
        }
    }
    return 0;
}
