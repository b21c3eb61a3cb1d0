#include "client/present/engine_files.h"

#include "engine/core/sg_file.h"
#include "platform/fs/fs.h"

namespace present {

void InstallGameFileOpener() {
    SgSetFileOpener([](const char* path, const char* mode) { return platform::OpenGameFile(path, mode); });
}

}  // namespace present
