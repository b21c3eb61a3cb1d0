#include "common/text.h"

#include <cstdio>
#include <cstring>

char* CopyText(char* dst, size_t size, std::string_view src) {
    if (size == 0)
        return dst;
    size_t n = src.size() < size - 1 ? src.size() : size - 1;
    std::memmove(dst, src.data(), n);
    dst[n] = '\0';
    return dst;
}

char* FormatTextV(char* dst, size_t size, const char* format, va_list args) {
    if (size == 0)
        return dst;
    int n = std::vsnprintf(dst, size, format, args);
    if (n < 0)
        dst[0] = '\0';
    return dst;
}

char* FormatText(char* dst, size_t size, const char* format, ...) {
    va_list args;
    va_start(args, format);
    FormatTextV(dst, size, format, args);
    va_end(args);
    return dst;
}

namespace {
char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    return true;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}
