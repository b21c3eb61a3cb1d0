#include "client/present/scene_load.h"

#include <set>
#include <string>

#include "client/present/scene_walk.h"
#include "engine/core/sg_image.h"
#include "engine/core/sg_stream.h"
#include "engine/core/sg_texture_property.h"
#include "platform/fs/fs.h"

namespace present {

namespace {

// The stream finds a texture beside the model while the model's directory is current, and keeps
// the name as found there; the pictures are read later, from the caller's directory, so such a
// name gets the model's directory in front.
void NameTexturesFromCaller(SgSceneStream& stream, const std::string& directory) {
    std::set<SgImage*> seen;
    for (uint32_t i = 0; i < stream.TopLevelCount(); ++i)
        ForEachSceneObject(SgKindCast<SgAVObject>(stream.TopLevelObject(i)), [&](SgAVObject* o) {
            for (SgProperty* property : o->properties) {
                if (property->PropertyType() != SG_TEXTURE_PROPERTY)
                    continue;
                auto* texture = static_cast<SgTextureProperty*>(property);
                for (uint32_t k = 0; k < texture->ImageCount(); ++k) {
                    SgImage* image = texture->images.At(k);
                    if (!image || !seen.insert(image).second)
                        continue;
                    const char* name = image->FileName();
                    if (name && *name && *name != '/' && *name != '\\' && platform::GameFileExists(name))
                        image->SetFileName((directory + "/" + name).c_str());
                }
            }
        });
}

}  // namespace

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
    if (loaded && !directory.empty())
        NameTexturesFromCaller(stream, directory);
    if (entered && !directory.empty())
        platform::ChangeDirectory(saved);
    return loaded;
}

}  // namespace present
