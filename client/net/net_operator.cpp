#include "client/net/net_operator.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "client/arena/local_player.h"
#include "client/core/game_values.h"
#include "client/core/screen_state.h"
#include "client/net/net_bodies.h"
#include "client/net/net_catalogue.h"
#include "client/net/net_dispatch.h"
#include "client/net/net_rings.h"

namespace {

bool Connected() { return g_linkState == 2; }
int OwnId() { return GetGameValue(118) & 0xFFFF; }

// A 16-bit value, two bytes and nothing more: the four-byte operator bodies.
void SendIdBody(int code, int value, int byte2, int destination) {
    IdBody b{static_cast<uint16_t>(value), static_cast<uint8_t>(byte2), 0};
    uint8_t body[4];
    EncodeIdBody(b, body, sizeof body);
    SendPacket(body, code, 4, 0, destination);
}

void SendNamed(int code, int id, const char* name) {
    uint8_t body[64];
    const size_t n = EncodeOperatorName(static_cast<uint16_t>(id), name ? name : "", body, sizeof body);
    SendPacket(body, code, static_cast<int>(n), 0, 0);
}

}  // namespace

void SendChatText(LocalPlayer* player, const char* text, int length, int channel, int target) {
    if (!Connected())
        return;
    // The destination follows what was asked, before a spirit's line is turned to its team.
    const int destination = channel == 3 ? target : 0;
    if (g_screenState == 1 && player && player->mode == 6) {
        channel = 1;
        target = GetGameValue(4);
    }
    TwoIdBody c{};
    c.first = static_cast<uint16_t>(OwnId());
    c.second = static_cast<uint16_t>(target);
    c.byte4 = static_cast<uint8_t>(channel);
    // The text as long as the caller says, never beyond the body's room.
    const int n = length > 0 ? length - 1 : 0;
    std::memcpy(c.text, text ? text : "", std::min<size_t>(strnlen(text ? text : "", n), sizeof c.text - 1));
    uint8_t body[8 + sizeof c.text];
    const size_t size = EncodeTwoIdBody(c, body, 0);
    SendPacket(body, F_CHAT_TEXT, static_cast<int>(size), 1, destination);
}

void SendRenamePlayer(int id, const char* name, const char* newName) {
    if (!Connected())
        return;
    uint8_t body[34] = {};
    body[0] = static_cast<uint8_t>(id >> 8);
    body[1] = static_cast<uint8_t>(id);
    std::memcpy(body + 4, newName, strnlen(newName, sizeof body - 5));
    SendPacket(body, F_RENAME_PLAYER, sizeof body, 0, 0);
    NetDebug(44, "F_RENAME_PLAYER -> which=%d name=%s new=%s", id, name, newName);
}

void SendYankPlayer(int id, const char* name) {
    if (!Connected())
        return;
    SendIdBody(F_YANK_PLAYER, id, 0, id);
    NetDebug(44, "F_YANK_PLAYER -> which=%d name=%s", id, name);
}

void SendJumpPlayer(int target) {
    if (!Connected())
        return;
    SendIdBody(F_JUMP_PLAYER, target, 0, OwnId());
    NetDebug(44, "F_JUMP_PLAYER -> which=%d", target);
}

void SendGodMode(int on) {
    if (!Connected())
        return;
    SendIdBody(F_GODMODE, on ? 1 : 0, 0, OwnId());
    NetDebug(44, "F_GODMODE -> which=%d", on ? 1 : 0);
}

void SendRemovePlayer(int id, const char* name) {
    if (!Connected())
        return;
    SendNamed(F_REMOVE_PLAYER, id, name);
    NetDebug(44, "F_REMOVE_PLAYER -> which=%d name=%s", id, name);
}

void SendBootPlayer(int id, const char* name) {
    if (!Connected())
        return;
    SendNamed(F_BOOT_PLAYER, id, name);
    NetDebug(44, "F_BOOT_PLAYER -> which=%d name=%s", id, name);
}

void SendBanPlayer(int id, const char* name) {
    if (!Connected())
        return;
    SendNamed(F_BAN_PLAYER, id, name);
    NetDebug(44, "F_BAN_PLAYER -> which=%d name=%s", id, name);
}

void SendUnbanPlayer(const char* account) {
    if (!Connected())
        return;
    uint8_t body[64];
    const size_t n = EncodeUnban(account, body, sizeof body);
    SendPacket(body, F_UNBAN_PLAYER, static_cast<int>(n), 0, 0);
    NetDebug(44, "F_UNBAN_PLAYER -> name=%s", account);
}

void SendShowAccount(int id, const char* name) {
    if (!Connected())
        return;
    SendNamed(F_SHOW_ACCOUNT, id, name);
    NetDebug(44, "F_SHOW_ACCOUNT -> which=%d name=%s", id, name);
}

void SendMakeSysop(int id, const char* name, int level) {
    if (!Connected())
        return;
    SendIdBody(F_MAKE_SYSOP, id, level, id);
    NetDebug(44, "F_MAKE_SYSOP -> which=%d name=%s level=%d", id, name, level);
}

void SendOwnDeath() {
    if (!Connected())
        return;
    TwoIdBody d{};
    d.first = static_cast<uint16_t>(OwnId());
    uint8_t body[8];
    EncodeTwoIdBody(d, body, sizeof body);
    SendPacket(body, F_PLAYER_DEATH, 8, 1, kDestinationAll);
}
