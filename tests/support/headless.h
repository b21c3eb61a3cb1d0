#pragma once
// The headless window layer with a virtual clock, fresh for each test, and process exits turned
// into exceptions so a test can watch code that ends the program.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
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
    // For real sockets, which move in real time: pumps until pred holds or the real seconds
    // have passed, and pumps for a short real while (for checks that nothing more arrives).
    template <typename Pred>
    bool PumpUntil(Pred pred, int seconds = 3) {
        auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (std::chrono::steady_clock::now() < end) {
            Pump();
            if (pred())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }
    void PumpAWhile() {
        for (int i = 0; i < 30; ++i) {
            Pump();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    std::vector<std::string> debugOutput;
    std::vector<std::string> messageBoxes;  // "caption|text"
};
