#pragma once
// File operations beyond opening: status, times, modes, directories and whole-file copies.
// Paths are used as given (no case resolution; see fs.h for that).

#include <cstdint>
#include <string>

namespace platform {

struct FileStatus {
    uint64_t size = 0;
    int64_t modifiedTime = 0;  // seconds since 1970-01-01 00:00 UTC
    bool isDirectory = false;
    bool isRegular = false;
};

// False when nothing is there.
bool GetFileStatus(const std::string& path, FileStatus* status);

// Sets the access and modification times (seconds since 1970-01-01 00:00 UTC).
bool SetFileTimes(const std::string& path, int64_t accessTime, int64_t modifiedTime);

// Creates one directory; false when it cannot be made (an existing one included).
bool MakeDirectory(const std::string& path);
// Removes an empty directory. False when it is not empty or cannot be removed.
bool RemoveDirectory(const std::string& path);

// Gives a freshly written file the permissions it should have in place of target: those of
// target when target exists, else the usual ones for a new file, executable when asked.
bool SetReplacementMode(const std::string& path, const std::string& target, bool executable);

// Copies the file from over to, replacing it in one step only once the copy is whole; the copy
// keeps the source's permissions. False (and to unchanged) on any failure.
bool CopyFileTo(const std::string& from, const std::string& to);

}  // namespace platform
