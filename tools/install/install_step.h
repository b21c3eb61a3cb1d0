#pragma once
// One part of the sample installation. Each step registers itself from its own file; mkinstall
// runs them in order of their rank (then name), so output does not depend on link order.

#include <string>

struct InstallContext {
    std::string root;         // the installation directory, without a trailing '/'
    std::string gameProgram;  // the built game program
    std::string spellProgram; // the built update utility
    bool online = false;      // the installation plays against the service ("datagram")
    std::string Path(const std::string& relative) const { return root + "/" + relative; }
};

using InstallFn = bool (*)(const InstallContext&);

struct InstallStep {
    InstallStep(const char* name, int rank, InstallFn fn);
};

// Creates every directory on the way to path's parent.
bool MakeParentDirs(const std::string& path);
// Writes a whole file; false on failure (and says so on standard error).
bool WriteFileBytes(const std::string& path, const void* data, size_t size);
bool WriteTextFile(const std::string& path, const std::string& text);
