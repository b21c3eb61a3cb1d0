#pragma once
// An offline arena game as the arena loop plays it, without its screens: the entry (level, team,
// player, effects, own figure) and frames of the input, the quarter-second effects and the
// simulation step on a virtual clock. The working directory must hold an installation (level,
// spell.bin, monster.dat); a recording presentation must be installed.

#include <cstdint>
#include <string>

#include "client/arena/local_player.h"
#include "client/arena/player_control.h"
#include "client/arena/player_view.h"

class OfflineArena {
public:
    // Enters the level for the team with the random numbers seeded; throws nothing, check ok.
    OfflineArena(const char* level, int team, uint32_t seed);
    ~OfflineArena();
    OfflineArena(const OfflineArena&) = delete;
    OfflineArena& operator=(const OfflineArena&) = delete;

    bool ok = false;
    LocalPlayer player{};
    PlayerView view{};

    // One frame of ms milliseconds with these controls.
    void Frame(int ms, const PlayerControl& control);
    // A frame with no key held.
    void Idle(int ms);

    // From now on the controls come from the keyboard and mouse as the arena reads them: a game
    // window of the headless window layer (which, with its virtual clock, the caller has set up),
    // the installation's key bindings, mouse look, and the input script (the GAME_INPUT format)
    // from this moment. False when the script cannot be read.
    bool UseKeys(const std::string& script);
    // One frame of ms milliseconds: the window clock moves on, its messages are pumped into the key
    // state and the arena's controls are read from it.
    void KeyFrame(int ms);
    // Readies spell n (as choosing it from the HUD lists does) at the character's level.
    void Ready(int spell);

    // A player of the table (id, team, name) standing as a type-4 figure at (x, y): the slot.
    int AddPlayer(int id, int team, const char* name, int x, int y, bool ghost);

    // A monster of the kind (its built-in values) hunting at (x, y) for the team: the slot.
    int AddMonster(int kind, int team, int x, int y);

    // Live objects, thins, world effects, the view, the player, the action state, game values and
    // monster counts as text, one thing a line.
    std::string Dump() const;
    // A digest of the same.
    uint64_t Digest() const;

    int frames = 0;

private:
    int effectClock_ = 0;  // ms gathered towards the next effects tick
};
