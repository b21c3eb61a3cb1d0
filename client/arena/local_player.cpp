#include "client/arena/local_player.h"

LocalPlayer* g_localPlayer = nullptr;
int g_linkState = 1;
int g_playMode = 1;
int g_matchEndFlag = 0;
int g_operatorFlags = 0;
