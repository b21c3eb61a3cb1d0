#include "engine/core/sg_debug_output.h"

#include <cstdarg>
#include <cstdio>

namespace {

SgDebugOutputSink g_sink = nullptr;

}  // namespace

void SgSetDebugOutputSink(SgDebugOutputSink sink) { g_sink = sink; }

void SgDebugOutput(const char* text) {
    if (g_sink && text)
        g_sink(text);
}

void SgDebugOutputF(const char* format, ...) {
    if (!g_sink || !format)
        return;
    char buffer[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    g_sink(buffer);
}
