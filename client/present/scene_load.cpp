#include "client/present/scene_load.h"

#include <string>

#include "engine/core/sg_stream.h"
#include "platform/fs/fs.h"

namespace present {

bool LoadSceneFromOwnDirectory(const char* path, SgSceneStream& stream) {
    if (!path)
        return false;
    const std::string text = path;
    const size_t slash = text.find_last_of("/\\");
    const std::string directory = slash == std::string::npos ? std::string() : text.substr(0, slash);
    const std::string file = slash == std::string::npos ? text : text.substr(slash + 1);
    const std::string saved = platform::CurrentDirectory();
    const bool entered = directory.empty() || platform::ChangeDirectory(platform::ResolveGamePath(directory));
    const bool loaded = entered && stream.LoadFromFile(file.c_str());
    if (entered && !directory.empty())
        platform::ChangeDirectory(saved);
    return loaded;
}

}  // namespace present
