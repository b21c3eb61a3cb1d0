#pragma once
// Scripted input for screens that run their own loops (menus, dialogs, the character screen).

#include <cstring>
#include <deque>
#include <functional>
#include <string>

#include "client/core/screen_state.h"
#include "platform/win/platform.h"

// Where the menus' hot spots and buttons are (their centres).
namespace menu_places {
constexpr int kStatueX[4] = {537, 595, 548, 490}, kStatueY[4] = {337, 409, 485, 556};
constexpr int kPlayX = 61, kPlayY = 225, kExitX = 68, kExitY = 514, kSetupX = 301, kSetupY = 183;
constexpr int kCharacterX = 179, kCharacterY = 164;
// The quit and delete boxes: 220 x 80 centred; their items at 28..50 and 51..72.
constexpr int kBoxUpperY = 300 - 40 + 39, kBoxLowerY = 300 - 40 + 61;
// The character screen's bottom buttons: rows of four from the bottom row up, one button left of
// the figure stage (x 20) and three right of it (x 430, 540, 650).
constexpr int RowX(int n) { return (n % 4 == 0 ? 20 : 320 + 110 * (n % 4)) + 52; }
constexpr int RowY(int n) { return 564 - 40 * (n / 4); }
}  // namespace menu_places

// Input played into the menu's own loop: each step waits some message polls, then acts. Every
// poll moves the virtual clock 5 ms. When the script is done and the menu still runs, the
// inactivity state and Escape end it so a wrong test cannot hang.
class MenuScript {
public:
    MenuScript() {
        handle_ = platform::AddMessageSource([this] { Poll(); });
    }
    ~MenuScript() { platform::RemoveMessageSource(handle_); }
    MenuScript& Wait(int polls, std::function<void()> act = {}) {
        steps_.push_back({polls, std::move(act)});
        return *this;
    }
    MenuScript& Move(int x, int y) {
        return Wait(3, [x, y] { platform::InjectMouseMove(x, y); });
    }
    MenuScript& Click(int x, int y) {
        Move(x, y);
        Wait(3, [x, y] { platform::InjectMouseButton(platform::MouseButton::Left, true, x, y); });
        return Wait(3, [x, y] { platform::InjectMouseButton(platform::MouseButton::Left, false, x, y); });
    }
    // The second press as the system reports it to a window class that asks for double clicks,
    // as the game's does.
    MenuScript& DoubleClick(int x, int y) {
        Click(x, y);
        Wait(1, [x, y] {
            PostMessage(platform::MainWindow(), WM_LBUTTONDBLCLK, MK_LBUTTON, static_cast<LPARAM>(y << 16 | x));
        });
        return Wait(1, [x, y] { platform::InjectMouseButton(platform::MouseButton::Left, false, x, y); });
    }
    MenuScript& Key(int scan) {
        Wait(3, [scan] { platform::InjectKey(scan, true); });
        return Wait(2, [scan] { platform::InjectKey(scan, false); });
    }
    MenuScript& Type(const std::string& keys) {
        for (char c : keys)
            Key(ScanOf(c));
        return *this;
    }
    MenuScript& Do(std::function<void()> act) { return Wait(2, std::move(act)); }
    uint64_t polls = 0;

private:
    static int ScanOf(char c) {
        static const char* const kRow1 = "qwertyuiop";
        static const char* const kRow2 = "asdfghjkl";
        static const char* const kRow3 = "zxcvbnm";
        if (const char* p = std::strchr(kRow1, c))
            return 16 + static_cast<int>(p - kRow1);
        if (const char* p = std::strchr(kRow2, c))
            return 30 + static_cast<int>(p - kRow2);
        if (const char* p = std::strchr(kRow3, c))
            return 44 + static_cast<int>(p - kRow3);
        return 57;  // blank
    }
    void Poll() {
        if (busy_)
            return;
        busy_ = true;
        ++polls;
        platform::AdvanceVirtualClock(5);
        if (!steps_.empty()) {
            if (--steps_.front().polls <= 0) {
                auto act = std::move(steps_.front().act);
                steps_.pop_front();
                if (act)
                    act();
            }
        } else if (++idle_ > 4000) {
            // Escape leaves the account dialog too.
            g_inactivityState = 2;
            if (idle_ % 50 == 0)
                platform::InjectKey(1, idle_ % 100 == 0);
        }
        busy_ = false;
    }
    struct Step {
        int polls;
        std::function<void()> act;
    };
    std::deque<Step> steps_;
    int handle_ = 0;
    int idle_ = 0;
    bool busy_ = false;
};

