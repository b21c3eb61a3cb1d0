#include "engine/render/sg_render_debug.h"

#include <cstring>

#include "engine/core/sg_debug_output.h"

namespace {

char g_lastFailure[256];

}  // namespace

void RenderDebugOut(const char* text, bool keep) {
    if (keep) {
        g_lastFailure[0] = '\0';
        if (text) {
            std::strncpy(g_lastFailure, text, sizeof(g_lastFailure) - 1);
            g_lastFailure[sizeof(g_lastFailure) - 1] = '\0';
        }
    }
    if (!text)
        return;
    SgDebugOutput(text);
    SgDebugOutput("\n");
}

const char* RenderLastFailure() { return g_lastFailure; }
