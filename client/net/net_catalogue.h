#pragma once
// Every function code of the service protocol: its name, what the client sends (body size and
// destination), in which screens a received one is taken and the shortest body a handler may
// read. Each body's byte order is turned by its own reader and writer (net_bodies), which take
// every 16- and 32-bit field in network order at its offset.

#include <cstddef>
#include <cstdint>

enum NetCode : uint8_t {
    F_PLAYER_STATE = 1, F_CREATE_OBJECT = 2, F_PLAYER_JOINED = 3, F_PLAYER_EXIT = 4, F_PLAYER_STATUS = 5,
    F_PLAYER_DEATH = 6, F_CHAT_TEXT = 7, F_REQUEST_WORLD = 8, F_OBJECT_STATE = 9, F_OBJECT_DEATH = 10,
    SEND_PING = 11, F_CREATE_THIN = 12, F_CONNECT = 15, F_DISCONNECT = 16, F_KEEP_ALIVE = 17,
    F_PLAYER_SHORT_STATE = 18, F_DAMAGE = 19, F_HIT_SELF = 20, F_HIT_NPC = 21, F_REQUEST_OBJECT = 22,
    F_OPEN_GAME = 23, F_PLAYER_VITALS = 24, F_WORLD_ENTER = 25, F_WORLD_STATE = 26,
    RCV_GET_FLAG_RESPONSE = 30, SEND_DROP_FLAG = 31, RCV_DROP_FLAG_RESPONSE = 32, F_PLAYER_CLEAR_SPLAT = 33,
    F_NEW_ARENA = 34, F_SELECT_ARENA = 35, F_REMOVE_ARENA = 36, F_CREATE_EFFECT = 37, F_REQUEST_PLAYER = 38,
    F_PLAYER_EFFECT = 39, F_BIAS_EARTHBLOOD = 40, EARTHBLOOD_STATE = 41, F_BIAS_SHRINE = 42, SHRINE_STATE = 43,
    F_DISPELL = 44, F_TARGETTED = 45, F_THIN_DEATH = 46, F_THIN_DAMAGE = 47, F_TELEPORT = 48, F_OPEN_DOOR = 49,
    F_REQUEST_ARENA = 50, F_CODE_51 = 51, F_PLAYER_ENTER_LARGE = 52, F_CODE_53 = 53, F_WORLD_ENTER_LARGE = 54,
    F_EARTHBLOOD_SHRINE_STATE = 55, F_REQUEST_WORLD_LARGE = 64, F_EXPERIENCE = 65, F_TABLE_ENTER = 66,
    F_REMOVE_TABLE = 67, F_TABLE_ENTER_LARGE = 68, F_NEW_TABLE = 69, F_SELECT_TABLE = 70, F_CODE_71 = 71,
    F_REMOVE_PLAYER = 73, F_BOOT_PLAYER = 74, F_BAN_PLAYER = 80, F_MAKE_SYSOP = 81, F_VALIDATE_PLAYER_LIST = 82,
    F_SWITCH_TABLE = 83, F_REQUEST_CHARACTER = 84, F_REQUEST_CHAR_RESPONSE = 85, F_REQUEST_CHAR_ERROR = 86,
    F_SEND_CHARACTER = 87, F_SEND_CHAR_RESPONSE = 88, F_SEND_CHAR_ERROR = 89, F_FIRETEAM_ENTER = 90,
    F_FIRETEAM_ENTER_LARGE = 92, F_SHOW_ACCOUNT = 96, F_PLAY_SOUND = 97, F_SEND_ACCOUNT = 98, F_QUERY_NAME = 99,
    F_QUERY_NAME_RESPONSE = 100, F_ADD_NAME = 101, F_DELETE_NAME = 104, F_CHECK_NAME = 106,
    F_CHECK_NAME_RESPONSE = 107, F_FIRETEAM_STATUS = 110, F_FIRETEAM_MEMBER_INFO = 112,
    F_FIRETEAM_MEMBER_VALUE = 114, F_CLAIM_ARENA = 115, F_CODE_116 = 116, F_CODE_117 = 117, F_CODE_120 = 120,
    F_INIT_PLAYER = 124, F_REQUEST_INIT_PLAYER = 125, S_CONNECTION = 128, RCV_PONG = 129, S_SERVER_VERSION = 130,
    S_WORLD_SENT = 131, S_NOT_CONNECTED = 132, S_GAME_OPENED = 133, S_DATAGRAM_ESTABLISHED = 135, F_SCORE = 160,
    F_REQUEST_HIGHSCORES = 161, F_HIGHSCORE_LIST = 162, F_RENAME_PLAYER = 163, F_YANK_PLAYER = 164,
    F_KILL_PLAYER = 165, F_YANK = 167, F_YANK_RESPONSE = 168, F_UNBAN_PLAYER = 169, F_JUMP_PLAYER = 172,
    F_GODMODE = 173, F_UPDATE_STATUS = 174, F_CODE_175 = 175, F_CREATE_PROJECTILE = 176, F_REQUEST_RAISE = 177,
    F_CREATE_RUNE = 178, F_CAST_PLAYER_EFFECT = 179, F_CAST_WALL = 180, F_INVITE_GUILD = 181,
    F_LEAVE_GUILD = 182, F_JOIN_GUILD = 183, F_PLAYER_ENTER = 184, F_GUILD_INFO = 186,
    F_REMOVE_PLAYER_EFFECT = 187, F_ESTABLISH_DATAGRAM = 188,
};

// Screens in which a received code is taken.
enum Accepted : uint8_t {
    ACCEPT_NEVER = 0,
    ACCEPT_ARENA = 1,  // screen state 1 only
    ACCEPT_LOBBY = 2,  // states 1, 2 and 11
    ACCEPT_ANY = 3,
};

constexpr int kNotSent = -1;
constexpr int kDestinationOnePlayer = -2;  // the caller names the player
constexpr int kDestinationNone = -1;

struct MessageInfo {
    uint8_t code;
    const char* name;
    int sentSize;        // body bytes the client sends; kNotSent when it never does
    bool sentVariable;   // sentSize is the fixed part; a text follows
    int destination;     // 0xFFFF all, 0xFFFE service, 0, kDestinationOnePlayer, kDestinationNone
    Accepted accepted;
    int minReceived;     // shortest body a handler may read; 0 for codes never taken
};

constexpr int kMessageCount = 122;
extern const MessageInfo MessageCatalogue[kMessageCount];

// The entry of a code; null for a code not in the catalogue.
const MessageInfo* FindMessage(int code);
