#pragma once
// The local player's cast of the current spell (game value #115), with its cost.

struct LocalPlayer;

// 1 cast; 0 not cast; the spell's cast_timer when fire is 0 and the spell charges first.
int CastSpell(LocalPlayer& player, int fire);
// The fatigue points a cast of the spell at spell level spellLevel costs a character of level
// characterLevel.
int SpellFatigueCost(int fatigue, int minFatigue, int characterLevel, int spellLevel);
