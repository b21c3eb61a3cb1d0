#pragma once
// The message console: the ring of the last 100 lines that the chat screen, the arena HUD and the
// login boxes show. PrintMessage is the one way in.

#include <cstdint>

constexpr int kChatLines = 100;
constexpr int kChatTextSize = 118;
constexpr int kChatTagSize = 20;
// The chat lines' HUD panel.
constexpr int kChatPanel = 4;

enum MessageSource {
    MSG_YOU = -1,
    MSG_SYSTEM = -2,
    MSG_ALL = -3,
    MSG_DRAGON = -4,
    MSG_GRYPHON = -5,
    MSG_PHOENIX = -6,
    MSG_SERVICE = 0xFFFF,
};

// PrintMessage flags for a player's line: one this client sent privately, one it received so.
constexpr int kMessageTo = 4;
constexpr int kMessageFrom = 8;

struct ChatLine {
    char text[kChatTextSize];
    char tag[kChatTagSize];
    int32_t text_color;
    int32_t tag_color;
};

struct ChatRing {
    ChatLine lines[kChatLines];
    int32_t write;
    int32_t start;
    int32_t count;  // lines printed since start-up
};

extern ChatRing ChatBuffer;
// user.dat [main] debug: 2 puts every network and simulation debug line on the console.
extern int g_debugLevel;

// source: a MessageSource or a player id; colour: a player line's team colour (1 to 3).
void PrintMessage(int source, const char* text, int color, int flags);
void ClearChatBuffer();
// A debug line on the console (system source, colour 44), only at debug level 2.
void PrintDebug(const char* format, ...) __attribute__((format(printf, 1, 2)));

// ---- chat.log ----
// Starts logging: "chat.log" is opened for appending and the console written to it.
void OpenChatLog();
// Ends logging; after a failed open nothing is written.
void CloseChatLog();
// The key that opens or closes the log, and the chat lines drawn again.
void ToggleChatLog();
int IsChatLogging();
