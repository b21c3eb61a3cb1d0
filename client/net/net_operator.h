#pragma once
// The operators' requests to the service (sysops and gameops), sent only while connected.

// The players' own chat message (code 7); channel 0 all, 1 team of a player in state 6, 2 team,
// 3 private. length counts the text's zero byte.
struct LocalPlayer;
void SendChatText(LocalPlayer* player, const char* text, int length, int channel, int target);

void SendRenamePlayer(int id, const char* name, const char* newName);
void SendYankPlayer(int id, const char* name);
// target: a player id, or -1 Dragon, -2 Gryphon, -3 Phoenix shrine.
void SendJumpPlayer(int target);
void SendGodMode(int on);
void SendRemovePlayer(int id, const char* name);
void SendBootPlayer(int id, const char* name);
void SendBanPlayer(int id, const char* name);
void SendUnbanPlayer(const char* account);
void SendShowAccount(int id, const char* name);
void SendMakeSysop(int id, const char* name, int level);
// F_PLAYER_DEATH of the local player by nobody (the kill command while connected).
void SendOwnDeath();
