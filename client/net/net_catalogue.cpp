#include "client/net/net_catalogue.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr int ALL = 0xFFFF;
constexpr int SVC = 0xFFFE;
constexpr int ONE = kDestinationOnePlayer;
constexpr int NONE = kDestinationNone;
constexpr int NS = kNotSent;
constexpr Accepted NEVER = ACCEPT_NEVER;
constexpr Accepted ARENA = ACCEPT_ARENA;
constexpr Accepted LOBBY = ACCEPT_LOBBY;
constexpr Accepted ANY = ACCEPT_ANY;

}  // namespace

// code, name, sent size, text follows, destination, accepted, shortest received body, conversion
const MessageInfo MessageCatalogue[kMessageCount] = {
    {1, "F_PLAYER_STATE", 12, false, ALL, ARENA, 12, "w0-8"},
    {2, "F_CREATE_OBJECT", 20, false, 0, ARENA, 20, "w0-14"},
    {3, "F_PLAYER_JOINED", NS, false, NONE, LOBBY, 24, "w0"},
    {4, "F_PLAYER_EXIT", 4, false, 0, LOBBY, 4, "w0"},
    {5, "F_PLAYER_STATUS", NS, false, NONE, ARENA, 4, "w0 w2"},
    {6, "F_PLAYER_DEATH", 8, false, ALL, ARENA, 5, "w0 w2"},
    {7, "F_CHAT_TEXT", 8, true, 0, LOBBY, 8, "w0 w2"},
    {8, "F_REQUEST_WORLD", 4, false, ALL, NEVER, 0, "d0"},
    {9, "F_OBJECT_STATE", NS, false, NONE, ARENA, 12, "w0-10"},
    {10, "F_OBJECT_DEATH", NS, false, NONE, ARENA, 4, "w0 w2"},
    {11, "SEND_PING", 4, false, 0, NEVER, 0, "d0"},
    {12, "F_CREATE_THIN", NS, false, NONE, ARENA, 40, "w0-28"},
    {15, "F_CONNECT", 95, false, 0, NEVER, 0, ""},
    {16, "F_DISCONNECT", 1, false, 0, NEVER, 0, ""},
    {17, "F_KEEP_ALIVE", 1, false, 0, NEVER, 0, ""},
    {18, "F_PLAYER_SHORT_STATE", 8, false, ALL, ARENA, 8, "w0"},
    {19, "F_DAMAGE", NS, false, NONE, ARENA, 5, "w0"},
    {20, "F_HIT_SELF", NS, false, NONE, ARENA, 2, "w0"},
    {21, "F_HIT_NPC", NS, false, NONE, ARENA, 4, "w0 w2"},
    {22, "F_REQUEST_OBJECT", 4, false, ALL, NEVER, 0, "d0"},
    {23, "F_OPEN_GAME", 1, false, ALL, NEVER, 0, ""},
    {24, "F_PLAYER_VITALS", 8, false, ALL, LOBBY, 8, "w0"},
    {25, "F_WORLD_ENTER", NS, false, NONE, LOBBY, 52, ""},
    {26, "F_WORLD_STATE", NS, false, NONE, LOBBY, 80, "d24-52 w56 w58 d60-76"},
    {30, "RCV_GET_FLAG_RESPONSE", NS, false, NONE, ARENA, 4, "w0 w2"},
    {31, "SEND_DROP_FLAG", 16, false, 0, NEVER, 0, "d0-8 w12 w14"},
    {32, "RCV_DROP_FLAG_RESPONSE", NS, false, NONE, ARENA, 4, "w0 w2"},
    {33, "F_PLAYER_CLEAR_SPLAT", NS, false, NONE, ARENA, 4, "w0 w2"},
    {34, "F_NEW_ARENA", 4, false, 0, NEVER, 0, ""},
    {35, "F_SELECT_ARENA", 1, false, 0, NEVER, 0, ""},
    {36, "F_REMOVE_ARENA", NS, false, NONE, LOBBY, 1, ""},
    {37, "F_CREATE_EFFECT", 32, false, 0, ARENA, 32, "w4-22 w28 w30"},
    {38, "F_REQUEST_PLAYER", 4, false, 0, NEVER, 0, "d0"},
    {39, "F_PLAYER_EFFECT", 8, false, ONE, ARENA, 8, "w0 d4"},
    {40, "F_BIAS_EARTHBLOOD", 4, false, 0, NEVER, 0, ""},
    {41, "EARTHBLOOD_STATE", NS, false, NONE, ARENA, 8, "w6"},
    {42, "F_BIAS_SHRINE", 4, false, 0, NEVER, 0, ""},
    {43, "SHRINE_STATE", NS, false, NONE, ARENA, 8, "w6"},
    {44, "F_DISPELL", 16, false, ALL, ARENA, 16, "w0-12"},
    {45, "F_TARGETTED", 16, false, ALL, ARENA, 16, "w0-10"},
    {46, "F_THIN_DEATH", NS, false, NONE, ARENA, 8, "d0"},
    {47, "F_THIN_DAMAGE", 8, false, 0, ARENA, 8, "d0 w4"},
    {48, "F_TELEPORT", 8, false, 0, ARENA, 8, "w0 w2"},
    {49, "F_OPEN_DOOR", 8, false, ALL, ARENA, 8, "d0"},
    {50, "F_REQUEST_ARENA", 4, false, ALL, NEVER, 0, "d0"},
    {51, "F_CODE_51", 1, false, 0, NEVER, 0, ""},
    {52, "F_PLAYER_ENTER_LARGE", NS, false, NONE, LOBBY, 240, "*0+24x10: w12"},
    {53, "F_CODE_53", 1, false, 0, NEVER, 0, ""},
    {54, "F_WORLD_ENTER_LARGE", NS, false, NONE, LOBBY, 208, ""},
    {55, "F_EARTHBLOOD_SHRINE_STATE", NS, false, NONE, ARENA, 184, ""},
    {64, "F_REQUEST_WORLD_LARGE", 4, false, ALL, NEVER, 0, "d0"},
    {65, "F_EXPERIENCE", 4, false, ALL, ARENA, 4, "w0 w2"},
    {66, "F_TABLE_ENTER", NS, false, NONE, LOBBY, 98, ""},
    {67, "F_REMOVE_TABLE", NS, false, NONE, LOBBY, 1, ""},
    {68, "F_TABLE_ENTER_LARGE", NS, false, NONE, LOBBY, 294, ""},
    {69, "F_NEW_TABLE", 2, false, 0, NEVER, 0, ""},
    {70, "F_SELECT_TABLE", 1, false, 0, NEVER, 0, ""},
    {71, "F_CODE_71", 1, false, 0, NEVER, 0, ""},
    {73, "F_REMOVE_PLAYER", 2, true, 0, NEVER, 0, ""},
    {74, "F_BOOT_PLAYER", 2, true, 0, NEVER, 0, ""},
    {80, "F_BAN_PLAYER", 2, true, 0, NEVER, 0, ""},
    {81, "F_MAKE_SYSOP", 4, false, ONE, LOBBY, 4, "w0"},
    {82, "F_VALIDATE_PLAYER_LIST", 68, false, 0, LOBBY, 68, ""},
    {83, "F_SWITCH_TABLE", 4, false, 0, LOBBY, 4, "w0 w2"},
    {84, "F_REQUEST_CHARACTER", 24, false, SVC, NEVER, 0, ""},
    {85, "F_REQUEST_CHAR_RESPONSE", NS, false, NONE, ANY, 274, "d100 w104-182"},
    {86, "F_REQUEST_CHAR_ERROR", NS, false, NONE, ANY, 24, ""},
    {87, "F_SEND_CHARACTER", 274, false, SVC, NEVER, 0, "d100 w104-182"},
    {88, "F_SEND_CHAR_RESPONSE", NS, false, NONE, ANY, 21, ""},
    {89, "F_SEND_CHAR_ERROR", NS, false, NONE, ANY, 24, ""},
    {90, "F_FIRETEAM_ENTER", NS, false, NONE, LOBBY, 172, "w44"},
    {92, "F_FIRETEAM_ENTER_LARGE", NS, false, NONE, LOBBY, 516, "*0+172x3: w44 w48-54"},
    {96, "F_SHOW_ACCOUNT", 2, true, 0, NEVER, 0, ""},
    {97, "F_PLAY_SOUND", NS, false, NONE, ARENA, 8, "w0-6"},
    {98, "F_SEND_ACCOUNT", NS, false, NONE, LOBBY, 40, "w0 d32 d36"},
    {99, "F_QUERY_NAME", 54, false, SVC, NEVER, 0, ""},
    {100, "F_QUERY_NAME_RESPONSE", NS, false, NONE, ANY, 51, ""},
    {101, "F_ADD_NAME", 54, false, SVC, NEVER, 0, ""},
    {104, "F_DELETE_NAME", 54, false, SVC, NEVER, 0, ""},
    {106, "F_CHECK_NAME", 54, false, SVC, NEVER, 0, ""},
    {107, "F_CHECK_NAME_RESPONSE", NS, false, NONE, ANY, 51, ""},
    {110, "F_FIRETEAM_STATUS", NS, false, NONE, LOBBY, 96, "w4-10"},
    {112, "F_FIRETEAM_MEMBER_INFO", NS, false, NONE, LOBBY, 16, "w0"},
    {114, "F_FIRETEAM_MEMBER_VALUE", NS, false, NONE, LOBBY, 3, ""},
    {115, "F_CLAIM_ARENA", NS, false, NONE, LOBBY, 4, ""},
    {116, "F_CODE_116", NS, false, NONE, ARENA, 2, "w0"},
    {117, "F_CODE_117", NS, false, NONE, ARENA, 4, "w0 w2"},
    {120, "F_CODE_120", NS, false, NONE, ANY, 280, "w264-278"},
    {124, "F_INIT_PLAYER", 32, false, ALL, NEVER, 0, "w0-6"},
    {125, "F_REQUEST_INIT_PLAYER", NS, false, NONE, ARENA, 0, ""},
    {128, "S_CONNECTION", NS, false, NONE, ANY, 2, ""},
    {129, "RCV_PONG", NS, false, NONE, ANY, 16, "d0-12"},
    {130, "S_SERVER_VERSION", NS, false, NONE, ANY, 5, ""},
    {131, "S_WORLD_SENT", NS, false, NONE, ANY, 0, ""},
    {132, "S_NOT_CONNECTED", NS, false, NONE, ANY, 5, ""},
    {133, "S_GAME_OPENED", NS, false, NONE, ANY, 0, ""},
    {135, "S_DATAGRAM_ESTABLISHED", NS, false, NONE, ANY, 24, "d20"},
    {160, "F_SCORE", 124, false, SVC, NEVER, 0, "d0-8"},
    {161, "F_REQUEST_HIGHSCORES", 8, false, SVC, NEVER, 0, "d0 d4"},
    {162, "F_HIGHSCORE_LIST", NS, false, NONE, ANY, 8, "d0 d4 *8+68xN: d60 d64"},
    {163, "F_RENAME_PLAYER", 34, false, 0, LOBBY, 4, "w0"},
    {164, "F_YANK_PLAYER", 4, false, ONE, ARENA, 2, "w0"},
    {165, "F_KILL_PLAYER", NS, false, NONE, ARENA, 2, "w0"},
    {167, "F_YANK", NS, false, NONE, ARENA, 8, "w0-6"},
    {168, "F_YANK_RESPONSE", 8, false, ALL, NEVER, 0, "w0-6"},
    {169, "F_UNBAN_PLAYER", 1, true, 0, LOBBY, 1, ""},
    {172, "F_JUMP_PLAYER", 4, false, ONE, ARENA, 2, "w0"},
    {173, "F_GODMODE", 4, false, ONE, ARENA, 2, "w0"},
    {174, "F_UPDATE_STATUS", NS, false, NONE, ANY, 6, "w0-4"},
    {175, "F_CODE_175", 1, false, ALL, NEVER, 0, ""},
    {176, "F_CREATE_PROJECTILE", 16, false, ALL, ARENA, 16, "w0-8"},
    {177, "F_REQUEST_RAISE", 4, false, ALL, NEVER, 0, "w0"},
    {178, "F_CREATE_RUNE", 20, false, ALL, ARENA, 20, "w0-12"},
    {179, "F_CAST_PLAYER_EFFECT", NS, false, NONE, ARENA, 2, "w0"},
    {180, "F_CAST_WALL", 16, false, ALL, ARENA, 16, "w0-14"},
    {181, "F_INVITE_GUILD", 44, false, ONE, ARENA, 44, "w0 w2"},
    {182, "F_LEAVE_GUILD", 44, false, 0, ARENA, 44, "w0 w2"},
    {183, "F_JOIN_GUILD", 44, false, 0, ARENA, 44, "w0 w2"},
    {184, "F_PLAYER_ENTER", 76, false, 0, NEVER, 0, "w0"},
    {186, "F_GUILD_INFO", NS, false, NONE, ARENA, 1, ""},
    {187, "F_REMOVE_PLAYER_EFFECT", 4, false, 0, ARENA, 4, ""},
    {188, "F_ESTABLISH_DATAGRAM", 24, false, ALL, NEVER, 0, "d20"},
};

const MessageInfo* FindMessage(int code) {
    for (const MessageInfo& m : MessageCatalogue)
        if (m.code == code)
            return &m;
    return nullptr;
}

namespace {

constexpr int kMaxHighscoreRecords = 10;

void Swap(uint8_t* body, size_t size, size_t offset, int width) {
    if (offset + static_cast<size_t>(width) > size)
        return;
    uint8_t* p = body + offset;
    // Network order is high byte first; host order here is the machine's.
    if (width == 2) {
        uint16_t v;
        std::memcpy(&v, p, 2);
        v = static_cast<uint16_t>((v >> 8) | (v << 8));
        std::memcpy(p, &v, 2);
    } else {
        uint32_t v;
        std::memcpy(&v, p, 4);
        v = (v >> 24) | ((v >> 8) & 0xFF00) | ((v << 8) & 0xFF0000) | (v << 24);
        std::memcpy(p, &v, 4);
    }
}

constexpr bool kLittleEndianHost = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;

// One token: "w12", "d24-52"; turns each field of the run at base + offset.
void ApplyToken(const char* token, uint8_t* body, size_t size, size_t base) {
    int width = token[0] == 'w' ? 2 : 4;
    char* end = nullptr;
    long from = std::strtol(token + 1, &end, 10);
    long to = *end == '-' ? std::strtol(end + 1, nullptr, 10) : from;
    for (long off = from; off <= to; off += width)
        Swap(body, size, base + static_cast<size_t>(off), width);
}

uint32_t HighscoreCount(const uint8_t* body, size_t size) {
    if (size < 8)
        return 0;
    uint32_t n;
    std::memcpy(&n, body + 4, 4);
    return n;
}

}  // namespace

bool ConvertBody(int code, uint8_t* body, size_t size, bool toHost) {
    const MessageInfo* m = FindMessage(code);
    if (!m)
        return false;
    if (!kLittleEndianHost || !body)
        return true;
    // Records repeat from "*start+sizexcount:" on; N takes the count from the u32 at 4, which
    // reads in host order only on the host side of the step.
    uint32_t countBefore = HighscoreCount(body, size);
    const char* p = m->conversion;
    size_t base = 0;
    char token[32];
    while (*p) {
        while (*p == ' ')
            ++p;
        if (!*p)
            break;
        size_t n = std::strcspn(p, " ");
        std::memcpy(token, p, n);
        token[n] = 0;
        p += n;
        if (token[0] != '*') {
            ApplyToken(token, body, size, base);
            continue;
        }
        char* end = nullptr;
        long start = std::strtol(token + 1, &end, 10);
        long recordSize = std::strtol(end + 1, &end, 10);
        long count = end[1] == 'N' ? static_cast<long>(toHost ? HighscoreCount(body, size) : countBefore)
                                   : std::strtol(end + 1, nullptr, 10);
        if (count > kMaxHighscoreRecords && end[1] == 'N')
            count = kMaxHighscoreRecords;
        while (*p == ' ')
            ++p;
        const char* recordTokens = p;
        for (long r = 0; r < count; ++r) {
            size_t recordBase = static_cast<size_t>(start + r * recordSize);
            for (const char* q = recordTokens; *q;) {
                while (*q == ' ')
                    ++q;
                size_t k = std::strcspn(q, " ");
                if (!k)
                    break;
                std::memcpy(token, q, k);
                token[k] = 0;
                q += k;
                ApplyToken(token, body, size, recordBase);
            }
        }
        break;  // the record tokens run to the end
    }
    return true;
}
