#pragma once
// Settings and definition files of sections and keys (main.dat, user.dat, arena.dat ...).
// Sections match by prefix and keys exactly, both without regard to case; each reader keeps a
// one-entry cache so the many keys of one section cost a seek each.

#include <cstddef>
#include <cstdio>

// Reads key of section from the file. 1 and the value when found; 0 and the default (empty when
// none) when not, writing the default into the file first when writeMissing is set and there is
// a default. A null file name closes the cached file and returns 0.
int GetConfigString(const char* fileName, const char* section, const char* key, char* out, size_t outSize,
                    const char* defaultText, int writeMissing);
int GetConfigInt(const char* fileName, const char* section, const char* key, int* out, int defaultValue,
                 int writeMissing);

// The same from a stream a loader holds open; never writes. A ';' inside a value is kept.
int ReadConfigString(FILE* stream, const char* section, const char* key, char* out, size_t outSize,
                     const char* defaultText);
int ReadConfigInt(FILE* stream, const char* section, const char* key, int* out, int defaultValue);

// Sets key of section to value by rewriting the file through a temporary file beside it, which
// replaces the original only when complete; the file keeps its permissions, and a symbolic link
// is written through. Lines are judged exactly as the reader judges them, so after a 1 a read
// gives the value. 1 on success (also when the value was already there); 0, the file untouched,
// when it could not be written or when no read could give the value back (a line end or ';' in
// key or value, white space ending the value or starting the key, '=' in the key, a key starting
// with '[', a line over 254 characters).
int WriteConfigString(const char* fileName, const char* section, const char* key, const char* value);
int WriteConfigInt(const char* fileName, const char* section, const char* key, int value);

// The same pair for values that may hold ';' (stored passwords): the key is found as every reader
// finds it, but the value is the rest of its whole line, trimmed, not cut at ';'. The writer
// refuses only what this reader could not give back (a line end in the value, the key rules and
// line length above). Without the key the reader gives the default and writes nothing.
int GetConfigWholeString(const char* fileName, const char* section, const char* key, char* out, size_t outSize,
                         const char* defaultText);
int WriteConfigWholeString(const char* fileName, const char* section, const char* key, const char* value);

// Line-level helpers, shared by the readers and the writer.
constexpr size_t kConfigLineSize = 255;  // 254 characters and the terminator

size_t TrimLine(char* line);
bool IsSectionLine(const char* line);
bool SectionMatches(const char* line, const char* section);
bool KeyMatches(const char* line, const char* key);
// Next non-comment line, trimmed, into line (kConfigLineSize bytes); false at the end.
bool ReadConfigLine(FILE* file, char* line);
bool ReadConfigLineStream(FILE* stream, char* line);
bool FindSection(FILE* file, const char* section);
bool FindSectionStream(FILE* stream, const char* section);
bool FindKey(FILE* file, const char* key, char* line);
bool FindKeyStream(FILE* stream, const char* key, char* line);
// Drops the stream cache (a loader closing the stream it read from should call this).
void ForgetConfigStream(FILE* stream);
