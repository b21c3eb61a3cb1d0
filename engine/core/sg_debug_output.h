#pragma once
// The engine's diagnostics (renderer and image messages, processor detection) go to one replaceable
// sink. engine_core may not use the platform layer, so the game connects it to the platform's
// debugger output at start-up; until then the texts are dropped.

using SgDebugOutputSink = void (*)(const char* text);

// Installs the sink; null drops every text again.
void SgSetDebugOutputSink(SgDebugOutputSink sink);
void SgDebugOutput(const char* text);
// printf-style; the text is cut at 1023 characters.
void SgDebugOutputF(const char* format, ...) __attribute__((format(printf, 1, 2)));
