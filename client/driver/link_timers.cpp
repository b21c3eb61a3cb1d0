#include "client/driver/link_timers.h"

#include "client/arena/local_player.h"
#include "client/core/game_clock.h"
#include "client/core/game_values.h"
#include "client/core/screen_state.h"
#include "client/driver/message_pump.h"
#include "client/net/net_handshake.h"
#include "client/net/net_rings.h"
#include "client/present/present_services.h"
#include "platform/win/platform.h"

int32_t g_inactivityCounter = 0;

bool LinkSilent(int screenState, uint32_t lastStreamTime, uint32_t gameClock) {
    // The fireteam's waiting screen (11) is the chat screen too: a silent service must end it.
    if (screenState != 1 && screenState != 2 && screenState != 11)
        return false;
    if (lastStreamTime == 0)
        return false;
    return (gameClock - lastStreamTime) / 10 >= kLostLinkMs;
}

void OnLinkTimer() {
    SetPanelRedrawFlag(2, 1);
    TakeLinkFigures();
    if (g_linkState == 2)
        SendPing();
    if (LinkSilent(g_screenState, LinkStats.lastStreamTime, ReadGameClock()))
        g_lostLink = 1;
}

void OnInactivityTimer() {
    // Operators (sysop level #3) are never timed out.
    const bool active = g_activityFlag != 0 || GetGameValue(3) != 0;
    switch (g_inactivityState) {
        case 0:
            if (active) {
                g_inactivityCounter = 0;
            } else if (++g_inactivityCounter >= 60 * kInactivityMinutes) {
                g_inactivityState = 1;
            }
            break;
        case 1:
            if (active) {
                g_inactivityCounter = 0;
                g_inactivityState = 0;
            } else if (++g_inactivityCounter >= 60 * (kInactivityMinutes + 5)) {
                g_inactivityState = 2;
                KillTimer(platform::MainWindow(), kInactivityTimer);
            }
            break;
        default:
            g_inactivityState = 2;
            KillTimer(platform::MainWindow(), kInactivityTimer);
            break;
    }
    g_activityFlag = 0;
}
