#include "updater/lib/file_list.h"

#include <algorithm>

#include "common/text.h"
#include "platform/fs/file_ops.h"
#include "platform/fs/fs.h"

FileList CurrentFileList;

LineRead ReadTextLine(FILE* f, std::string* line, size_t maxLength) {
    line->clear();
    int c;
    bool any = false;
    while ((c = std::fgetc(f)) != EOF) {
        any = true;
        if (c == '\n')
            break;
        if (c == '\0')
            return LineRead::Bad;
        // One more than the limit is kept for a carriage return that the line feed drops.
        if (line->size() > maxLength)
            return LineRead::TooLong;
        line->push_back(static_cast<char>(c));
    }
    if (!any)
        return LineRead::End;
    if (c == '\n' && !line->empty() && line->back() == '\r')
        line->pop_back();
    return line->size() > maxLength ? LineRead::TooLong : LineRead::Ok;
}

// A field runs to the next comma, which goes with it; without one it is the rest of the line.
// A field holding a double quote is quoted: its value runs from that quote to the next one,
// commas included, and the closing quote and the one character after it (the separating comma)
// go with it. What stood before the opening quote in the same field is dropped.
bool TakeField(std::string& line, std::string* field, size_t maxLength) {
    if (line.empty())
        return false;
    size_t comma = line.find(',');
    size_t quote = line.find('"');
    std::string value;
    size_t consumed;
    if (quote != std::string::npos && (comma == std::string::npos || quote < comma)) {
        size_t close = line.find('"', quote + 1);
        if (close == std::string::npos)
            return false;
        value = line.substr(quote + 1, close - quote - 1);
        consumed = std::min(line.size(), close + 2);
    } else if (comma != std::string::npos) {
        value = line.substr(0, comma);
        consumed = comma + 1;
    } else {
        value = line;
        consumed = line.size();
    }
    if (value.size() > maxLength)
        return false;
    line.erase(0, consumed);
    *field = std::move(value);
    return true;
}

namespace {

int DigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 10;
    return 99;
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The count line: leading white space, a sign, decimal digits up to the first other character;
// 0 when there are none. Large values saturate rather than wrap.
int64_t ParseCount(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && IsSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = std::min<int64_t>(value * 10 + (text[i] - '0'), int64_t{1} << 40);
    return negative ? -value : value;
}

bool IsExcludedNameByte(unsigned char c) {
    return c < 0x20 || c == 0x7F || c == ':';
}

// The local file of an entry differs when it is missing, not a plain file, or differs in size or
// modification time.
bool IsNeeded(const FileListEntry& e) {
    platform::FileStatus st;
    if (!platform::GetFileStatus(platform::ResolveGamePath(e.name), &st) || !st.isRegular)
        return true;
    return st.size != e.size || st.modifiedTime != static_cast<int64_t>(e.time);
}

}  // namespace

bool ParseHexField(std::string& line, uint32_t* value, int base) {
    std::string field;
    if (base < 2 || base > 36 || !TakeField(line, &field, kNumberFieldMax))
        return false;
    size_t i = 0;
    while (i < field.size() && IsSpace(field[i]))
        ++i;
    if (base == 16 && i + 2 < field.size() && field[i] == '0' && (field[i + 1] == 'x' || field[i + 1] == 'X') &&
        DigitValue(field[i + 2]) < 16)
        i += 2;
    // No digit at all (an empty field among others) reads as 0, as servers' lists rely on.
    uint64_t v = 0;
    for (; i < field.size() && DigitValue(field[i]) < base; ++i)
        v = std::min<uint64_t>(v * static_cast<uint64_t>(base) + static_cast<uint64_t>(DigitValue(field[i])),
                               uint64_t{0x100000000});
    *value = v > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(v);
    return true;
}

void LowerCaseInPlace(char* text) {
    for (; text && *text; ++text)
        if (*text >= 'A' && *text <= 'Z')
            *text = static_cast<char>(*text - 'A' + 'a');
}

bool NormalizeListName(const std::string& raw, char (&out)[256]) {
    if (raw.empty() || raw.size() > kNameFieldMax)
        return false;
    std::string name = raw;
    for (char& c : name) {
        if (IsExcludedNameByte(static_cast<unsigned char>(c)))
            return false;
        if (c == '\\')
            c = '/';
    }
    size_t start = 0;
    for (;;) {
        size_t slash = name.find('/', start);
        std::string part = name.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        if (part.empty() || part == "..")
            return false;  // absolute, doubled or trailing separators, or a way out
        if (slash == std::string::npos) {
            if (part == ".")
                return false;
            break;
        }
        start = slash + 1;
    }
    CopyText(out, name);
    LowerCaseInPlace(out);
    return true;
}

bool ParseFileListStream(FILE* f, FileList* list) {
    list->entries.clear();
    list->neededPackedTotal = 0;
    std::string line;
    if (ReadTextLine(f, &line, kHeaderLineMax) != LineRead::Ok || line != kPatchHeader)
        return false;
    if (ReadTextLine(f, &line, kHeaderLineMax) != LineRead::Ok)
        return false;
    int64_t count = ParseCount(line);
    if (count < 1 || count > kMaxListEntries)
        return false;

    std::vector<FileListEntry> entries(static_cast<size_t>(count));
    uint64_t total = 0;
    for (FileListEntry& e : entries) {
        if (ReadTextLine(f, &line, kEntryLineMax) != LineRead::Ok)
            return false;
        std::string name;
        if (!ParseHexField(line, &e.size, 16) || !ParseHexField(line, &e.packedSize, 16) ||
            !ParseHexField(line, &e.thirdNumber, 16) || !ParseHexField(line, &e.time, 16) ||
            !TakeField(line, &name, kNameFieldMax) || !NormalizeListName(name, e.name))
            return false;
        if (e.size > kMaxFileBytes || e.packedSize > kMaxFileBytes)
            return false;
        e.needed = IsNeeded(e);
        if (e.needed)
            total += e.packedSize;
    }
    list->entries = std::move(entries);
    list->neededPackedTotal = total;
    return true;
}

bool ParseFileList(const char* name) {
    FILE* f = platform::OpenGameFile(name, "rb");
    if (!f) {
        CurrentFileList = FileList();
        return false;
    }
    bool ok = ParseFileListStream(f, &CurrentFileList);
    std::fclose(f);
    if (!ok)
        CurrentFileList = FileList();
    return ok;
}
