#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "client/net/net_bodies.h"
#include "client/net/net_catalogue.h"

namespace {

// "01 02 'ab' 00" style: hex bytes, quoted texts, "z<n>" for n zero bytes.
std::vector<uint8_t> Bytes(const std::string& spec) {
    std::vector<uint8_t> out;
    size_t i = 0;
    while (i < spec.size()) {
        char c = spec[i];
        if (c == ' ') {
            ++i;
        } else if (c == '\'') {
            size_t end = spec.find('\'', i + 1);
            out.insert(out.end(), spec.begin() + static_cast<long>(i) + 1, spec.begin() + static_cast<long>(end));
            i = end + 1;
        } else if (c == 'z') {
            size_t end = spec.find(' ', i);
            if (end == std::string::npos)
                end = spec.size();
            out.insert(out.end(), std::stoul(spec.substr(i + 1, end - i - 1)), 0);
            i = end;
        } else {
            out.push_back(static_cast<uint8_t>(std::stoul(spec.substr(i, 2), nullptr, 16)));
            i += 2;
        }
    }
    return out;
}

struct Row {
    const char* what;
    std::string wire;
    size_t minimum;  // one byte less is refused
    // Decodes the wire bytes, checks the fields, encodes them again into out; the encoded size.
    std::function<size_t(const uint8_t* wire, size_t size, uint8_t* out, bool* decoded)> roundTrip;
};

#define DECODED(expr) \
    do {              \
        *decoded = (expr); \
        if (!*decoded) return size_t(0); \
    } while (0)

std::vector<Row> Rows() {
    return {
        {"F_PLAYER_STATE", "12 34 0F FF 1F FF 3F FF 6A BC 7F 2B", 12,
         [](const uint8_t* w, size_t n, uint8_t* out, bool* decoded) {
             PlayerStateBody b;
             DECODED(DecodePlayerState(w, n, &b));
             EXPECT_EQ(b.motion, 0x1234);
             EXPECT_EQ(b.height, 0x0FFF);
             EXPECT_EQ(b.x, 0x1FFF);
             EXPECT_EQ(b.y, 0x3FFF);
             EXPECT_EQ(b.facing, 0x6ABC);
             EXPECT_EQ(b.verticalSpeed, 0x7F);
             EXPECT_EQ(b.bodyByte, 0x2B);
             return EncodePlayerState(b, out);
         }},
        {"F_PLAYER_SHORT_STATE", "0F FF 00 9A 05 00 00 C3", 8,
         [](const uint8_t* w, size_t n, uint8_t* out, bool* decoded) {
             PlayerShortStateBody b;
             DECODED(DecodePlayerShortState(w, n, &b));
             EXPECT_EQ(b.facing, 0x0FFF);
             EXPECT_EQ(b.health, 0x9A);
             EXPECT_EQ(b.sequence, 5);
             EXPECT_EQ(b.pose, 0xC3);
             return EncodePlayerShortState(b, out);
         }},
        {"F_PLAYER_VITALS", "01 02 03 04 05 06 07 08", 8,
         [](const uint8_t* w, size_t n, uint8_t* out, bool* decoded) {
             PlayerVitalsBody b;
             DECODED(DecodePlayerVitals(w, n, &b));
             EXPECT_EQ(b.word, 0x0102);
             EXPECT_EQ(b.deaths, 3);
             EXPECT_EQ(b.kills, 4);
             EXPECT_EQ(b.raises, 5);
             EXPECT_EQ(b.hits, 6);
             EXPECT_EQ(b.ping, 7);
             EXPECT_EQ(b.biases, 8);
             return EncodePlayerVitals(b, out);
         }},
        {"F_OBJECT_STATE", "08 10 F0 00 00 40 00 80 08 01 04 00", 12,
         [](const uint8_t* w, size_t n, uint8_t* out, bool* decoded) {
             ObjectStateBody b;
             DECODED(DecodeObjectState(w, n, &b));
             EXPECT_EQ(b.speed, 0x0810);
             EXPECT_EQ(b.facing, 0xF000);
             EXPECT_EQ(b.x, 0x40);
             EXPECT_EQ(b.y, 0x80);
             EXPECT_EQ(b.z, 0x0801);
             EXPECT_EQ(b.id, 0x0400);
             return EncodeObjectState(b, out);
         }},
        {"F_INIT_PLAYER", "00 10 00 20 FF F0 08 00 05 09 02 CA 01 07 z2 01 02 03 04 05 06 07 08 11 12 13 14 15 16 17 18",
         32, [](const uint8_t* w, size_t n, uint8_t* out, bool* decoded) {
             InitPlayerBody b;
             DECODED(DecodeInitPlayer(w, n, &b));
             EXPECT_EQ(b.x, 0x10);
             EXPECT_EQ(b.z, 0xFFF0);
             EXPECT_EQ(b.facing, 0x0800);
             EXPECT_EQ(b.hits, 5);
             EXPECT_EQ(b.maxHits, 9);
             EXPECT_EQ(b.team, 2);
             EXPECT_EQ(b.figure, 0xCA);
             EXPECT_EQ(b.dead, 1);
             EXPECT_EQ(b.value6, 7);
             EXPECT_EQ(b.values134[0], 1);
             EXPECT_EQ(b.values144[7], 0x18);
             return EncodeInitPlayer(b, out);
         }},
        {"F_CREATE_OBJECT", "FF 9C 02 00 00 64 00 C8 00 10 04 01 FF FF 00 2A F6 05 03 1E", 20,
         [](const uint8_t* w, size_t n, uint8_t* out, bool* decoded) {
             CreateObjectBody b;
             DECODED(DecodeCreateObject(w, n, &b));
             EXPECT_EQ(b.speed, -100);
             EXPECT_EQ(b.facing, 0x200);
             EXPECT_EQ(b.x, 100);
             EXPECT_EQ(b.y, 200);
             EXPECT_EQ(b.z, 16);
             EXPECT_EQ(b.id, 0x401);
             EXPECT_EQ(b.creator, -1);
             EXPECT_EQ(b.kind, 42);
             EXPECT_EQ(b.zSpeed, -10);
             EXPECT_EQ(b.type, 5);
             EXPECT_EQ(b.team, 3);
             EXPECT_EQ(b.duration, 30);
             return EncodeCreateObject(b, out);
         }},
        {"F_CREATE_PROJECTILE", "00 07 00 64 00 C8 00 20 04 00 00 00 0A 0B 0C 00", 16,
         [](const uint8_t* w, size_t n, uint8_t* out, bool* decoded) {
             SpellCastBody b;
             DECODED(DecodeSpellCast(176, w, n, &b));
             EXPECT_EQ(b.w[0], 7);
             EXPECT_EQ(b.w[4], 0x400);
             EXPECT_EQ(b.bytes[0], 0x0A);
             EXPECT_EQ(b.bytes[2], 0x0C);
             return EncodeSpellCast(176, b, out);
         }},
        {"F_CREATE_RUNE", "00 07 04 01 00 64 00 C8 00 20 04 00 00 09 00 00 02 00 00 00", 20,
         [](const uint8_t* w, size_t n, uint8_t* out, bool* decoded) {
             SpellCastBody b;
             DECODED(DecodeSpellCast(178, w, n, &b));
             EXPECT_EQ(b.w[1], 0x401);
             EXPECT_EQ(b.w[6], 9);
             EXPECT_EQ(b.bytes[0], 2);
             return EncodeSpellCast(178, b, out);
         }},
        {"F_CAST_WALL", "00 07 04 02 00 64 00 C8 00 20 04 00 00 09 00 03", 16,
         [](const uint8_t* w, size_t n, uint8_t* out, bool* decoded) {
             SpellCastBody b;
             DECODED(DecodeSpellCast(180, w, n, &b));
             EXPECT_EQ(b.w[7], 3);
             return EncodeSpellCast(180, b, out);
         }},
        {"F_DISPELL", "00 64 00 C8 00 20 04 00 00 03 01 00 00 2D 04 00", 16,
         [](const uint8_t* w, size_t n, uint8_t* out, bool* decoded) {
             SpellCastBody b;
             DECODED(DecodeSpellCast(44, w, n, &b));
             EXPECT_EQ(b.w[5], 0x100);
             EXPECT_EQ(b.w[6], 45);
             EXPECT_EQ(b.bytes[0], 4);
             return EncodeSpellCast(44, b, out);
         }},
        {"F_TARGETTED", "00 2D 01 00 00 05 00 06 00 0B 00 0C 01 00 00 00", 16,
         [](const uint8_t* w, size_t n, uint8_t* out, bool* decoded) {
             SpellCastBody b;
             DECODED(DecodeSpellCast(45, w, n, &b));
             EXPECT_EQ(b.w[3], 6);
             EXPECT_EQ(b.w[5], 12);
             EXPECT_EQ(b.bytes[0], 1);
             return EncodeSpellCast(45, b, out);
         }},
        {"F_CREATE_EFFECT", "01 00 04 00 00 05 00 06 01 00 08 00 00 10 00 20 FF FE 00 30 00 40 00 02 85 03 07 0A 00 FA 00 2D",
         32, [](const uint8_t* w, size_t n, uint8_t* out, bool* decoded) {
             CreateEffectBody b;
             DECODED(DecodeCreateEffect(w, n, &b));
             EXPECT_EQ(b.kind, 1);
             EXPECT_EQ(b.targetType, 4);
             EXPECT_EQ(b.source, 5);
             EXPECT_EQ(b.target, 6);
             EXPECT_EQ(b.range, 0x100);
             EXPECT_EQ(b.facing, 0x800);
             EXPECT_EQ(b.startZ, -2);
             EXPECT_EQ(b.targetX, 0x30);
             EXPECT_EQ(b.targetZ, 2);
             EXPECT_EQ(b.caster, 0x85);
             EXPECT_EQ(b.casterTeam, 3);
             EXPECT_EQ(b.element, 7);
             EXPECT_EQ(b.skill, 10);
             EXPECT_EQ(b.flightTime, 250);
             EXPECT_EQ(b.spell, 45);
             return EncodeCreateEffect(b, out);
         }},
        {"F_PLAYER_EFFECT", "00 2D 00 00 00 00 75 30", 8,
         [](const uint8_t* w, size_t n, uint8_t* out, bool* decoded) {
             PlayerEffectBody b;
             DECODED(DecodePlayerEffect(w, n, &b));
             EXPECT_EQ(b.spell, 45);
             EXPECT_EQ(b.duration, 30000u);
             return EncodePlayerEffect(b, out);
         }},
        {"F_THIN_DAMAGE", "00 00 04 10 00 19 00 00", 8,
         [](const uint8_t* w, size_t n, uint8_t* out, bool* decoded) {
             ThinDamageBody b;
             DECODED(DecodeThinDamage(47, w, n, &b));
             EXPECT_EQ(b.id, 0x410u);
             EXPECT_EQ(b.damage, 25);
             return EncodeThinDamage(47, b, out);
         }},
        {"F_OPEN_DOOR", "00 00 00 63 01 00 00 00", 8,
         [](const uint8_t* w, size_t n, uint8_t* out, bool* decoded) {
             ThinDamageBody b;
             DECODED(DecodeThinDamage(49, w, n, &b));
             EXPECT_EQ(b.id, 99u);
             EXPECT_EQ(b.byte4, 1);
             return EncodeThinDamage(49, b, out);
         }},
        {"F_CREATE_THIN", "00 40 00 80 00 C0 01 00 00 60 FF C0 00 01 00 02 00 03 04 05 00 06 00 07 00 08 00 09 00 0A z2 "
                          "21 22 23 00 24 85 26 27",
         40, [](const uint8_t* w, size_t n, uint8_t* out, bool* decoded) {
             CreateThinBody b;
             DECODED(DecodeCreateThin(w, n, &b));
             EXPECT_EQ(b.x1, 0x40);
             EXPECT_EQ(b.y2, 0x100);
             EXPECT_EQ(b.height, 0x60);
             EXPECT_EQ(b.baseZ, -64);
             EXPECT_EQ(b.values[2], 3);
             EXPECT_EQ(b.id, 0x405);
             EXPECT_EQ(b.group[0], 6);
             EXPECT_EQ(b.group[3], 9);
             EXPECT_EQ(b.trigger, 10);
             EXPECT_EQ(b.byte32, 0x21);
             EXPECT_EQ(b.slotValue, 0x22);
             EXPECT_EQ(b.lengthClass, 0x23);
             EXPECT_EQ(b.twice, 0x24);
             EXPECT_EQ(b.pair, 0x85);
             EXPECT_EQ(b.byte39, 0x27);
             return EncodeCreateThin(b, out);
         }},
        {"EARTHBLOOD_STATE", "04 02 50 00 F6 03 00 07", 8,
         [](const uint8_t* w, size_t n, uint8_t* out, bool* decoded) {
             NodeStateBody b;
             DECODED(DecodeNodeState(w, n, &b));
             EXPECT_EQ(b.which, 4);
             EXPECT_EQ(b.alignment, 2);
             EXPECT_EQ(b.value, 80);
             EXPECT_EQ(b.change, -10);
             EXPECT_EQ(b.weight, 3);
             EXPECT_EQ(b.player, 7);
             return EncodeNodeState(b, out);
         }},
        {"SEND_DROP_FLAG", "00 00 01 00 00 00 02 00 FF FF FF F0 00 07 00 02", 16,
         [](const uint8_t* w, size_t n, uint8_t* out, bool* decoded) {
             DropFlagBody b;
             DECODED(DecodeDropFlag(w, n, &b));
             EXPECT_EQ(b.x, 256u);
             EXPECT_EQ(b.y, 512u);
             EXPECT_EQ(static_cast<int32_t>(b.floor), -16);
             EXPECT_EQ(b.id, 7);
             EXPECT_EQ(b.flag, 2);
             return EncodeDropFlag(b, out);
         }},
        {"F_PLAYER_JOINED", "00 2A 05 02 'Thessaly' z4 01 02 81 04 'ABCD'", 24,
         [](const uint8_t* w, size_t n, uint8_t* out, bool* decoded) {
             PlayerJoinedBody b;
             DECODED(DecodePlayerJoined(w, n, &b));
             EXPECT_EQ(b.id, 42);
             EXPECT_EQ(b.location, 5);
             EXPECT_EQ(b.team, 2);
             EXPECT_STREQ(b.name, "Thessaly");
             EXPECT_EQ(b.values[2], 0x81);
             EXPECT_STREQ(b.abbrev, "ABCD");
             return EncodePlayerJoined(b, out);
         }},
        {"F_GUILD (invite)", "00 05 00 06 'Order of Ash' z20 'OOA' z5", 44,
         [](const uint8_t* w, size_t n, uint8_t* out, bool* decoded) {
             GuildBody b;
             DECODED(DecodeGuild(w, n, &b));
             EXPECT_EQ(b.from, 5);
             EXPECT_EQ(b.to, 6);
             EXPECT_STREQ(b.squad, "Order of Ash");
             EXPECT_STREQ(b.abbrev, "OOA");
             return EncodeGuild(b, out);
         }},
        {"F_QUERY_NAME", "'thessaly' z22 'acct' z20", 54,
         [](const uint8_t* w, size_t n, uint8_t* out, bool* decoded) {
             NameQueryBody b;
             DECODED(DecodeNameQuery(w, n, &b));
             EXPECT_STREQ(b.name, "thessaly");
             EXPECT_STREQ(b.account, "acct");
             return EncodeNameQuery(b, out);
         }},
        {"F_REQUEST_CHARACTER", "'acct' z16 02 z3", 21,
         [](const uint8_t* w, size_t n, uint8_t* out, bool* decoded) {
             CharacterHeadBody b;
             DECODED(DecodeCharacterHead(w, n, &b));
             EXPECT_STREQ(b.account, "acct");
             EXPECT_EQ(b.slot, 2);
             return EncodeRequestCharacter(b, out);
         }},
        {"F_VALIDATE_PLAYER_LIST", "07 00 00 00 01 02 03 04 z56 F1 F2 F3 F4", 68,
         [](const uint8_t* w, size_t n, uint8_t* out, bool* decoded) {
             ValidateListBody b;
             DECODED(DecodeValidateList(w, n, &b));
             EXPECT_EQ(b.table, 7);
             EXPECT_EQ(b.members[0], 1) << "the member words stay as sent";
             EXPECT_EQ(b.members[63], 0xF4);
             return EncodeValidateList(b, out);
         }},
        {"F_WORLD_ENTER", "03 01 'Ashfall' z13 'ctf' z7 'Mira' z6 'x' z9", 52,
         [](const uint8_t* w, size_t n, uint8_t* out, bool* decoded) {
             WorldEnterBody b;
             DECODED(DecodeWorldEnter(w, n, 0, &b));
             EXPECT_EQ(b.number, 3);
             EXPECT_EQ(b.type, 1);
             EXPECT_STREQ(b.name, "Ashfall");
             EXPECT_STREQ(b.text1, "ctf");
             EXPECT_STREQ(b.founder, "Mira");
             EXPECT_STREQ(b.text3, "x");
             return EncodeWorldEnter(b, out);
         }},
        {"F_TABLE_ENTER", "33 04 00 00 'Corner' z14 'Mira' z6 01 02 z61 09", 98,
         [](const uint8_t* w, size_t n, uint8_t* out, bool* decoded) {
             TableEnterBody b;
             DECODED(DecodeTableEnter(w, n, 0, &b));
             EXPECT_EQ(b.number, 0x33);
             EXPECT_EQ(b.value, 4);
             EXPECT_STREQ(b.name, "Corner");
             EXPECT_STREQ(b.founder, "Mira");
             EXPECT_EQ(b.members[0], 1);
             EXPECT_EQ(b.members[1], 2);
             EXPECT_EQ(b.members[63], 9);
             return EncodeTableEnter(b, out);
         }},
        {"F_FIRETEAM_ENTER", "0C 01 02 03 'Wolves' z14 'Second' z14 00 2A z2 00 2A z122", 172,
         [](const uint8_t* w, size_t n, uint8_t* out, bool* decoded) {
             FireteamEnterBody b;
             DECODED(DecodeFireteamEnter(w, n, 0, &b));
             EXPECT_EQ(b.number, 12);
             EXPECT_EQ(b.flag, 1);
             EXPECT_EQ(b.mission, 2);
             EXPECT_EQ(b.value, 3);
             EXPECT_STREQ(b.name, "Wolves");
             EXPECT_STREQ(b.secondName, "Second");
             EXPECT_EQ(b.leader, 42);
             EXPECT_EQ(b.tail[1], 42);
             return EncodeFireteamEnter(b, out);
         }},
        {"F_WORLD_STATE", "02 01 z22 00 00 00 01 z24 00 00 00 08 00 38 00 3A 00 00 00 3C z12 00 00 00 4C", 80,
         [](const uint8_t* w, size_t n, uint8_t* out, bool* decoded) {
             WorldStateBody b;
             DECODED(DecodeWorldState(w, n, &b));
             EXPECT_EQ(b.number, 2);
             EXPECT_EQ(b.d1[0], 1u);
             EXPECT_EQ(b.d1[7], 8u);
             EXPECT_EQ(b.w56, 0x38);
             EXPECT_EQ(b.w58, 0x3A);
             EXPECT_EQ(b.d2[0], 0x3Cu);
             EXPECT_EQ(b.d2[4], 0x4Cu);
             return EncodeWorldState(b, out);
         }},
        {"F_CONNECT", "00 01 02 03 04 'secret' z44 'svc' z17 'acct' z16", 95,
         [](const uint8_t* w, size_t n, uint8_t* out, bool* decoded) {
             ConnectBody b;
             DECODED(DecodeConnect(w, n, &b));
             EXPECT_EQ(b.version[0], 1);
             EXPECT_EQ(b.version[3], 4);
             EXPECT_STREQ(b.password, "secret");
             EXPECT_STREQ(b.serviceName, "svc");
             EXPECT_STREQ(b.account, "acct");
             return EncodeConnect(b, out);
         }},
        {"S_CONNECTION", "34 12", 2,
         [](const uint8_t* w, size_t n, uint8_t* out, bool* decoded) {
             uint16_t id;
             DECODED(DecodeConnection(w, n, &id));
             EXPECT_EQ(id, 0x1234) << "low byte first";
             return EncodeConnection(id, out);
         }},
        {"RCV_PONG", "00 00 10 00 00 00 00 01 00 00 00 02 FF FF FF FF", 16,
         [](const uint8_t* w, size_t n, uint8_t* out, bool* decoded) {
             PongBody b;
             DECODED(DecodePong(w, n, &b));
             EXPECT_EQ(b.time, 0x1000u);
             EXPECT_EQ(b.values[1], 2u);
             EXPECT_EQ(b.values[2], 0xFFFFFFFFu);
             return EncodePong(b, out);
         }},
        {"S_DATAGRAM_ESTABLISHED", "'127.0.0.1' z11 00 00 04 D2", 24,
         [](const uint8_t* w, size_t n, uint8_t* out, bool* decoded) {
             DatagramAddressBody b;
             DECODED(DecodeDatagramAddress(w, n, &b));
             EXPECT_STREQ(b.address, "127.0.0.1");
             EXPECT_EQ(b.port, 1234u);
             return EncodeDatagramAddress(b, out);
         }},
        {"F_PLAYER_ENTER", "00 2A FF 02 'Thessalonik' 00 03 0C 30 00 'acct' z16 'forty' z27 'sev' 00", 76,
         [](const uint8_t* w, size_t n, uint8_t* out, bool* decoded) {
             PlayerEnterBody b;
             DECODED(DecodePlayerEnter(w, n, &b));
             EXPECT_EQ(b.id, 42);
             EXPECT_EQ(b.port, 255);
             EXPECT_EQ(b.team, 2);
             EXPECT_STREQ(b.name, "Thessalonik") << "byte 15 is the zero byte";
             EXPECT_EQ(b.profession, 3);
             EXPECT_EQ(b.level, 12);
             EXPECT_EQ(b.rank, 0x30);
             EXPECT_STREQ(b.account, "acct");
             EXPECT_STREQ(b.text40, "forty");
             EXPECT_EQ(b.text72[2], 'v');
             return EncodePlayerEnter(b, out);
         }},
        {"F_SCORE", "00 00 00 02 00 00 00 0C 00 00 30 39 'acct 500' z42 'Thessaly' z54", 124,
         [](const uint8_t* w, size_t n, uint8_t* out, bool* decoded) {
             ScoreBody b;
             DECODED(DecodeScore(w, n, &b));
             EXPECT_EQ(b.profession, 2u);
             EXPECT_EQ(b.level, 12u);
             EXPECT_EQ(b.experience, 12345u);
             EXPECT_STREQ(b.text, "acct 500");
             EXPECT_STREQ(b.name, "Thessaly");
             return EncodeScore(b, out);
         }},
        {"F_CODE_120", "01 00 00 00 00 00 00 01 'first' z27 z192 'last' z28 00 0A z12 FF FE", 280,
         [](const uint8_t* w, size_t n, uint8_t* out, bool* decoded) {
             Code120Body b;
             DECODED(DecodeCode120(w, n, &b));
             EXPECT_EQ(b.inUse[0], 1);
             EXPECT_EQ(b.inUse[1], 0);
             EXPECT_STREQ(b.texts[0], "first");
             EXPECT_STREQ(b.texts[7], "last");
             EXPECT_EQ(b.values[0], 10);
             EXPECT_EQ(b.values[7], 0xFFFE);
             return EncodeCode120(b, out);
         }},
        {"F_CHAT_TEXT", "00 05 FF FF 02 00 00 00 'hello all' 00", 4,
         [](const uint8_t* w, size_t n, uint8_t* out, bool* decoded) {
             TwoIdBody b;
             DECODED(DecodeTwoIdBody(w, n, &b));
             EXPECT_EQ(b.first, 5);
             EXPECT_EQ(b.second, 0xFFFF);
             EXPECT_EQ(b.byte4, 2);
             EXPECT_STREQ(b.text, "hello all");
             return EncodeTwoIdBody(b, out, 0);
         }},
        {"F_PLAYER_EXIT", "00 2A 02 33", 2,
         [](const uint8_t* w, size_t n, uint8_t* out, bool* decoded) {
             IdBody b;
             DECODED(DecodeIdBody(w, n, &b));
             EXPECT_EQ(b.id, 42);
             EXPECT_EQ(b.byte2, 2);
             EXPECT_EQ(b.byte3, 0x33);
             return EncodeIdBody(b, out, 4);
         }},
        {"F_REQUEST_OBJECT", "00 00 04 01", 4,
         [](const uint8_t* w, size_t n, uint8_t* out, bool* decoded) {
             uint32_t v;
             DECODED(DecodeU32Body(w, n, &v));
             EXPECT_EQ(v, 0x401u);
             return EncodeU32Body(v, out);
         }},
        {"F_YANK", "00 05 01 00 02 00 FF F0", 8,
         [](const uint8_t* w, size_t n, uint8_t* out, bool* decoded) {
             WordsBody b;
             DECODED(DecodeWords(w, n, 4, &b));
             EXPECT_EQ(b.w[0], 5);
             EXPECT_EQ(b.w[3], 0xFFF0);
             EncodeWords(b, 4, out);
             return size_t(8);
         }},
        {"F_REMOVE_PLAYER", "01 02 'Mira'", 2,
         [](const uint8_t* w, size_t n, uint8_t* out, bool* decoded) {
             uint16_t id;
             char name[32];
             DECODED(DecodeOperatorName(w, n, &id, name, sizeof name));
             EXPECT_EQ(id, 0x0102) << "high byte first";
             EXPECT_STREQ(name, "Mira");
             return EncodeOperatorName(id, name, out, 64);
         }},
        {"F_UNBAN_PLAYER reply", "01 'acct'", 1,
         [](const uint8_t* w, size_t n, uint8_t* out, bool* decoded) {
             uint8_t found;
             char account[32];
             DECODED(DecodeUnbanReply(w, n, &found, account, sizeof account));
             EXPECT_EQ(found, 1);
             EXPECT_STREQ(account, "acct");
             out[0] = found;
             return 1 + EncodeUnban(account, out, 64) - 1;
         }},
        {"F_CHARACTER", "'acct' z16 01 z3 z76 00 00 01 02 00 05 z76 AB CD z90", 274,
         [](const uint8_t* w, size_t n, uint8_t* out, bool* decoded) {
             CharacterBody b;
             DECODED(DecodeCharacter(w, n, &b));
             EXPECT_STREQ(b.account, "acct");
             EXPECT_EQ(b.slot, 1);
             uint32_t d;
             std::memcpy(&d, b.record + 76, 4);
             EXPECT_EQ(d, 0x102u) << "the record's u32 at 76 in host order";
             uint16_t first, last;
             std::memcpy(&first, b.record + 80, 2);
             std::memcpy(&last, b.record + 158, 2);
             EXPECT_EQ(first, 5);
             EXPECT_EQ(last, 0xABCD);
             EXPECT_EQ(b.record[160], 0) << "past the forty words nothing is turned";
             return EncodeCharacter(b, out);
         }},
    };
}

TEST(NetBodies, EachLayoutDecodesItsFieldsAndEncodesTheSameBytes) {
    for (const Row& row : Rows()) {
        SCOPED_TRACE(row.what);
        std::vector<uint8_t> wire = Bytes(row.wire);
        std::vector<uint8_t> out(400, 0xEE);
        bool decoded = false;
        size_t n = row.roundTrip(wire.data(), wire.size(), out.data(), &decoded);
        ASSERT_TRUE(decoded);
        if (std::string(row.what) == "F_UNBAN_PLAYER reply")
            continue;  // the sent form differs from the received one
        EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + static_cast<long>(n)), wire);
    }
}

TEST(NetBodies, OneByteShortOfTheLayoutIsRefused) {
    for (const Row& row : Rows()) {
        SCOPED_TRACE(row.what);
        std::vector<uint8_t> wire = Bytes(row.wire);
        ASSERT_GE(wire.size(), row.minimum);
        std::vector<uint8_t> out(400);
        bool decoded = true;
        row.roundTrip(wire.data(), row.minimum - 1, out.data(), &decoded);
        EXPECT_FALSE(decoded);
    }
}

TEST(NetBodies, TextsComeOutBoundedAndTerminated) {
    // A name field of twelve letters with no zero byte, then the values.
    std::vector<uint8_t> joined = Bytes("00 01 00 00 'ABCDEFGHIJKL' 01 02 03 04 'WXYZ'");
    PlayerJoinedBody j;
    ASSERT_TRUE(DecodePlayerJoined(joined.data(), joined.size(), &j));
    EXPECT_STREQ(j.name, "ABCDEFGHIJKL");
    EXPECT_STREQ(j.abbrev, "WXYZ");

    // A chat text that runs to the end of the body without a zero byte.
    std::vector<uint8_t> chat = Bytes("00 01 00 02 00 00 00 00 'unended'");
    TwoIdBody t;
    ASSERT_TRUE(DecodeTwoIdBody(chat.data(), chat.size(), &t));
    EXPECT_STREQ(t.text, "unended");

    // A longer text than the record holds is cut, never overrun.
    std::vector<uint8_t> big(8, 0);
    big.insert(big.end(), 500, 'x');
    ASSERT_TRUE(DecodeTwoIdBody(big.data(), big.size(), &t));
    EXPECT_EQ(std::strlen(t.text), sizeof t.text - 1);

    // An encoder cuts a text to its field less one, so the receiver finds a zero byte.
    WorldEnterBody w{};
    std::memset(w.name, 'n', sizeof w.name);
    w.name[sizeof w.name - 1] = 0;
    std::strcpy(w.text1, "123456789");
    uint8_t out[52];
    EncodeWorldEnter(w, out);
    EXPECT_EQ(out[2 + 19], 0);
    EXPECT_EQ(out[22 + 9], 0);
}

TEST(NetBodies, FireteamStatusHoldsFourMembersAndTheirNames) {
    std::vector<uint8_t> b = Bytes("05 02 z2 00 0A 00 0B 01 0C 00 00 21 22 23 24 'Ash' z17 'Birch' z15 'Cedar' z15 "
                                   "'DouglasFirTheTallOne'");
    ASSERT_EQ(b.size(), 96u);
    FireteamStatusBody f;
    ASSERT_TRUE(DecodeFireteamStatus(b.data(), b.size(), &f));
    EXPECT_EQ(f.number, 5);
    EXPECT_EQ(f.status, 2);
    EXPECT_EQ(f.members[0], 10);
    EXPECT_EQ(f.members[2], 0x10C);
    EXPECT_EQ(f.members[3], 0);
    EXPECT_EQ(f.memberBytes[0], 0x21);
    EXPECT_EQ(f.memberBytes[3], 0x24);
    EXPECT_STREQ(f.names[0], "Ash");
    EXPECT_STREQ(f.names[1], "Birch");
    EXPECT_STREQ(f.names[2], "Cedar");
    EXPECT_STREQ(f.names[3], "DouglasFirTheTallOn") << "a full field is cut to the name's room";
    EXPECT_FALSE(DecodeFireteamStatus(b.data(), 95, &f));
}

TEST(NetBodies, APlayerEnterBatchHoldsTenRecordsOfTwentyFour) {
    std::vector<uint8_t> b(11 * 24, 0);
    for (int k = 0; k < 11; ++k) {
        b[k * 24] = static_cast<uint8_t>('a' + k);
        b[k * 24 + 13] = static_cast<uint8_t>(k + 1);
    }
    PlayerJoinedBody p;
    ASSERT_TRUE(DecodePlayerEnterRecord(b.data(), b.size(), 9, &p));
    EXPECT_EQ(p.id, 10);
    EXPECT_STREQ(p.name, "j");
    EXPECT_FALSE(DecodePlayerEnterRecord(b.data(), b.size(), 10, &p)) << "no eleventh record";
    EXPECT_FALSE(DecodePlayerEnterRecord(b.data(), b.size(), -1, &p));
    EXPECT_FALSE(DecodePlayerEnterRecord(b.data(), 10 * 24 - 1, 9, &p)) << "a record cut short";
}

TEST(NetBodies, AnIdBodyShorterThanFourBytesLeavesItsMissingBytesZero) {
    const std::vector<uint8_t> b = Bytes("00 2A 05 07");
    IdBody id;
    ASSERT_TRUE(DecodeIdBody(b.data(), 3, &id));
    EXPECT_EQ(id.id, 42);
    EXPECT_EQ(id.byte2, 5);
    EXPECT_EQ(id.byte3, 0);
    ASSERT_TRUE(DecodeIdBody(b.data(), 2, &id));
    EXPECT_EQ(id.byte2, 0);
    EXPECT_EQ(id.byte3, 0);
}

TEST(NetBodies, HighscoreListTakesTenRecordsAtMostAndOnlyWholeOnes) {
    std::vector<uint8_t> b = Bytes("00 00 00 01 00 00 00 0C");
    for (int k = 0; k < 12; ++k) {
        std::vector<uint8_t> r(68, 0);
        r[0] = static_cast<uint8_t>('a' + k);
        r[63] = static_cast<uint8_t>(k + 1);
        r[67] = 0x77;
        b.insert(b.end(), r.begin(), r.end());
    }
    HighscoreListBody h;
    ASSERT_TRUE(DecodeHighscoreList(b.data(), b.size(), &h));
    EXPECT_EQ(h.list, 1u);
    EXPECT_EQ(h.count, 12u);
    EXPECT_EQ(h.records, 10);
    EXPECT_STREQ(h.record[9].name, "j");
    EXPECT_EQ(h.record[9].level, 10u);
    EXPECT_EQ(h.record[9].second, 0x77u);
    ASSERT_TRUE(DecodeHighscoreList(b.data(), 8 + 68 * 3 - 1, &h));
    EXPECT_EQ(h.records, 2) << "a record cut short is not taken";
    EXPECT_FALSE(DecodeHighscoreList(b.data(), 7, &h));
}

TEST(NetBodies, GuildInfoWalksItsEntriesAndStopsAtOneThatRunsPastTheBody) {
    std::vector<uint8_t> b = Bytes("02 04 'Ashe' 'ASH' 00 02 'Ox' 'OX' 00 00");
    GuildInfoEntry e[4];
    int n = 0;
    ASSERT_TRUE(DecodeGuildInfo(b.data(), b.size(), e, 4, &n));
    ASSERT_EQ(n, 2);
    EXPECT_STREQ(e[0].name, "Ashe");
    EXPECT_STREQ(e[0].abbrev, "ASH");
    EXPECT_STREQ(e[1].name, "Ox");
    EXPECT_FALSE(DecodeGuildInfo(b.data(), b.size() - 1, e, 4, &n));
    std::vector<uint8_t> lying = Bytes("01 FF 'A'");
    EXPECT_FALSE(DecodeGuildInfo(lying.data(), lying.size(), e, 4, &n));
}

}  // namespace
