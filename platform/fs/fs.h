#pragma once
// Game files: every open of an installation file goes through here. Paths are used as the game
// writes them ("grids\%s.zpk", "light\syspal.pcx"): '\' becomes '/', and when the exact path does
// not exist each component is looked up without regard to case.

#include <cstdio>
#include <string>
#include <string_view>

namespace platform {

// The path with '/' separators, each existing component matched without regard to case. The
// components that do not exist are kept as given, so a new file can be created.
std::string ResolveGamePath(std::string_view path);

// fopen of the resolved path. A directory is not opened, in any mode.
FILE* OpenGameFile(std::string_view path, const char* mode);

bool GameFileExists(std::string_view path);

// Creates a new, empty temporary file in the same directory as path, opened "w+b"; its name goes
// to tempPath. Null on failure.
FILE* CreateTempFileBeside(std::string_view path, std::string* tempPath);

// The file path finally names: symbolic links followed, relative ones from their own directory
// (a dangling link gives the path it points at). path itself when it is no link.
std::string FollowLinks(const std::string& path);

// Renames from over to, replacing it in one step. False on failure.
bool ReplaceFile(const std::string& from, const std::string& to);

bool RemoveFile(const std::string& path);

// Changes the working directory; false on failure.
bool ChangeDirectory(const std::string& path);
// The working directory; empty when it cannot be read.
std::string CurrentDirectory();

// The directory of the running program's file.
std::string ProgramDirectory();

}  // namespace platform
