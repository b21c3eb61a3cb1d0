#include "client/core/config_file.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/text.h"
#include "platform/fs/fs.h"

namespace {

constexpr size_t kCacheNameSize = 200;  // 199 characters and the terminator

struct FileCache {
    char fileName[kCacheNameSize] = {};
    char section[kCacheNameSize] = {};
    FILE* file = nullptr;
    long position = 0;
};

struct StreamCache {
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

// Reads one physical line of at most 254 characters; a longer line comes back in pieces.
bool ReadRawLine(FILE* f, char* line) {
    if (!std::fgets(line, static_cast<int>(kConfigLineSize), f))
        return false;
    return true;
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

// The reader's view of a raw line: line end removed, cut at ';', trimmed.
std::string ReaderView(const std::string& raw) {
    std::string s = raw;
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r'))
        s.pop_back();
    size_t semi = s.find(';');
    if (semi != std::string::npos)
        s.resize(semi);
    size_t b = 0;
    while (b < s.size() && IsSpace(s[b]))
        ++b;
    size_t e = s.size();
    while (e > b && IsSpace(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

bool ReadWholeLine(FILE* f, std::string& out) {
    out.clear();
    int c;
    while ((c = std::fgetc(f)) != EOF) {
        out.push_back(static_cast<char>(c));
        if (c == '\n')
            break;
    }
    return !out.empty();
}

// Copies a line as read, stray zero bytes included: the rest of a line must not vanish with them.
void CopyRaw(const std::string& raw, FILE* out) {
    std::fwrite(raw.data(), 1, raw.size(), out);
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
    while (ReadRawLine(file, line)) {
        StripLineEnd(line);
        if (char* semi = std::strchr(line, ';'))
            *semi = '\0';
        if (TrimLine(line) > 0)
            return true;
    }
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
    if (std::strcmp(fileName, g_fileCache.fileName) == 0 && std::strcmp(section, g_fileCache.section) == 0) {
        if (g_fileCache.file) {
            std::clearerr(g_fileCache.file);
            sectionFound = std::fseek(g_fileCache.file, g_fileCache.position, SEEK_SET) == 0;
        }
    } else {
        CloseFileCache();
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
    if (stream && stream == g_streamCache.stream && std::strcmp(section, g_streamCache.section) == 0) {
        std::clearerr(stream);
        sectionFound = g_streamCache.position >= 0 && std::fseek(stream, g_streamCache.position, SEEK_SET) == 0;
    } else if (stream) {
        g_streamCache.stream = stream;
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

int WriteConfigString(const char* fileName, const char* section, const char* key, const char* value) {
    if (!fileName || !section || !key)
        return 0;
    // A value holds one line: a line end in it would write a line of its own (a key or a section
    // that was never asked for), and no read could give the value back.
    std::string text = value ? value : "";
    text.resize(std::min(text.find_first_of("\r\n"), text.size()));
    std::string keyLine = std::string(key) + "=" + text + "\n";

    char current[1024];
    int found = GetConfigString(fileName, section, key, current, sizeof current, "", 0);
    if (found && current == text)
        return 1;

    std::string target = platform::ResolveGamePath(fileName);
    FILE* in = std::fopen(target.c_str(), "rb");
    std::string tempPath;
    FILE* out = platform::CreateTempFileBeside(target, &tempPath);
    if (!out) {
        if (in)
            std::fclose(in);
        GetConfigString(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0);
        return 0;
    }

    // Lines are judged as the readers see them, so a write always lands where a read looks.
    bool placed = false;
    bool inTarget = false;
    bool seenTarget = false;  // only the first matching section counts, as for the reader
    bool endsWithNewline = true;
    std::string raw;
    while (in && ReadWholeLine(in, raw)) {
        endsWithNewline = raw.back() == '\n';
        if (placed) {
            CopyRaw(raw, out);
            continue;
        }
        std::string view = ReaderView(raw);
        if (!view.empty() && IsSectionLine(view.c_str())) {
            CopyRaw(raw, out);
            inTarget = !seenTarget && SectionMatches(view.c_str(), section);
            seenTarget = seenTarget || inTarget;
            if (inTarget && !found) {
                if (!endsWithNewline)
                    std::fputc('\n', out);
                std::fputs(keyLine.c_str(), out);
                placed = true;
                endsWithNewline = true;
            }
            continue;
        }
        if (inTarget && found && !view.empty() && KeyMatches(view.c_str(), key)) {
            std::fputs(keyLine.c_str(), out);
            placed = true;
            endsWithNewline = true;
            continue;
        }
        CopyRaw(raw, out);
    }
    if (!placed) {
        if (!endsWithNewline)
            std::fputc('\n', out);
        std::fprintf(out, "[%s]\n%s", section, keyLine.c_str());
    }

    bool ok = !std::ferror(out);
    ok = std::fflush(out) == 0 && ok;
    ok = std::fclose(out) == 0 && ok;
    if (in)
        std::fclose(in);
    if (ok)
        ok = platform::ReplaceFile(tempPath, target);
    if (!ok)
        platform::RemoveFile(tempPath);
    GetConfigString(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0);
    return ok ? 1 : 0;
}

int WriteConfigInt(const char* fileName, const char* section, const char* key, int value) {
    char text[16];
    FormatText(text, sizeof text, "%d", value);
    return WriteConfigString(fileName, section, key, text);
}
