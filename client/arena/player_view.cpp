#include "client/arena/player_view.h"

#include <cstdlib>

#include "client/arena/local_player.h"

PlayerView* g_playerView = nullptr;
int ViewBobStepSide = 0;

namespace {

constexpr int kBobPhase = 250;
constexpr int kBobTop = 3 * 65536;
// A step cut short runs out at walking pace.
constexpr int kWalkSpeed = 110;

int bobUp = 0, bobDown = 0;

bool MovingOnFloor() {
    if (!g_playerView || !g_localPlayer)
        return false;
    const int mode = g_localPlayer->mode;
    return g_playerView->speed != 0 && (mode == 0 || mode == 1);
}

int Advance(int speed, int t) {
    return static_cast<int>(static_cast<int64_t>(std::abs(speed)) * t / 10 / kWalkSpeed);
}

}  // namespace

int UpdateViewBob(int t) {
    t = t > 0 ? t : 0;
    const bool moving = MovingOnFloor();
    if (bobUp == 0 && bobDown == 0) {
        if (moving) {
            bobUp = 1;
            ViewBobStepSide ^= 1;
        }
    } else if (bobDown == 0) {
        if (moving) {
            bobUp += Advance(g_playerView->speed, t);
            if (bobUp >= kBobPhase) {
                bobUp = kBobPhase;
                bobDown = 1;
            }
        } else {
            // The fall starts level with the height reached: up - down stays where it was.
            bobDown = kBobPhase - bobUp;
            bobUp = kBobPhase;
        }
    } else {
        bobDown += Advance(moving ? g_playerView->speed : kWalkSpeed, t);
        if (bobDown >= kBobPhase)
            bobUp = bobDown = 0;
    }
    return (bobUp - bobDown) * kBobTop / kBobPhase;
}

void ResetViewBob() { bobUp = bobDown = 0; }
