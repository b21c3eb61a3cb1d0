#pragma once
// The 200 numbered integers of the local player and the match, named only by number.

constexpr int kGameValueCount = 200;

void ResetGameValues();
// Numbers outside 0..199 read 0 and are not written.
int GetGameValue(int number);
void SetGameValue(int number, int value);
