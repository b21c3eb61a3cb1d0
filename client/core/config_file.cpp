#include "client/core/config_file.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "common/text.h"
#include "platform/fs/file_ops.h"
#include "platform/fs/fs.h"

namespace {

constexpr size_t kCacheNameSize = 200;  // 199 characters and the terminator

struct FileCache {
    bool held = false;  // names too long to keep are never taken for a later request's
    char fileName[kCacheNameSize] = {};
    char section[kCacheNameSize] = {};
    FILE* file = nullptr;
    long position = 0;
};

struct StreamCache {
    bool held = false;
    FILE* stream = nullptr;
    char section[kCacheNameSize] = {};
    long position = 0;
};

FileCache g_fileCache;
StreamCache g_streamCache;

bool IsSpace(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

void CloseFileCache() {
    if (g_fileCache.file)
        std::fclose(g_fileCache.file);
    g_fileCache = FileCache{};
}

// Reads one piece of a line as every reader here takes it: up to and including the line feed, at
// most 254 bytes, so a longer line comes in several pieces. Zero bytes are counted like any other
// byte; a reader then sees the piece only up to its first one. The piece's length, 0 at the end.
size_t ReadPiece(FILE* f, char* piece) {
    size_t n = 0;
    int c;
    while (n + 1 < kConfigLineSize && (c = std::getc(f)) != EOF) {
        piece[n++] = static_cast<char>(c);
        if (c == '\n')
            break;
    }
    piece[n] = '\0';
    return n;
}

bool ReadRawLine(FILE* f, char* line) {
    return ReadPiece(f, line) > 0;
}

void StripLineEnd(char* line) {
    size_t n = std::strlen(line);
    while (n > 0 && (line[n - 1] == '\n' || line[n - 1] == '\r'))
        line[--n] = '\0';
}

// Copies the value behind the first '=' of a key line, bounded; empty when there is no '='.
void CopyValue(const char* line, char* out, size_t outSize, bool skipLeadingSpaces) {
    if (!out || outSize == 0)
        return;
    const char* eq = std::strchr(line, '=');
    if (!eq) {
        out[0] = '\0';
        return;
    }
    const char* v = eq + 1;
    if (skipLeadingSpaces)
        while (*v == ' ')
            ++v;
    CopyText(out, outSize, v);
    if (skipLeadingSpaces) {
        size_t n = std::strlen(out);
        while (n > 0 && out[n - 1] == ' ')
            out[--n] = '\0';
    }
}

void CopyDefault(char* out, size_t outSize, const char* defaultText) {
    if (out && outSize)
        CopyText(out, outSize, defaultText ? defaultText : "");
}

int ParseInt(const char* text) {
    errno = 0;
    long v = std::strtol(text, nullptr, 10);
    if (v > INT_MAX)
        return INT_MAX;
    if (v < INT_MIN)
        return INT_MIN;
    return static_cast<int>(v);
}

// What the file reader makes of a piece: line end removed, cut at ';', trimmed. Its length.
size_t ReaderLine(char* line) {
    StripLineEnd(line);
    if (char* semi = std::strchr(line, ';'))
        *semi = '\0';
    return TrimLine(line);
}

struct Piece {
    std::string raw;   // the bytes as they stand in the file
    std::string line;  // what the file reader makes of them
};

std::vector<Piece> ReadPieces(FILE* in) {
    std::vector<Piece> pieces;
    char buf[kConfigLineSize];
    while (size_t n = ReadPiece(in, buf)) {
        Piece p;
        p.raw.assign(buf, n);
        ReaderLine(buf);
        p.line = buf;
        pieces.push_back(std::move(p));
    }
    return pieces;
}

// A raw piece as the whole-value reader takes it: line end removed and trimmed, not cut at ';'.
std::string WholeLine(const std::string& raw) {
    char line[kConfigLineSize];
    CopyText(line, sizeof line, raw.c_str());
    StripLineEnd(line);
    TrimLine(line);
    return line;
}

std::string_view ValueOf(std::string_view line) {
    size_t eq = line.find('=');
    return eq == std::string_view::npos ? std::string_view() : line.substr(eq + 1);
}

bool HasLineBreakOrComment(std::string_view text) {
    return text.find_first_of(";\r\n") != std::string_view::npos;
}

// Whether the line key=value comes back from a read as this key and this value. The reader takes
// at most 254 characters a line, cuts lines at ';', trims them, ends the key at the first '='
// and takes a line starting with '[' for a section.
bool LineReadsBack(std::string_view key, std::string_view value, bool wholeValue) {
    const bool valueBreaks = wholeValue ? value.find_first_of("\r\n") != std::string_view::npos
                                        : HasLineBreakOrComment(value);
    if (HasLineBreakOrComment(key) || valueBreaks || key.find('=') != std::string_view::npos)
        return false;
    if (!key.empty() && (IsSpace(key.front()) || key.front() == '['))
        return false;
    if (!value.empty() && IsSpace(value.back()))
        return false;
    return key.size() + 1 + value.size() < kConfigLineSize;
}

// Whether the line [section] is found again by a read of that section.
bool SectionReadsBack(std::string_view section) {
    return !HasLineBreakOrComment(section) && section.size() + 2 < kConfigLineSize;
}

}  // namespace

size_t TrimLine(char* line) {
    size_t n = std::strlen(line);
    size_t b = 0;
    while (b < n && IsSpace(line[b]))
        ++b;
    if (b > 0) {
        std::memmove(line, line + b, n - b + 1);
        n -= b;
    }
    while (n > 0 && IsSpace(line[n - 1]))
        line[--n] = '\0';
    return n;
}

bool IsSectionLine(const char* line) {
    return line[0] == '[';
}

bool SectionMatches(const char* line, const char* section) {
    if (!IsSectionLine(line))
        return false;
    return StartsWithNoCase(line + 1, section);
}

bool KeyMatches(const char* line, const char* key) {
    const char* eq = std::strchr(line, '=');
    size_t len = eq ? static_cast<size_t>(eq - line) : std::strlen(line);
    return EqualsNoCase(std::string_view(line, len), key);
}

bool ReadConfigLine(FILE* file, char* line) {
    while (ReadRawLine(file, line))
        if (ReaderLine(line) > 0)
            return true;
    line[0] = '\0';
    return false;
}

bool ReadConfigLineStream(FILE* stream, char* line) {
    while (ReadRawLine(stream, line)) {
        size_t n = std::strlen(line);
        if (n > 0 && line[n - 1] == '\n')
            line[--n] = '\0';
        if (n == 0 || line[0] == ';')
            continue;
        if (line[n - 1] == '\r')
            line[--n] = '\0';
        if (TrimLine(line) == 0 || line[0] == ';')
            continue;
        return true;
    }
    line[0] = '\0';
    return false;
}

bool FindSection(FILE* file, const char* section) {
    char line[kConfigLineSize];
    while (ReadConfigLine(file, line))
        if (SectionMatches(line, section))
            return true;
    return false;
}

bool FindSectionStream(FILE* stream, const char* section) {
    char line[kConfigLineSize];
    while (ReadConfigLineStream(stream, line))
        if (SectionMatches(line, section))
            return true;
    return false;
}

bool FindKey(FILE* file, const char* key, char* line) {
    while (ReadConfigLine(file, line)) {
        if (IsSectionLine(line))
            return false;
        if (KeyMatches(line, key))
            return true;
    }
    return false;
}

bool FindKeyStream(FILE* stream, const char* key, char* line) {
    while (ReadConfigLineStream(stream, line)) {
        if (IsSectionLine(line))
            return false;
        if (KeyMatches(line, key))
            return true;
    }
    return false;
}

int GetConfigString(const char* fileName, const char* section, const char* key, char* out, size_t outSize,
                    const char* defaultText, int writeMissing) {
    if (!fileName) {
        CloseFileCache();
        return 0;
    }
    section = section ? section : "";
    bool sectionFound = false;
    if (g_fileCache.held && std::strcmp(fileName, g_fileCache.fileName) == 0 &&
        std::strcmp(section, g_fileCache.section) == 0) {
        if (g_fileCache.file) {
            std::clearerr(g_fileCache.file);
            sectionFound = std::fseek(g_fileCache.file, g_fileCache.position, SEEK_SET) == 0;
        }
    } else {
        CloseFileCache();
        g_fileCache.held = std::strlen(fileName) < kCacheNameSize && std::strlen(section) < kCacheNameSize;
        CopyText(g_fileCache.fileName, kCacheNameSize, fileName);
        CopyText(g_fileCache.section, kCacheNameSize, section);
        g_fileCache.file = platform::OpenGameFile(fileName, "rb");
        if (g_fileCache.file) {
            if (FindSection(g_fileCache.file, section)) {
                g_fileCache.position = std::ftell(g_fileCache.file);
                sectionFound = true;
            } else {
                std::fclose(g_fileCache.file);
                g_fileCache.file = nullptr;
            }
        }
    }

    if (sectionFound && key) {
        char line[kConfigLineSize];
        if (FindKey(g_fileCache.file, key, line)) {
            CopyValue(line, out, outSize, false);
            return 1;
        }
    }
    if (writeMissing && defaultText && key)
        WriteConfigString(fileName, section, key, defaultText);
    CopyDefault(out, outSize, defaultText);
    return 0;
}

int GetConfigInt(const char* fileName, const char* section, const char* key, int* out, int defaultValue,
                 int writeMissing) {
    char text[kConfigLineSize];
    char def[16];
    FormatText(def, sizeof def, "%d", defaultValue);
    if (GetConfigString(fileName, section, key, text, sizeof text, def, writeMissing)) {
        if (out)
            *out = ParseInt(text);
        return 1;
    }
    if (out)
        *out = defaultValue;
    return 0;
}

int ReadConfigString(FILE* stream, const char* section, const char* key, char* out, size_t outSize,
                     const char* defaultText) {
    section = section ? section : "";
    bool sectionFound = false;
    if (stream && g_streamCache.held && stream == g_streamCache.stream &&
        std::strcmp(section, g_streamCache.section) == 0) {
        std::clearerr(stream);
        sectionFound = g_streamCache.position >= 0 && std::fseek(stream, g_streamCache.position, SEEK_SET) == 0;
    } else if (stream) {
        g_streamCache.stream = stream;
        g_streamCache.held = std::strlen(section) < kCacheNameSize;
        CopyText(g_streamCache.section, kCacheNameSize, section);
        std::clearerr(stream);
        std::fseek(stream, 0, SEEK_SET);
        if (FindSectionStream(stream, section)) {
            g_streamCache.position = std::ftell(stream);
            sectionFound = true;
        } else {
            g_streamCache.position = -1;
        }
    }
    if (sectionFound && key) {
        char line[kConfigLineSize];
        if (FindKeyStream(stream, key, line)) {
            CopyValue(line, out, outSize, true);
            return 1;
        }
    }
    CopyDefault(out, outSize, defaultText);
    return 0;
}

int ReadConfigInt(FILE* stream, const char* section, const char* key, int* out, int defaultValue) {
    char text[kConfigLineSize];
    if (ReadConfigString(stream, section, key, text, sizeof text, "0")) {
        if (out)
            *out = ParseInt(text);
        return 1;
    }
    if (out)
        *out = defaultValue;
    return 0;
}

void ForgetConfigStream(FILE* stream) {
    if (g_streamCache.stream == stream)
        g_streamCache = StreamCache{};
}

namespace {

int WriteConfigLine(const char* fileName, const char* section, const char* key, const char* value, bool wholeValue) {
    if (!fileName || !section || !key)
        return 0;
    const std::string_view text = value ? value : "";
    if (!LineReadsBack(key, text, wholeValue))
        return 0;
    // A symbolic link stays one: the file it names is the one rewritten.
    const std::string target = platform::FollowLinks(platform::ResolveGamePath(fileName));
    std::vector<Piece> pieces;
    if (FILE* in = std::fopen(target.c_str(), "rb")) {
        pieces = ReadPieces(in);
        std::fclose(in);
    }

    // Where the reader looks: the first matching section, then its first line with the key.
    constexpr size_t kNone = static_cast<size_t>(-1);
    size_t sectionAt = kNone;
    size_t keyAt = kNone;
    for (size_t i = 0; i < pieces.size() && keyAt == kNone; ++i) {
        const char* line = pieces[i].line.c_str();
        if (!*line)
            continue;
        if (IsSectionLine(line)) {
            if (sectionAt != kNone)
                break;
            if (SectionMatches(line, section))
                sectionAt = i;
        } else if (sectionAt != kNone && KeyMatches(line, key)) {
            keyAt = i;
        }
    }
    if (keyAt != kNone && ValueOf(wholeValue ? WholeLine(pieces[keyAt].raw) : pieces[keyAt].line) == text)
        return 1;
    if (sectionAt == kNone && !SectionReadsBack(section))
        return 0;

    // Every other byte is copied as it stands. A new line always ends with a line feed, and the
    // piece it follows or replaces began where a reader's piece begins, so the pieces behind it
    // are read exactly as before.
    const std::string keyLine = std::string(key) + "=" + std::string(text) + "\n";
    std::string out;
    for (size_t i = 0; i < pieces.size(); ++i) {
        if (i == keyAt) {
            out += keyLine;
            continue;
        }
        out += pieces[i].raw;
        if (i == sectionAt && keyAt == kNone) {
            if (out.back() != '\n')
                out += '\n';
            out += keyLine;
        }
    }
    if (sectionAt == kNone) {
        if (!out.empty() && out.back() != '\n')
            out += '\n';
        out += "[" + std::string(section) + "]\n" + keyLine;
    }

    std::string tempPath;
    FILE* temp = platform::CreateTempFileBeside(target, &tempPath);
    bool ok = temp != nullptr;
    if (temp) {
        ok = std::fwrite(out.data(), 1, out.size(), temp) == out.size();
        ok = std::fclose(temp) == 0 && ok;
        // The file keeps its permissions; a new one gets those the umask allows.
        ok = ok && platform::SetReplacementMode(tempPath, target, false);
        ok = ok && platform::ReplaceFile(tempPath, target);
        if (!ok)
            platform::RemoveFile(tempPath);
    }
    GetConfigString(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0);
    return ok ? 1 : 0;
}

}  // namespace

int WriteConfigString(const char* fileName, const char* section, const char* key, const char* value) {
    return WriteConfigLine(fileName, section, key, value, false);
}

int WriteConfigWholeString(const char* fileName, const char* section, const char* key, const char* value) {
    return WriteConfigLine(fileName, section, key, value, true);
}

int GetConfigWholeString(const char* fileName, const char* section, const char* key, char* out, size_t outSize,
                         const char* defaultText) {
    FILE* file = fileName && key ? platform::OpenGameFile(fileName, "rb") : nullptr;
    bool found = false;
    if (file && FindSection(file, section ? section : "")) {
        // The key is found as every reader finds it; its value is then taken from the whole line.
        char piece[kConfigLineSize];
        while (ReadPiece(file, piece) > 0) {
            const std::string raw = piece;
            if (ReaderLine(piece) == 0)
                continue;
            if (IsSectionLine(piece))
                break;
            if (KeyMatches(piece, key)) {
                CopyValue(WholeLine(raw).c_str(), out, outSize, false);
                found = true;
                break;
            }
        }
    }
    if (file)
        std::fclose(file);
    if (!found)
        CopyDefault(out, outSize, defaultText);
    return found ? 1 : 0;
}

int WriteConfigInt(const char* fileName, const char* section, const char* key, int value) {
    char text[16];
    FormatText(text, sizeof text, "%d", value);
    return WriteConfigString(fileName, section, key, text);
}
