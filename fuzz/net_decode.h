#pragma once
// Reads one received packet with the body reader of its code, as the handlers will.

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "client/net/net_bodies.h"
#include "client/net/net_catalogue.h"

inline void DecodeByCode(int code, const uint8_t* b, size_t n) {
    switch (code) {
    case 1: { PlayerStateBody x; DecodePlayerState(b, n, &x); break; }
    case 2: { CreateObjectBody x; DecodeCreateObject(b, n, &x); break; }
    case 3: { PlayerJoinedBody x; DecodePlayerJoined(b, n, &x); break; }
    case 9: { ObjectStateBody x; DecodeObjectState(b, n, &x); break; }
    case 12: { CreateThinBody x; DecodeCreateThin(b, n, &x); break; }
    case 18: { PlayerShortStateBody x; DecodePlayerShortState(b, n, &x); break; }
    case 19: { DamageBody x; DecodeDamage(b, n, &x); break; }
    case 24: { PlayerVitalsBody x; DecodePlayerVitals(b, n, &x); break; }
    case 25: case 54:
        for (int r = 0; r < 4; ++r) { WorldEnterBody x; DecodeWorldEnter(b, n, r, &x); }
        break;
    case 26: { WorldStateBody x; DecodeWorldState(b, n, &x); break; }
    case 37: { CreateEffectBody x; DecodeCreateEffect(b, n, &x); break; }
    case 39: { PlayerEffectBody x; DecodePlayerEffect(b, n, &x); break; }
    case 41: case 43: { NodeStateBody x; DecodeNodeState(b, n, &x); break; }
    case 55:
        for (size_t at = 0; at + 8 <= n; at += 8) { NodeStateBody x; DecodeNodeState(b + at, n - at, &x); }
        break;
    case 44: case 45: case 176: case 178: case 180: { SpellCastBody x; DecodeSpellCast(code, b, n, &x); break; }
    case 46: case 47: case 49: { ThinDamageBody x; DecodeThinDamage(code, b, n, &x); break; }
    case 52:
        for (int r = 0; r < 10; ++r) { PlayerJoinedBody x; DecodePlayerEnterRecord(b, n, r, &x); }
        break;
    case 66: case 68:
        for (int r = 0; r < 3; ++r) { TableEnterBody x; DecodeTableEnter(b, n, r, &x); }
        break;
    case 82: { ValidateListBody x; DecodeValidateList(b, n, &x); break; }
    case 85: case 87: { CharacterBody x; DecodeCharacter(b, n, &x); break; }
    case 86: case 88: case 89: { CharacterHeadBody x; DecodeCharacterHead(b, n, &x); break; }
    case 90: case 92:
        for (int r = 0; r < 3; ++r) { FireteamEnterBody x; DecodeFireteamEnter(b, n, r, &x); }
        break;
    case 98: { SendAccountBody x; DecodeSendAccount(b, n, &x); break; }
    case 100: case 107: { NameResponseBody x; DecodeNameResponse(b, n, &x); break; }
    case 110: { FireteamStatusBody x; DecodeFireteamStatus(b, n, &x); break; }
    case 112: { FireteamMemberInfoBody x; DecodeFireteamMemberInfo(b, n, &x); break; }
    case 115: { ClaimArenaBody x; DecodeClaimArena(b, n, &x); break; }
    case 120: { Code120Body x; DecodeCode120(b, n, &x); break; }
    case 128: { uint16_t id; DecodeConnection(b, n, &id); break; }
    case 129: { PongBody x; DecodePong(b, n, &x); break; }
    case 130: case 132: { ServerVersionBody x; DecodeServerVersion(b, n, &x); break; }
    case 135: { DatagramAddressBody x; DecodeDatagramAddress(b, n, &x); break; }
    case 162: { HighscoreListBody x; DecodeHighscoreList(b, n, &x); break; }
    case 163: { uint16_t id; char name[32]; DecodeOperatorName(b, n, &id, name, sizeof name); break; }
    case 169: { uint8_t f; char a[32]; DecodeUnbanReply(b, n, &f, a, sizeof a); break; }
    case 174: { UpdateStatusBody x; DecodeUpdateStatus(b, n, &x); break; }
    case 181: case 182: case 183: { GuildBody x; DecodeGuild(b, n, &x); break; }
    case 186: { GuildInfoEntry e[8]; int c; DecodeGuildInfo(b, n, e, 8, &c); break; }
    case 167: { WordsBody x; DecodeWords(b, n, 4, &x); break; }
    default: {
        TwoIdBody t;
        DecodeTwoIdBody(b, n, &t);
        IdBody i;
        DecodeIdBody(b, n, &i);
        break;
    }
    }
}

// The same on a heap copy of exactly the frame's length, so that a read past the frame is caught
// rather than landing in the rest of a 2048-byte buffer.
inline void DecodeByCodeExactly(int code, const uint8_t* b, size_t n) {
    std::unique_ptr<uint8_t[]> copy(new uint8_t[n]);
    if (n)
        std::memcpy(copy.get(), b, n);
    DecodeByCode(code, copy.get(), n);
}
