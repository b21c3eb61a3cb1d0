#include "client/arena/player_view.h"

PlayerView* g_playerView = nullptr;
