#pragma once
// The update files: the header line they share, text lines, the fields of a file list entry,
// and the file list itself with the choice of the entries that differ from the installed files.
// Every byte of these files comes from a server and is checked.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

constexpr const char* kPatchHeader = "Zandorf Patch";

// Longest header, server and count line; longest entry line; longest fields.
constexpr size_t kHeaderLineMax = 1023;
constexpr size_t kEntryLineMax = 511;
constexpr size_t kNameFieldMax = 255;
constexpr size_t kNumberFieldMax = 259;
constexpr int kMaxListEntries = 2500;
// No listed file is larger than this, packed or not.
constexpr uint32_t kMaxFileBytes = 512u * 1024 * 1024;

struct FileListEntry {
    char name[256];       // relative to the installation, lower case, '/' between directories
    uint32_t size;        // after inflation
    uint32_t packedSize;  // as sent
    uint32_t thirdNumber; // read and ignored
    uint32_t time;        // modification time, seconds since 1970-01-01 00:00 UTC
    bool needed;          // differs from the installed file
};

struct FileList {
    std::vector<FileListEntry> entries;
    uint64_t neededPackedTotal = 0;
};

// The list the last successful ParseFileList read (empty after a failed one).
extern FileList CurrentFileList;

enum class LineRead { Ok, End, TooLong, Bad };
// Reads one line (ending at a line feed, a carriage return before it dropped) of at most
// maxLength characters. End when the file has ended before any character; Bad for a zero byte.
LineRead ReadTextLine(FILE* f, std::string* line, size_t maxLength);

// Takes the line's first field (see file_list.cpp for quoting) and removes it from the line.
// False, with nothing taken, for an empty line, an unclosed quote or a field longer than
// maxLength.
bool TakeField(std::string& line, std::string* field, size_t maxLength);

// Takes a field and reads it as an unsigned 32-bit number in base (2 to 16): leading white
// space, for base 16 an optional "0x", digits up to the first other character (none: 0),
// FFFFFFFF beyond 32 bits. False, with value unchanged, when no field is taken (the line is
// empty, or the field is too long or opens a quote it never closes).
bool ParseHexField(std::string& line, uint32_t* value, int base);

// A to Z become a to z; nothing else changes.
void LowerCaseInPlace(char* text);

// A listed name made safe to use as a path inside the installation: '\' becomes '/' and A to Z
// lower case. False for a name that could leave the installation or cannot name a file in it:
// empty, absolute, holding ':' (drive letters), an empty or ".." component, a last component
// ".", a control character, or longer than 255 characters.
bool NormalizeListName(const std::string& raw, char (&out)[256]);

// Reads a whole file list and marks the entries whose installed file (looked up without regard
// to case from the working directory) is missing or differs in size or modification time.
bool ParseFileListStream(FILE* f, FileList* list);

// ParseFileListStream of the named file into CurrentFileList.
bool ParseFileList(const char* name);
