// The built programs go into the installation so it can be started from there, with what the
// update utility reads.

#include <sys/stat.h>

#include <cstdio>
#include <vector>

#include "tools/install/install_step.h"

namespace {

bool CopyProgram(const std::string& from, const std::string& to) {
    if (from.empty())
        return true;
    FILE* in = std::fopen(from.c_str(), "rb");
    if (!in) {
        std::fprintf(stderr, "mkinstall: cannot read %s\n", from.c_str());
        return false;
    }
    std::vector<char> bytes;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, in)) > 0)
        bytes.insert(bytes.end(), buf, buf + n);
    std::fclose(in);
    if (!WriteFileBytes(to, bytes.data(), bytes.size()))
        return false;
    return ::chmod(to.c_str(), 0755) == 0;
}

// spell starts the client under the name "game.dll", so the client is there under both names.
// update.dat names the update server spell asks first: the local test server of the README.
bool CopyPrograms(const InstallContext& ctx) {
    return CopyProgram(ctx.gameProgram, ctx.Path("game")) && CopyProgram(ctx.gameProgram, ctx.Path("game.dll")) &&
           CopyProgram(ctx.spellProgram, ctx.Path("spell")) &&
           WriteTextFile(ctx.Path("update.dat"), "Zandorf Patch\nlocalhost:8642\n");
}

InstallStep g_step("programs", 90, CopyPrograms);

}  // namespace
