#include "client/core/game_values.h"

namespace {
int g_gameValues[kGameValueCount];
}

void ResetGameValues() {
    for (int& v : g_gameValues)
        v = 0;
}

int GetGameValue(int number) {
    return (number >= 0 && number < kGameValueCount) ? g_gameValues[number] : 0;
}

void SetGameValue(int number, int value) {
    if (number >= 0 && number < kGameValueCount)
        g_gameValues[number] = value;
}
