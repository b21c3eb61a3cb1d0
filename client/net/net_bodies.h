#pragma once
// The body of every message as a record, with its writer and reader at the wire offsets.
// Decode* read a body in network order (as it arrives, before any conversion) and refuse one
// shorter than its layout; every text comes out bounded and terminated. Encode* write the whole
// body in network order, unnamed bytes zero, and return its size.

#include <cstddef>
#include <cstdint>

// ---- Shared shapes ---------------------------------------------------------------------------

// u16 at 0 (converted), bytes 2 and 3; F_PLAYER_EXIT, F_HIT_SELF, F_CODE_116, F_YANK_PLAYER,
// F_KILL_PLAYER, F_JUMP_PLAYER, F_GODMODE, F_MAKE_SYSOP, F_REQUEST_RAISE, F_CAST_PLAYER_EFFECT.
struct IdBody {
    uint16_t id;
    uint8_t byte2, byte3;
};
bool DecodeIdBody(const uint8_t* body, size_t size, IdBody* out);
size_t EncodeIdBody(const IdBody& in, uint8_t* out, size_t size = 4);

// Two u16 at 0 and 2, byte 4, text from 8 (chat); F_PLAYER_STATUS, F_PLAYER_DEATH, F_CHAT_TEXT,
// F_OBJECT_DEATH, F_HIT_NPC, RCV_*_FLAG_RESPONSE, F_PLAYER_CLEAR_SPLAT, F_SWITCH_TABLE,
// F_CODE_117, F_EXPERIENCE, F_TELEPORT.
struct TwoIdBody {
    uint16_t first, second;
    uint8_t byte4;
    char text[128];  // from 8 (F_CHAT_TEXT only)
};
bool DecodeTwoIdBody(const uint8_t* body, size_t size, TwoIdBody* out);
// size 4 or 8 for the fixed bodies; F_CHAT_TEXT passes 0 to take 8 + text + its zero byte.
size_t EncodeTwoIdBody(const TwoIdBody& in, uint8_t* out, size_t size);

// One u32 at 0: SEND_PING, F_REQUEST_WORLD(_LARGE), F_REQUEST_OBJECT/PLAYER/ARENA.
bool DecodeU32Body(const uint8_t* body, size_t size, uint32_t* out);
size_t EncodeU32Body(uint32_t v, uint8_t* out);

// Up to four bytes: F_DISCONNECT, F_KEEP_ALIVE, F_OPEN_GAME, F_SELECT_*, F_CODE_51/53/71/175,
// F_REMOVE_ARENA/TABLE, F_NEW_ARENA, F_NEW_TABLE, F_BIAS_*, F_REMOVE_PLAYER_EFFECT,
// F_FIRETEAM_MEMBER_VALUE.
struct ByteBody {
    uint8_t b[4];
};
bool DecodeByteBody(const uint8_t* body, size_t size, size_t minimum, ByteBody* out);
size_t EncodeByteBody(const ByteBody& in, uint8_t* out, size_t size);

// Four u16 at 0 to 6: F_PLAY_SOUND, F_YANK, F_YANK_RESPONSE, and F_INIT_PLAYER's head.
struct WordsBody {
    uint16_t w[8];
};
bool DecodeWords(const uint8_t* body, size_t size, int count, WordsBody* out);
void EncodeWords(const WordsBody& in, int count, uint8_t* out);

// ---- Player movement -------------------------------------------------------------------------

struct PlayerStateBody {
    uint16_t motion, height, x, y, facing;
    uint8_t verticalSpeed, bodyByte;
};
bool DecodePlayerState(const uint8_t* body, size_t size, PlayerStateBody* out);
size_t EncodePlayerState(const PlayerStateBody& in, uint8_t* out);

struct PlayerShortStateBody {
    uint16_t facing;
    uint8_t health, sequence, pose;  // bytes 3, 4, 7
};
bool DecodePlayerShortState(const uint8_t* body, size_t size, PlayerShortStateBody* out);
size_t EncodePlayerShortState(const PlayerShortStateBody& in, uint8_t* out);

struct PlayerVitalsBody {
    uint16_t word;
    uint8_t deaths, kills, raises, hits, ping, biases;
};
bool DecodePlayerVitals(const uint8_t* body, size_t size, PlayerVitalsBody* out);
size_t EncodePlayerVitals(const PlayerVitalsBody& in, uint8_t* out);

struct ObjectStateBody {
    uint16_t speed, facing, x, y, z, id;
};
bool DecodeObjectState(const uint8_t* body, size_t size, ObjectStateBody* out);
size_t EncodeObjectState(const ObjectStateBody& in, uint8_t* out);

struct InitPlayerBody {
    uint16_t x, y, z, facing;
    uint8_t hits, maxHits, team, figure, dead, value6;
    uint8_t values134[8], values144[8];
};
bool DecodeInitPlayer(const uint8_t* body, size_t size, InitPlayerBody* out);
size_t EncodeInitPlayer(const InitPlayerBody& in, uint8_t* out);

// ---- World objects, spells and walls ---------------------------------------------------------

struct CreateObjectBody {
    int16_t speed;
    uint16_t facing, x, y, z, id;
    int16_t creator;
    uint16_t kind;
    int8_t zSpeed;
    uint8_t type, team, duration;
};
bool DecodeCreateObject(const uint8_t* body, size_t size, CreateObjectBody* out);
size_t EncodeCreateObject(const CreateObjectBody& in, uint8_t* out);

// F_CREATE_PROJECTILE (w at 0-8, bytes 12-14), F_CREATE_RUNE (w at 0-12, byte 16), F_CAST_WALL
// (w at 0-14), F_DISPELL (w at 0-12, byte 14), F_TARGETTED (w at 0-10, byte 12): words then bytes.
struct SpellCastBody {
    uint16_t w[8];
    uint8_t bytes[4];
};
// The layout of one of those five codes.
bool DecodeSpellCast(int code, const uint8_t* body, size_t size, SpellCastBody* out);
size_t EncodeSpellCast(int code, const SpellCastBody& in, uint8_t* out);

struct CreateEffectBody {
    uint8_t kind, targetType;
    uint16_t source, target, range, facing;
    uint16_t startX, startY;
    int16_t startZ;
    uint16_t targetX, targetY;
    int16_t targetZ;
    uint8_t caster, casterTeam, element, skill;
    uint16_t flightTime, spell;
};
bool DecodeCreateEffect(const uint8_t* body, size_t size, CreateEffectBody* out);
size_t EncodeCreateEffect(const CreateEffectBody& in, uint8_t* out);

struct PlayerEffectBody {
    uint16_t spell;
    uint32_t duration;
};
bool DecodePlayerEffect(const uint8_t* body, size_t size, PlayerEffectBody* out);
size_t EncodePlayerEffect(const PlayerEffectBody& in, uint8_t* out);

// F_THIN_DAMAGE (u32 id, u16 damage), F_THIN_DEATH (u32 id), F_OPEN_DOOR (u32 trigger, byte 4).
struct ThinDamageBody {
    uint32_t id;
    uint16_t damage;
    uint8_t byte4;
};
bool DecodeThinDamage(int code, const uint8_t* body, size_t size, ThinDamageBody* out);
size_t EncodeThinDamage(int code, const ThinDamageBody& in, uint8_t* out);

struct CreateThinBody {
    uint16_t x1, y1, x2, y2, height;
    int16_t baseZ;
    uint16_t values[3];  // 12, 14, 16
    uint16_t id;
    uint16_t group[4];
    uint16_t trigger;
    uint8_t byte32, slotValue, lengthClass, twice, pair, byte38, byte39;  // 32, 33, 34, 36, 37, 38, 39
};
bool DecodeCreateThin(const uint8_t* body, size_t size, CreateThinBody* out);
size_t EncodeCreateThin(const CreateThinBody& in, uint8_t* out);

struct DamageBody {
    int16_t who;
    uint8_t damage, drained, hits;
};
bool DecodeDamage(const uint8_t* body, size_t size, DamageBody* out);

// ---- Shrines, nodes and flags ----------------------------------------------------------------

struct NodeStateBody {  // EARTHBLOOD_STATE, SHRINE_STATE and each record of code 55
    uint8_t which, alignment, value;
    int8_t change;
    uint8_t weight;
    uint16_t player;
};
bool DecodeNodeState(const uint8_t* body, size_t size, NodeStateBody* out);
size_t EncodeNodeState(const NodeStateBody& in, uint8_t* out);

struct DropFlagBody {
    uint32_t x, y, floor;
    uint16_t id, flag;
};
size_t EncodeDropFlag(const DropFlagBody& in, uint8_t* out);
bool DecodeDropFlag(const uint8_t* body, size_t size, DropFlagBody* out);

// ---- Players, names and squads ---------------------------------------------------------------

struct PlayerJoinedBody {
    uint16_t id;
    uint8_t location, team;
    char name[13];
    uint8_t values[4];  // 16 to 19; 18 the flags
    char abbrev[5];     // 20 to 23
};
bool DecodePlayerJoined(const uint8_t* body, size_t size, PlayerJoinedBody* out);
size_t EncodePlayerJoined(const PlayerJoinedBody& in, uint8_t* out);
// Record k (0 to 9) of F_PLAYER_ENTER_LARGE, in the same record form.
bool DecodePlayerEnterRecord(const uint8_t* body, size_t size, int k, PlayerJoinedBody* out);
size_t EncodePlayerEnterRecord(const PlayerJoinedBody& in, uint8_t* out);

struct SendAccountBody {
    uint16_t id;
    char name[20];
    uint8_t address[4];  // as sent, network order
    char account[64];
};
bool DecodeSendAccount(const uint8_t* body, size_t size, SendAccountBody* out);

struct GuildBody {
    uint16_t from, to;
    char squad[32];
    char abbrev[8];
};
bool DecodeGuild(const uint8_t* body, size_t size, GuildBody* out);
size_t EncodeGuild(const GuildBody& in, uint8_t* out);

struct NameQueryBody {  // F_QUERY_NAME, F_CHECK_NAME, F_ADD_NAME, F_DELETE_NAME
    char name[30];
    char account[24];
};
size_t EncodeNameQuery(const NameQueryBody& in, uint8_t* out);
bool DecodeNameQuery(const uint8_t* body, size_t size, NameQueryBody* out);

struct NameResponseBody {
    char name[30];
    char account[20];
    uint8_t answer;
};
bool DecodeNameResponse(const uint8_t* body, size_t size, NameResponseBody* out);

struct CharacterHeadBody {  // F_REQUEST_CHARACTER and the heads of codes 85 to 89
    char account[20];
    uint8_t slot;
    int8_t errors[3];  // 86, 89
    char reason[64];   // from 24 (86, 89)
};
bool DecodeCharacterHead(const uint8_t* body, size_t size, CharacterHeadBody* out);
size_t EncodeRequestCharacter(const CharacterHeadBody& in, uint8_t* out);

// F_SEND_CHARACTER and F_REQUEST_CHAR_RESPONSE: the head and 250 record bytes as stored, with the
// u32 at record 76 and the forty u16 at record 80 to 158 in host order.
constexpr int kCharacterBodySize = 274;
constexpr int kCharacterRecordBytes = 250;
struct CharacterBody {
    char account[20];
    uint8_t slot;
    uint8_t record[kCharacterRecordBytes];
};
bool DecodeCharacter(const uint8_t* body, size_t size, CharacterBody* out);
size_t EncodeCharacter(const CharacterBody& in, uint8_t* out);

// F_REMOVE_PLAYER, F_BOOT_PLAYER, F_BAN_PLAYER, F_SHOW_ACCOUNT: the id high byte first, the
// name without its zero byte.
size_t EncodeOperatorName(uint16_t id, const char* name, uint8_t* out, size_t capacity);
bool DecodeOperatorName(const uint8_t* body, size_t size, uint16_t* id, char* name, size_t nameSize);
// F_UNBAN_PLAYER sent: 0, then the account without its zero byte.
size_t EncodeUnban(const char* account, uint8_t* out, size_t capacity);
// F_UNBAN_PLAYER received: found byte and the account.
bool DecodeUnbanReply(const uint8_t* body, size_t size, uint8_t* found, char* account, size_t accountSize);

// ---- Lobby lists -----------------------------------------------------------------------------

struct WorldEnterBody {  // one record of F_WORLD_ENTER(_LARGE)
    uint8_t number, type;
    char name[20];
    char text1[10], founder[10], text3[10];  // 22, 32, 42
};
bool DecodeWorldEnter(const uint8_t* body, size_t size, int record, WorldEnterBody* out);
size_t EncodeWorldEnter(const WorldEnterBody& in, uint8_t* out);

struct WorldStateBody {
    uint8_t number, type;
    uint8_t bytes[22];   // 2 to 23
    uint32_t d1[8];      // 24 to 52
    uint16_t w56, w58;
    uint32_t d2[5];      // 60 to 76
};
bool DecodeWorldState(const uint8_t* body, size_t size, WorldStateBody* out);
size_t EncodeWorldState(const WorldStateBody& in, uint8_t* out);

constexpr int kMemberListBytes = 64;
struct TableEnterBody {  // one record of F_TABLE_ENTER(_LARGE)
    uint8_t number, value;
    char name[20];
    char founder[10];
    uint8_t members[kMemberListBytes];  // raw, as the lobby table keeps them
};
bool DecodeTableEnter(const uint8_t* body, size_t size, int record, TableEnterBody* out);
size_t EncodeTableEnter(const TableEnterBody& in, uint8_t* out);

struct ValidateListBody {
    uint8_t table;
    uint8_t members[kMemberListBytes];  // raw
};
bool DecodeValidateList(const uint8_t* body, size_t size, ValidateListBody* out);
size_t EncodeValidateList(const ValidateListBody& in, uint8_t* out);

struct FireteamMemberWire {
    uint16_t id;      // u16 at 48 + 2k; converted only in the batch
    uint8_t raw[16];  // 16 record bytes from 56 + 16k, as sent
};
struct FireteamEnterBody {  // one record of F_FIRETEAM_ENTER(_LARGE)
    uint8_t number, flag, mission, value;
    char name[20];
    char secondName[20];
    uint16_t leader;
    uint8_t tail[124];  // 48 to 171 as sent
};
bool DecodeFireteamEnter(const uint8_t* body, size_t size, int record, FireteamEnterBody* out);
size_t EncodeFireteamEnter(const FireteamEnterBody& in, uint8_t* out);

struct FireteamStatusBody {
    uint8_t number, status;
    uint16_t members[4];
    uint8_t memberBytes[4];
    char names[4][20];
};
bool DecodeFireteamStatus(const uint8_t* body, size_t size, FireteamStatusBody* out);

struct FireteamMemberInfoBody {
    uint16_t id;
    uint8_t value3, value5, value6, fireteam;  // bytes 3, 5, 6, 7
    uint8_t extra[8];                          // 8 to 15
};
bool DecodeFireteamMemberInfo(const uint8_t* body, size_t size, FireteamMemberInfoBody* out);

struct ClaimArenaBody {
    uint8_t arena;
    char claimant[32];
};
bool DecodeClaimArena(const uint8_t* body, size_t size, ClaimArenaBody* out);

// ---- Service link and entry ------------------------------------------------------------------

struct ConnectBody {
    uint8_t version[4];
    char password[50];
    char serviceName[20];
    char account[20];
};
size_t EncodeConnect(const ConnectBody& in, uint8_t* out);
bool DecodeConnect(const uint8_t* body, size_t size, ConnectBody* out);

// S_CONNECTION: the own id, low byte first.
bool DecodeConnection(const uint8_t* body, size_t size, uint16_t* id);
size_t EncodeConnection(uint16_t id, uint8_t* out);

struct ServerVersionBody {  // S_SERVER_VERSION and S_NOT_CONNECTED
    int8_t value;           // byte 0: the refusal value of code 132
    uint8_t version[4];     // 1 to 4
    char account[32];       // from 5, code 130
};
bool DecodeServerVersion(const uint8_t* body, size_t size, ServerVersionBody* out);

struct PongBody {
    uint32_t time, values[3];
};
bool DecodePong(const uint8_t* body, size_t size, PongBody* out);
size_t EncodePong(const PongBody& in, uint8_t* out);

struct DatagramAddressBody {  // S_DATAGRAM_ESTABLISHED and F_ESTABLISH_DATAGRAM
    char address[20];
    uint32_t port;
};
bool DecodeDatagramAddress(const uint8_t* body, size_t size, DatagramAddressBody* out);
size_t EncodeDatagramAddress(const DatagramAddressBody& in, uint8_t* out);

struct PlayerEnterBody {
    uint16_t id;
    uint8_t port, team;
    char name[12];
    uint8_t profession, level, rank;  // 16, 17, 18
    char account[20];
    char text40[32];
    uint8_t text72[4];
};
size_t EncodePlayerEnter(const PlayerEnterBody& in, uint8_t* out);
bool DecodePlayerEnter(const uint8_t* body, size_t size, PlayerEnterBody* out);

struct ScoreBody {
    uint32_t profession, level, experience;
    char text[50];  // 12 to 61
    char name[62];  // 62 to 123
};
size_t EncodeScore(const ScoreBody& in, uint8_t* out);
bool DecodeScore(const uint8_t* body, size_t size, ScoreBody* out);

struct HighscoreRecord {
    char name[60];
    uint32_t level, second;
};
struct HighscoreListBody {
    uint32_t list;
    uint32_t count;  // as sent
    int records;     // held: at most 10 and what the body holds
    HighscoreRecord record[10];
};
bool DecodeHighscoreList(const uint8_t* body, size_t size, HighscoreListBody* out);

struct UpdateStatusBody {
    int16_t temp, bonus, temp2;
};
bool DecodeUpdateStatus(const uint8_t* body, size_t size, UpdateStatusBody* out);

struct Code120Body {
    uint8_t inUse[8];
    char texts[8][32];
    uint16_t values[8];
};
bool DecodeCode120(const uint8_t* body, size_t size, Code120Body* out);
size_t EncodeCode120(const Code120Body& in, uint8_t* out);

// F_GUILD_INFO: squads of a length byte, the name and a four-byte abbreviation. Calls fn for
// each whole entry; false when an entry runs past the body.
struct GuildInfoEntry {
    char name[33];
    char abbrev[5];
};
bool DecodeGuildInfo(const uint8_t* body, size_t size, GuildInfoEntry* entries, int capacity, int* count);
