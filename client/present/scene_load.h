#pragma once
// Loads an sgf file from its own directory, so that the textures it names are found beside it;
// the current directory is the caller's again afterwards, whatever the load did.

class SgSceneStream;

namespace present {

bool LoadSceneFromOwnDirectory(const char* path, SgSceneStream& stream);

}  // namespace present
