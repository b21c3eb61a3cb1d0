#pragma once
// The renderer's messages. Every one goes to the engine's debug output; failures of creation are
// also kept as the last failure text, which the game shows when no renderer could be made.

// Writes the text and a line end. With keep the text (at most 255 characters) becomes the last
// failure text first; keep with a null text empties it.
void RenderDebugOut(const char* text, bool keep);
const char* RenderLastFailure();
