#include "client/net/net_bodies.h"

#include <algorithm>
#include <cstring>

namespace {

uint16_t U16(const uint8_t* b, size_t off) { return static_cast<uint16_t>((b[off] << 8) | b[off + 1]); }
uint32_t U32(const uint8_t* b, size_t off) {
    return (uint32_t(b[off]) << 24) | (uint32_t(b[off + 1]) << 16) | (uint32_t(b[off + 2]) << 8) | b[off + 3];
}
void Put16(uint8_t* b, size_t off, uint32_t v) {
    b[off] = static_cast<uint8_t>(v >> 8);
    b[off + 1] = static_cast<uint8_t>(v);
}
void Put32(uint8_t* b, size_t off, uint32_t v) {
    Put16(b, off, v >> 16);
    Put16(b, off + 2, v);
}

// A text field of width bytes at off, cut to what the body holds and to outSize - 1.
void GetText(const uint8_t* b, size_t size, size_t off, size_t width, char* out, size_t outSize) {
    size_t n = 0;
    size_t avail = off < size ? std::min(width, size - off) : 0;
    while (n < avail && n + 1 < outSize && b[off + n])
        ++n;
    std::memcpy(out, b + off, n);
    out[n] = 0;
}

// Up to width - 1 characters and a zero byte (the field was zeroed by the caller).
void PutText(uint8_t* b, size_t off, size_t width, const char* text) {
    size_t n = strnlen(text, width - 1);
    std::memcpy(b + off, text, n);
}

// Up to width characters, with no zero byte when the text fills the field.
void PutTextFull(uint8_t* b, size_t off, size_t width, const char* text, size_t textSize) {
    std::memcpy(b + off, text, strnlen(text, std::min(width, textSize)));
}

}  // namespace

// ---- Shared shapes ---------------------------------------------------------------------------

bool DecodeIdBody(const uint8_t* b, size_t size, IdBody* o) {
    if (size < 2)
        return false;
    *o = IdBody{U16(b, 0), size > 2 ? b[2] : uint8_t(0), size > 3 ? b[3] : uint8_t(0)};
    return true;
}

size_t EncodeIdBody(const IdBody& in, uint8_t* out, size_t size) {
    std::memset(out, 0, size);
    Put16(out, 0, in.id);
    if (size > 2)
        out[2] = in.byte2;
    if (size > 3)
        out[3] = in.byte3;
    return size;
}

bool DecodeTwoIdBody(const uint8_t* b, size_t size, TwoIdBody* o) {
    if (size < 4)
        return false;
    o->first = U16(b, 0);
    o->second = U16(b, 2);
    o->byte4 = size > 4 ? b[4] : 0;
    GetText(b, size, 8, size > 8 ? size - 8 : 0, o->text, sizeof o->text);
    return true;
}

size_t EncodeTwoIdBody(const TwoIdBody& in, uint8_t* out, size_t size) {
    size_t textLen = strnlen(in.text, sizeof in.text - 1);
    if (size == 0)
        size = 8 + textLen + 1;
    std::memset(out, 0, size);
    Put16(out, 0, in.first);
    Put16(out, 2, in.second);
    if (size > 4)
        out[4] = in.byte4;
    if (size > 8)
        std::memcpy(out + 8, in.text, std::min(textLen, size - 9));
    return size;
}

bool DecodeU32Body(const uint8_t* b, size_t size, uint32_t* o) {
    if (size < 4)
        return false;
    *o = U32(b, 0);
    return true;
}

size_t EncodeU32Body(uint32_t v, uint8_t* out) {
    Put32(out, 0, v);
    return 4;
}

bool DecodeByteBody(const uint8_t* b, size_t size, size_t minimum, ByteBody* o) {
    if (size < minimum)
        return false;
    *o = ByteBody{};
    std::memcpy(o->b, b, std::min<size_t>(size, 4));
    return true;
}

size_t EncodeByteBody(const ByteBody& in, uint8_t* out, size_t size) {
    std::memcpy(out, in.b, size);
    return size;
}

bool DecodeWords(const uint8_t* b, size_t size, int count, WordsBody* o) {
    if (size < static_cast<size_t>(count) * 2)
        return false;
    *o = WordsBody{};
    for (int i = 0; i < count; ++i)
        o->w[i] = U16(b, 2 * i);
    return true;
}

void EncodeWords(const WordsBody& in, int count, uint8_t* out) {
    for (int i = 0; i < count; ++i)
        Put16(out, 2 * i, in.w[i]);
}

// ---- Player movement -------------------------------------------------------------------------

bool DecodePlayerState(const uint8_t* b, size_t size, PlayerStateBody* o) {
    if (size < 12)
        return false;
    *o = PlayerStateBody{U16(b, 0), U16(b, 2), U16(b, 4), U16(b, 6), U16(b, 8), b[10], b[11]};
    return true;
}

size_t EncodePlayerState(const PlayerStateBody& in, uint8_t* out) {
    Put16(out, 0, in.motion);
    Put16(out, 2, in.height);
    Put16(out, 4, in.x);
    Put16(out, 6, in.y);
    Put16(out, 8, in.facing);
    out[10] = in.verticalSpeed;
    out[11] = in.bodyByte;
    return 12;
}

bool DecodePlayerShortState(const uint8_t* b, size_t size, PlayerShortStateBody* o) {
    if (size < 8)
        return false;
    *o = PlayerShortStateBody{U16(b, 0), b[3], b[4], b[7]};
    return true;
}

size_t EncodePlayerShortState(const PlayerShortStateBody& in, uint8_t* out) {
    std::memset(out, 0, 8);
    Put16(out, 0, in.facing);
    out[3] = in.health;
    out[4] = in.sequence;
    out[7] = in.pose;
    return 8;
}

bool DecodePlayerVitals(const uint8_t* b, size_t size, PlayerVitalsBody* o) {
    if (size < 8)
        return false;
    *o = PlayerVitalsBody{U16(b, 0), b[2], b[3], b[4], b[5], b[6], b[7]};
    return true;
}

size_t EncodePlayerVitals(const PlayerVitalsBody& in, uint8_t* out) {
    Put16(out, 0, in.word);
    out[2] = in.deaths;
    out[3] = in.kills;
    out[4] = in.raises;
    out[5] = in.hits;
    out[6] = in.ping;
    out[7] = in.biases;
    return 8;
}

bool DecodeObjectState(const uint8_t* b, size_t size, ObjectStateBody* o) {
    if (size < 12)
        return false;
    *o = ObjectStateBody{U16(b, 0), U16(b, 2), U16(b, 4), U16(b, 6), U16(b, 8), U16(b, 10)};
    return true;
}

size_t EncodeObjectState(const ObjectStateBody& in, uint8_t* out) {
    const uint16_t w[6] = {in.speed, in.facing, in.x, in.y, in.z, in.id};
    for (int i = 0; i < 6; ++i)
        Put16(out, 2 * i, w[i]);
    return 12;
}

bool DecodeInitPlayer(const uint8_t* b, size_t size, InitPlayerBody* o) {
    if (size < 32)
        return false;
    *o = InitPlayerBody{U16(b, 0), U16(b, 2), U16(b, 4), U16(b, 6), b[8], b[9], b[10], b[11], b[12], b[13], {}, {}};
    std::memcpy(o->values134, b + 16, 8);
    std::memcpy(o->values144, b + 24, 8);
    return true;
}

size_t EncodeInitPlayer(const InitPlayerBody& in, uint8_t* out) {
    std::memset(out, 0, 32);
    Put16(out, 0, in.x);
    Put16(out, 2, in.y);
    Put16(out, 4, in.z);
    Put16(out, 6, in.facing);
    const uint8_t bytes[6] = {in.hits, in.maxHits, in.team, in.figure, in.dead, in.value6};
    std::memcpy(out + 8, bytes, 6);
    std::memcpy(out + 16, in.values134, 8);
    std::memcpy(out + 24, in.values144, 8);
    return 32;
}

// ---- World objects, spells and walls ---------------------------------------------------------

bool DecodeCreateObject(const uint8_t* b, size_t size, CreateObjectBody* o) {
    if (size < 20)
        return false;
    *o = CreateObjectBody{static_cast<int16_t>(U16(b, 0)), U16(b, 2), U16(b, 4), U16(b, 6), U16(b, 8),
                          U16(b, 10), static_cast<int16_t>(U16(b, 12)), U16(b, 14), static_cast<int8_t>(b[16]),
                          b[17], b[18], b[19]};
    return true;
}

size_t EncodeCreateObject(const CreateObjectBody& in, uint8_t* out) {
    const uint16_t w[8] = {static_cast<uint16_t>(in.speed), in.facing, in.x, in.y, in.z, in.id,
                           static_cast<uint16_t>(in.creator), in.kind};
    for (int i = 0; i < 8; ++i)
        Put16(out, 2 * i, w[i]);
    out[16] = static_cast<uint8_t>(in.zSpeed);
    out[17] = in.type;
    out[18] = in.team;
    out[19] = in.duration;
    return 20;
}

namespace {

struct CastLayout {
    int code, size, words, byteOffset, bytes;
};
constexpr CastLayout kCastLayouts[] = {
    {176, 16, 5, 12, 3},  // F_CREATE_PROJECTILE
    {178, 20, 7, 16, 1},  // F_CREATE_RUNE
    {180, 16, 8, 16, 0},  // F_CAST_WALL
    {44, 16, 7, 14, 1},   // F_DISPELL
    {45, 16, 6, 12, 1},   // F_TARGETTED
};

const CastLayout* FindCast(int code) {
    for (const CastLayout& l : kCastLayouts)
        if (l.code == code)
            return &l;
    return nullptr;
}

}  // namespace

bool DecodeSpellCast(int code, const uint8_t* b, size_t size, SpellCastBody* o) {
    const CastLayout* l = FindCast(code);
    if (!l || size < static_cast<size_t>(l->size))
        return false;
    *o = SpellCastBody{};
    for (int i = 0; i < l->words; ++i)
        o->w[i] = U16(b, 2 * i);
    std::memcpy(o->bytes, b + l->byteOffset, static_cast<size_t>(l->bytes));
    return true;
}

size_t EncodeSpellCast(int code, const SpellCastBody& in, uint8_t* out) {
    const CastLayout* l = FindCast(code);
    if (!l)
        return 0;
    std::memset(out, 0, static_cast<size_t>(l->size));
    for (int i = 0; i < l->words; ++i)
        Put16(out, 2 * i, in.w[i]);
    std::memcpy(out + l->byteOffset, in.bytes, static_cast<size_t>(l->bytes));
    return static_cast<size_t>(l->size);
}

bool DecodeCreateEffect(const uint8_t* b, size_t size, CreateEffectBody* o) {
    if (size < 32)
        return false;
    *o = CreateEffectBody{b[0],      b[2],      U16(b, 4),  U16(b, 6),  U16(b, 8),  U16(b, 10),
                          U16(b, 12), U16(b, 14), static_cast<int16_t>(U16(b, 16)), U16(b, 18), U16(b, 20),
                          static_cast<int16_t>(U16(b, 22)), b[24], b[25], b[26], b[27], U16(b, 28), U16(b, 30)};
    return true;
}

size_t EncodeCreateEffect(const CreateEffectBody& in, uint8_t* out) {
    std::memset(out, 0, 32);
    out[0] = in.kind;
    out[2] = in.targetType;
    const uint16_t w[10] = {in.source, in.target, in.range, in.facing, in.startX, in.startY,
                            static_cast<uint16_t>(in.startZ), in.targetX, in.targetY,
                            static_cast<uint16_t>(in.targetZ)};
    for (int i = 0; i < 10; ++i)
        Put16(out, 4 + 2 * i, w[i]);
    out[24] = in.caster;
    out[25] = in.casterTeam;
    out[26] = in.element;
    out[27] = in.skill;
    Put16(out, 28, in.flightTime);
    Put16(out, 30, in.spell);
    return 32;
}

bool DecodePlayerEffect(const uint8_t* b, size_t size, PlayerEffectBody* o) {
    if (size < 8)
        return false;
    *o = PlayerEffectBody{U16(b, 0), U32(b, 4)};
    return true;
}

size_t EncodePlayerEffect(const PlayerEffectBody& in, uint8_t* out) {
    std::memset(out, 0, 8);
    Put16(out, 0, in.spell);
    Put32(out, 4, in.duration);
    return 8;
}

bool DecodeThinDamage(int code, const uint8_t* b, size_t size, ThinDamageBody* o) {
    if (size < 8)
        return false;
    *o = ThinDamageBody{U32(b, 0), code == 47 ? U16(b, 4) : uint16_t(0), code == 49 ? b[4] : uint8_t(0)};
    return true;
}

size_t EncodeThinDamage(int code, const ThinDamageBody& in, uint8_t* out) {
    std::memset(out, 0, 8);
    Put32(out, 0, in.id);
    if (code == 47)
        Put16(out, 4, in.damage);
    if (code == 49)
        out[4] = in.byte4;
    return 8;
}

bool DecodeCreateThin(const uint8_t* b, size_t size, CreateThinBody* o) {
    if (size < 40)
        return false;
    *o = CreateThinBody{};
    o->x1 = U16(b, 0);
    o->y1 = U16(b, 2);
    o->x2 = U16(b, 4);
    o->y2 = U16(b, 6);
    o->height = U16(b, 8);
    o->baseZ = static_cast<int16_t>(U16(b, 10));
    for (int i = 0; i < 3; ++i)
        o->values[i] = U16(b, 12 + 2 * i);
    o->id = U16(b, 18);
    for (int i = 0; i < 4; ++i)
        o->group[i] = U16(b, 20 + 2 * i);
    o->trigger = U16(b, 28);
    o->byte32 = b[32];
    o->slotValue = b[33];
    o->lengthClass = b[34];
    o->twice = b[36];
    o->pair = b[37];
    o->byte38 = b[38];
    o->byte39 = b[39];
    return true;
}

size_t EncodeCreateThin(const CreateThinBody& in, uint8_t* out) {
    std::memset(out, 0, 40);
    const uint16_t w[15] = {in.x1, in.y1, in.x2, in.y2, in.height, static_cast<uint16_t>(in.baseZ),
                            in.values[0], in.values[1], in.values[2], in.id, in.group[0], in.group[1],
                            in.group[2], in.group[3], in.trigger};
    for (int i = 0; i < 15; ++i)
        Put16(out, 2 * i, w[i]);
    out[32] = in.byte32;
    out[33] = in.slotValue;
    out[34] = in.lengthClass;
    out[36] = in.twice;
    out[37] = in.pair;
    out[38] = in.byte38;
    out[39] = in.byte39;
    return 40;
}

bool DecodeDamage(const uint8_t* b, size_t size, DamageBody* o) {
    if (size < 5)
        return false;
    *o = DamageBody{static_cast<int16_t>(U16(b, 0)), b[2], b[3], b[4]};
    return true;
}

// ---- Shrines, nodes and flags ----------------------------------------------------------------

bool DecodeNodeState(const uint8_t* b, size_t size, NodeStateBody* o) {
    if (size < 8)
        return false;
    *o = NodeStateBody{b[0], b[1], b[2], static_cast<int8_t>(b[4]), b[5], U16(b, 6)};
    return true;
}

size_t EncodeNodeState(const NodeStateBody& in, uint8_t* out) {
    std::memset(out, 0, 8);
    out[0] = in.which;
    out[1] = in.alignment;
    out[2] = in.value;
    out[4] = static_cast<uint8_t>(in.change);
    out[5] = in.weight;
    Put16(out, 6, in.player);
    return 8;
}

size_t EncodeDropFlag(const DropFlagBody& in, uint8_t* out) {
    Put32(out, 0, in.x);
    Put32(out, 4, in.y);
    Put32(out, 8, in.floor);
    Put16(out, 12, in.id);
    Put16(out, 14, in.flag);
    return 16;
}

bool DecodeDropFlag(const uint8_t* b, size_t size, DropFlagBody* o) {
    if (size < 16)
        return false;
    *o = DropFlagBody{U32(b, 0), U32(b, 4), U32(b, 8), U16(b, 12), U16(b, 14)};
    return true;
}

// ---- Players, names and squads ---------------------------------------------------------------

bool DecodePlayerJoined(const uint8_t* b, size_t size, PlayerJoinedBody* o) {
    if (size < 24)
        return false;
    *o = PlayerJoinedBody{};
    o->id = U16(b, 0);
    o->location = b[2];
    o->team = b[3];
    GetText(b, size, 4, 12, o->name, sizeof o->name);
    std::memcpy(o->values, b + 16, 4);
    GetText(b, size, 20, 4, o->abbrev, sizeof o->abbrev);
    return true;
}

size_t EncodePlayerJoined(const PlayerJoinedBody& in, uint8_t* out) {
    std::memset(out, 0, 24);
    Put16(out, 0, in.id);
    out[2] = in.location;
    out[3] = in.team;
    PutText(out, 4, 12, in.name);
    std::memcpy(out + 16, in.values, 4);
    PutTextFull(out, 20, 4, in.abbrev, sizeof in.abbrev);
    return 24;
}

bool DecodePlayerEnterRecord(const uint8_t* body, size_t size, int k, PlayerJoinedBody* o) {
    size_t at = static_cast<size_t>(k) * 24;
    if (k < 0 || k >= 10 || size < at + 24)
        return false;
    const uint8_t* b = body + at;
    *o = PlayerJoinedBody{};
    GetText(b, 24, 0, 12, o->name, sizeof o->name);
    o->id = U16(b, 12);
    o->location = b[14];
    o->team = b[15];
    std::memcpy(o->values, b + 16, 4);
    GetText(b, 24, 20, 4, o->abbrev, sizeof o->abbrev);
    return true;
}

size_t EncodePlayerEnterRecord(const PlayerJoinedBody& in, uint8_t* out) {
    std::memset(out, 0, 24);
    PutText(out, 0, 12, in.name);
    Put16(out, 12, in.id);
    out[14] = in.location;
    out[15] = in.team;
    std::memcpy(out + 16, in.values, 4);
    PutTextFull(out, 20, 4, in.abbrev, sizeof in.abbrev);
    return 24;
}

bool DecodeSendAccount(const uint8_t* b, size_t size, SendAccountBody* o) {
    if (size < 40)
        return false;
    *o = SendAccountBody{};
    o->id = U16(b, 0);
    GetText(b, size, 4, 20, o->name, sizeof o->name);
    std::memcpy(o->address, b + 24, 4);
    GetText(b, size, 40, size - 40, o->account, sizeof o->account);
    return true;
}

bool DecodeGuild(const uint8_t* b, size_t size, GuildBody* o) {
    if (size < 44)
        return false;
    *o = GuildBody{U16(b, 0), U16(b, 2), {}, {}};
    GetText(b, size, 4, 32, o->squad, sizeof o->squad);
    GetText(b, size, 36, 8, o->abbrev, sizeof o->abbrev);
    return true;
}

size_t EncodeGuild(const GuildBody& in, uint8_t* out) {
    std::memset(out, 0, 44);
    Put16(out, 0, in.from);
    Put16(out, 2, in.to);
    PutText(out, 4, 32, in.squad);
    PutText(out, 36, 8, in.abbrev);
    return 44;
}

size_t EncodeNameQuery(const NameQueryBody& in, uint8_t* out) {
    std::memset(out, 0, 54);
    PutText(out, 0, 30, in.name);
    PutText(out, 30, 24, in.account);
    return 54;
}

bool DecodeNameQuery(const uint8_t* b, size_t size, NameQueryBody* o) {
    if (size < 54)
        return false;
    GetText(b, size, 0, 30, o->name, sizeof o->name);
    GetText(b, size, 30, 24, o->account, sizeof o->account);
    return true;
}

bool DecodeNameResponse(const uint8_t* b, size_t size, NameResponseBody* o) {
    if (size < 51)
        return false;
    GetText(b, size, 0, 30, o->name, sizeof o->name);
    GetText(b, size, 30, 20, o->account, sizeof o->account);
    o->answer = b[50];
    return true;
}

bool DecodeCharacterHead(const uint8_t* b, size_t size, CharacterHeadBody* o) {
    if (size < 21)
        return false;
    *o = CharacterHeadBody{};
    GetText(b, size, 0, 20, o->account, sizeof o->account);
    o->slot = b[20];
    for (size_t i = 0; i < 3 && 21 + i < size; ++i)
        o->errors[i] = static_cast<int8_t>(b[21 + i]);
    GetText(b, size, 24, size > 24 ? size - 24 : 0, o->reason, sizeof o->reason);
    return true;
}

size_t EncodeRequestCharacter(const CharacterHeadBody& in, uint8_t* out) {
    std::memset(out, 0, 24);
    PutText(out, 0, 20, in.account);
    out[20] = in.slot;
    return 24;
}

namespace {

// The record's converted fields: the u32 at 76 and the forty u16 from 80.
void CharacterWords(uint8_t* record, const uint8_t* wire, bool toHost) {
    uint32_t d;
    if (toHost) {
        d = U32(wire, 76);
        std::memcpy(record + 76, &d, 4);
        for (int i = 0; i < 40; ++i) {
            uint16_t w = U16(wire, 80 + 2 * i);
            std::memcpy(record + 80 + 2 * i, &w, 2);
        }
    } else {
        std::memcpy(&d, wire + 76, 4);
        Put32(record, 76, d);
        for (int i = 0; i < 40; ++i) {
            uint16_t w;
            std::memcpy(&w, wire + 80 + 2 * i, 2);
            Put16(record, 80 + 2 * i, w);
        }
    }
}

}  // namespace

bool DecodeCharacter(const uint8_t* b, size_t size, CharacterBody* o) {
    if (size < kCharacterBodySize)
        return false;
    GetText(b, size, 0, 20, o->account, sizeof o->account);
    o->slot = b[20];
    std::memcpy(o->record, b + 24, kCharacterRecordBytes);
    CharacterWords(o->record, b + 24, true);
    return true;
}

size_t EncodeCharacter(const CharacterBody& in, uint8_t* out) {
    std::memset(out, 0, kCharacterBodySize);
    PutText(out, 0, 20, in.account);
    out[20] = in.slot;
    std::memcpy(out + 24, in.record, kCharacterRecordBytes);
    CharacterWords(out + 24, in.record, false);
    return kCharacterBodySize;
}

size_t EncodeOperatorName(uint16_t id, const char* name, uint8_t* out, size_t capacity) {
    if (capacity < 2)
        return 0;
    Put16(out, 0, id);
    size_t n = strnlen(name, capacity - 2);
    std::memcpy(out + 2, name, n);
    return 2 + n;
}

bool DecodeOperatorName(const uint8_t* b, size_t size, uint16_t* id, char* name, size_t nameSize) {
    if (size < 2)
        return false;
    *id = U16(b, 0);
    GetText(b, size, 2, size - 2, name, nameSize);
    return true;
}

size_t EncodeUnban(const char* account, uint8_t* out, size_t capacity) {
    if (capacity < 1)
        return 0;
    out[0] = 0;
    size_t n = strnlen(account, capacity - 1);
    std::memcpy(out + 1, account, n);
    return 1 + n;
}

bool DecodeUnbanReply(const uint8_t* b, size_t size, uint8_t* found, char* account, size_t accountSize) {
    if (size < 1)
        return false;
    *found = b[0];
    GetText(b, size, 1, size - 1, account, accountSize);
    return true;
}

// ---- Lobby lists -----------------------------------------------------------------------------

bool DecodeWorldEnter(const uint8_t* body, size_t size, int record, WorldEnterBody* o) {
    size_t at = static_cast<size_t>(record) * 52;
    if (record < 0 || size < at + 52)
        return false;
    const uint8_t* b = body + at;
    o->number = b[0];
    o->type = b[1];
    GetText(b, 52, 2, 20, o->name, sizeof o->name);
    GetText(b, 52, 22, 10, o->text1, sizeof o->text1);
    GetText(b, 52, 32, 10, o->founder, sizeof o->founder);
    GetText(b, 52, 42, 10, o->text3, sizeof o->text3);
    return true;
}

size_t EncodeWorldEnter(const WorldEnterBody& in, uint8_t* out) {
    std::memset(out, 0, 52);
    out[0] = in.number;
    out[1] = in.type;
    PutText(out, 2, 20, in.name);
    PutText(out, 22, 10, in.text1);
    PutText(out, 32, 10, in.founder);
    PutText(out, 42, 10, in.text3);
    return 52;
}

bool DecodeWorldState(const uint8_t* b, size_t size, WorldStateBody* o) {
    if (size < 80)
        return false;
    o->number = b[0];
    o->type = b[1];
    std::memcpy(o->bytes, b + 2, 22);
    for (int i = 0; i < 8; ++i)
        o->d1[i] = U32(b, 24 + 4 * i);
    o->w56 = U16(b, 56);
    o->w58 = U16(b, 58);
    for (int i = 0; i < 5; ++i)
        o->d2[i] = U32(b, 60 + 4 * i);
    return true;
}

size_t EncodeWorldState(const WorldStateBody& in, uint8_t* out) {
    out[0] = in.number;
    out[1] = in.type;
    std::memcpy(out + 2, in.bytes, 22);
    for (int i = 0; i < 8; ++i)
        Put32(out, 24 + 4 * i, in.d1[i]);
    Put16(out, 56, in.w56);
    Put16(out, 58, in.w58);
    for (int i = 0; i < 5; ++i)
        Put32(out, 60 + 4 * i, in.d2[i]);
    return 80;
}

bool DecodeTableEnter(const uint8_t* body, size_t size, int record, TableEnterBody* o) {
    size_t at = static_cast<size_t>(record) * 98;
    if (record < 0 || size < at + 98)
        return false;
    const uint8_t* b = body + at;
    o->number = b[0];
    o->value = b[1];
    GetText(b, 98, 4, 20, o->name, sizeof o->name);
    GetText(b, 98, 24, 10, o->founder, sizeof o->founder);
    std::memcpy(o->members, b + 34, kMemberListBytes);
    return true;
}

size_t EncodeTableEnter(const TableEnterBody& in, uint8_t* out) {
    std::memset(out, 0, 98);
    out[0] = in.number;
    out[1] = in.value;
    PutText(out, 4, 20, in.name);
    PutText(out, 24, 10, in.founder);
    std::memcpy(out + 34, in.members, kMemberListBytes);
    return 98;
}

bool DecodeValidateList(const uint8_t* b, size_t size, ValidateListBody* o) {
    if (size < 68)
        return false;
    o->table = b[0];
    std::memcpy(o->members, b + 4, kMemberListBytes);
    return true;
}

size_t EncodeValidateList(const ValidateListBody& in, uint8_t* out) {
    std::memset(out, 0, 68);
    out[0] = in.table;
    std::memcpy(out + 4, in.members, kMemberListBytes);
    return 68;
}

bool DecodeFireteamEnter(const uint8_t* body, size_t size, int record, FireteamEnterBody* o) {
    size_t at = static_cast<size_t>(record) * 172;
    if (record < 0 || size < at + 172)
        return false;
    const uint8_t* b = body + at;
    o->number = b[0];
    o->flag = b[1];
    o->mission = b[2];
    o->value = b[3];
    GetText(b, 172, 4, 20, o->name, sizeof o->name);
    GetText(b, 172, 24, 20, o->secondName, sizeof o->secondName);
    o->leader = U16(b, 44);
    std::memcpy(o->tail, b + 48, sizeof o->tail);
    return true;
}

size_t EncodeFireteamEnter(const FireteamEnterBody& in, uint8_t* out) {
    std::memset(out, 0, 172);
    out[0] = in.number;
    out[1] = in.flag;
    out[2] = in.mission;
    out[3] = in.value;
    PutText(out, 4, 20, in.name);
    PutText(out, 24, 20, in.secondName);
    Put16(out, 44, in.leader);
    std::memcpy(out + 48, in.tail, sizeof in.tail);
    return 172;
}

bool DecodeFireteamStatus(const uint8_t* b, size_t size, FireteamStatusBody* o) {
    if (size < 96)
        return false;
    o->number = b[0];
    o->status = b[1];
    for (int i = 0; i < 4; ++i) {
        o->members[i] = U16(b, 4 + 2 * i);
        o->memberBytes[i] = b[12 + i];
        GetText(b, size, 16 + 20 * static_cast<size_t>(i), 20, o->names[i], sizeof o->names[i]);
    }
    return true;
}

bool DecodeFireteamMemberInfo(const uint8_t* b, size_t size, FireteamMemberInfoBody* o) {
    if (size < 16)
        return false;
    o->id = U16(b, 0);
    o->value3 = b[3];
    o->value5 = b[5];
    o->value6 = b[6];
    o->fireteam = b[7];
    std::memcpy(o->extra, b + 8, 8);
    return true;
}

bool DecodeClaimArena(const uint8_t* b, size_t size, ClaimArenaBody* o) {
    if (size < 4)
        return false;
    o->arena = b[2];
    GetText(b, size, 4, size - 4, o->claimant, sizeof o->claimant);
    return true;
}

// ---- Service link and entry ------------------------------------------------------------------

size_t EncodeConnect(const ConnectBody& in, uint8_t* out) {
    std::memset(out, 0, 95);
    std::memcpy(out + 1, in.version, 4);
    PutText(out, 5, 50, in.password);
    PutText(out, 55, 20, in.serviceName);
    PutText(out, 75, 20, in.account);
    return 95;
}

bool DecodeConnect(const uint8_t* b, size_t size, ConnectBody* o) {
    if (size < 95)
        return false;
    std::memcpy(o->version, b + 1, 4);
    GetText(b, size, 5, 50, o->password, sizeof o->password);
    GetText(b, size, 55, 20, o->serviceName, sizeof o->serviceName);
    GetText(b, size, 75, 20, o->account, sizeof o->account);
    return true;
}

bool DecodeConnection(const uint8_t* b, size_t size, uint16_t* id) {
    if (size < 2)
        return false;
    *id = static_cast<uint16_t>(b[0] | (b[1] << 8));
    return true;
}

size_t EncodeConnection(uint16_t id, uint8_t* out) {
    out[0] = static_cast<uint8_t>(id);
    out[1] = static_cast<uint8_t>(id >> 8);
    return 2;
}

bool DecodeServerVersion(const uint8_t* b, size_t size, ServerVersionBody* o) {
    if (size < 5)
        return false;
    o->value = static_cast<int8_t>(b[0]);
    std::memcpy(o->version, b + 1, 4);
    GetText(b, size, 5, size - 5, o->account, sizeof o->account);
    return true;
}

bool DecodePong(const uint8_t* b, size_t size, PongBody* o) {
    if (size < 16)
        return false;
    *o = PongBody{U32(b, 0), {U32(b, 4), U32(b, 8), U32(b, 12)}};
    return true;
}

size_t EncodePong(const PongBody& in, uint8_t* out) {
    Put32(out, 0, in.time);
    for (int i = 0; i < 3; ++i)
        Put32(out, 4 + 4 * i, in.values[i]);
    return 16;
}

bool DecodeDatagramAddress(const uint8_t* b, size_t size, DatagramAddressBody* o) {
    if (size < 24)
        return false;
    GetText(b, size, 0, 20, o->address, sizeof o->address);
    o->port = U32(b, 20);
    return true;
}

size_t EncodeDatagramAddress(const DatagramAddressBody& in, uint8_t* out) {
    std::memset(out, 0, 24);
    PutText(out, 0, 20, in.address);
    Put32(out, 20, in.port);
    return 24;
}

size_t EncodePlayerEnter(const PlayerEnterBody& in, uint8_t* out) {
    std::memset(out, 0, 76);
    Put16(out, 0, in.id);
    out[2] = in.port;
    out[3] = in.team;
    PutText(out, 4, 12, in.name);
    out[16] = in.profession;
    out[17] = in.level;
    out[18] = in.rank;
    PutText(out, 20, 20, in.account);
    PutText(out, 40, 32, in.text40);
    std::memcpy(out + 72, in.text72, 4);
    return 76;
}

bool DecodePlayerEnter(const uint8_t* b, size_t size, PlayerEnterBody* o) {
    if (size < 76)
        return false;
    *o = PlayerEnterBody{};
    o->id = U16(b, 0);
    o->port = b[2];
    o->team = b[3];
    GetText(b, size, 4, 11, o->name, sizeof o->name);
    o->profession = b[16];
    o->level = b[17];
    o->rank = b[18];
    GetText(b, size, 20, 20, o->account, sizeof o->account);
    GetText(b, size, 40, 32, o->text40, sizeof o->text40);
    std::memcpy(o->text72, b + 72, 4);
    return true;
}

size_t EncodeScore(const ScoreBody& in, uint8_t* out) {
    std::memset(out, 0, 124);
    Put32(out, 0, in.profession);
    Put32(out, 4, in.level);
    Put32(out, 8, in.experience);
    PutText(out, 12, 50, in.text);
    PutText(out, 62, 62, in.name);
    return 124;
}

bool DecodeScore(const uint8_t* b, size_t size, ScoreBody* o) {
    if (size < 124)
        return false;
    o->profession = U32(b, 0);
    o->level = U32(b, 4);
    o->experience = U32(b, 8);
    GetText(b, size, 12, 50, o->text, sizeof o->text);
    GetText(b, size, 62, 62, o->name, sizeof o->name);
    return true;
}

bool DecodeHighscoreList(const uint8_t* b, size_t size, HighscoreListBody* o) {
    if (size < 8)
        return false;
    o->list = U32(b, 0);
    o->count = U32(b, 4);
    size_t fits = (size - 8) / 68;
    o->records = static_cast<int>(std::min<size_t>({o->count, 10, fits}));
    for (int k = 0; k < o->records; ++k) {
        size_t at = 8 + 68 * static_cast<size_t>(k);
        GetText(b, size, at, 60, o->record[k].name, sizeof o->record[k].name);
        o->record[k].level = U32(b, at + 60);
        o->record[k].second = U32(b, at + 64);
    }
    return true;
}

bool DecodeUpdateStatus(const uint8_t* b, size_t size, UpdateStatusBody* o) {
    if (size < 6)
        return false;
    *o = UpdateStatusBody{static_cast<int16_t>(U16(b, 0)), static_cast<int16_t>(U16(b, 2)),
                          static_cast<int16_t>(U16(b, 4))};
    return true;
}

bool DecodeCode120(const uint8_t* b, size_t size, Code120Body* o) {
    if (size < 280)
        return false;
    for (int k = 0; k < 8; ++k) {
        o->inUse[k] = b[k];
        GetText(b, size, 8 + 32 * static_cast<size_t>(k), 32, o->texts[k], sizeof o->texts[k]);
        o->values[k] = U16(b, 264 + 2 * static_cast<size_t>(k));
    }
    return true;
}

size_t EncodeCode120(const Code120Body& in, uint8_t* out) {
    std::memset(out, 0, 280);
    for (int k = 0; k < 8; ++k) {
        out[k] = in.inUse[k];
        PutText(out, 8 + 32 * static_cast<size_t>(k), 32, in.texts[k]);
        Put16(out, 264 + 2 * static_cast<size_t>(k), in.values[k]);
    }
    return 280;
}

bool DecodeGuildInfo(const uint8_t* b, size_t size, GuildInfoEntry* entries, int capacity, int* count) {
    *count = 0;
    if (size < 1)
        return false;
    size_t at = 1;
    for (int i = 0; i < b[0]; ++i) {
        if (at >= size)
            return false;
        size_t len = b[at];
        if (at + 1 + len + 4 > size)
            return false;
        if (*count < capacity) {
            GuildInfoEntry& e = entries[(*count)++];
            size_t n = std::min(len, sizeof e.name - 1);
            std::memcpy(e.name, b + at + 1, n);
            e.name[n] = 0;
            GetText(b, size, at + 1 + len, 4, e.abbrev, sizeof e.abbrev);
        }
        at += 1 + len + 4;
    }
    return true;
}
