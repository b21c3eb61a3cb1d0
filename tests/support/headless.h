#pragma once
// The headless window layer with a virtual clock, fresh for each test, and process exits turned
// into exceptions so a test can watch code that ends the program.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win/platform.h"

struct ProcessExit {
    int code;
};

class HeadlessTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Dispatches everything that is due now, as a game's pump would; returns how many.
    int Pump();
    // Advances the virtual clock and pumps.
    void AdvanceAndPump(uint64_t ms);

    std::vector<std::string> debugOutput;
    std::vector<std::string> messageBoxes;  // "caption|text"
};
