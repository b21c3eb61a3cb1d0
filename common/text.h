#pragma once
// Bounded text copies into fixed buffers: the result is always terminated and never longer
// than the buffer allows.

#include <cstdarg>
#include <cstddef>
#include <string_view>

// Copies at most size - 1 characters of src into dst and terminates it. Returns dst.
char* CopyText(char* dst, size_t size, std::string_view src);

template <size_t N>
char* CopyText(char (&dst)[N], std::string_view src) {
    return CopyText(dst, N, src);
}

// A text field of a fixed record, up to its terminator or its end.
template <size_t N>
std::string_view FieldText(const char (&field)[N]) {
    size_t n = 0;
    while (n < N && field[n])
        ++n;
    return std::string_view(field, n);
}

// vsnprintf into a fixed buffer; always terminated, cut when too long. Returns dst.
char* FormatText(char* dst, size_t size, const char* format, ...) __attribute__((format(printf, 3, 4)));
char* FormatTextV(char* dst, size_t size, const char* format, va_list args);

// Compares without regard to ASCII case.
bool EqualsNoCase(std::string_view a, std::string_view b);
// True when text begins with prefix, compared without regard to ASCII case.
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
