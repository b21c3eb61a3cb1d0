// Key bindings and the CONFIGURE KEYBOARD screen, driven by scripted input as a player would.

#include "client/screens/key_bindings.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <vector>

#include "client/core/config_file.h"
#include "client/core/screen_state.h"
#include "client/screens/fonts.h"
#include "client/screens/input.h"
#include "tests/client/screens/screen_fixture.h"
#include "tools/writers/pcx_writer.h"

namespace {

class KeyBindingsTest : public ScreenFixture {
protected:
    void SetUp() override {
        ScreenFixture::SetUp();
        StartScreen(false, true);
        std::string keyboard = "[keyboard]\n";
        for (int n = 0; n < kBindingCount; ++n)
            keyboard += "key" + std::string(n < 10 ? "0" : "") + std::to_string(n) + "=" +
                        std::to_string(kDefaults[n]) + "\n";
        dir->Write("keyboard.dat", keyboard);
        dir->Write("user.dat", "[main]\naccount=\n");
        GetConfigString(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0);
        LoadKeyBindings();
        // The screen's picture.
        std::vector<uint8_t> pixels(800 * 600), palette(768, 0);
        for (int i = 0; i < 256; ++i)
            palette[i * 3 + 2] = static_cast<uint8_t>(i / 2);
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x)
                pixels[y * 800 + x] = static_cast<uint8_t>(1 + (x / 40 + y / 40) % 100);
        auto bytes = BuildPcx(800, 600, pixels.data(), palette.data());
        dir->Write("screen2.pcx", std::string(bytes.begin(), bytes.end()));
    }
    static constexpr int kDefaults[kBindingCount] = {72, 80, 75, 77, 57, 29, 56, 42, 51, 52, 100, 18, 73, 81,
                                                     71, 19, 33, 46, 50, 101, 17, 34, 16, 20, 21, 22, 23, 24,
                                                     25, 35, 36, 37, 38, 31, 44, 45, 47, 48, 49, 102};
};

TEST_F(KeyBindingsTest, NamesAndBindableCodesFollowTheKeyboard) {
    struct Case {
        int code;
        const char* name;
        bool bindable;
    };
    const Case cases[] = {{0, "UNSET", false},   {1, "Escape", false}, {2, "1", false},      {11, "0", false},
                          {12, "-", true},       {14, "Back", true},   {15, "Tab", false},   {16, "Q", true},
                          {39, "Colon", true},   {55, "PrtScreen", true}, {57, "Space", true}, {58, "CAPS", false},
                          {62, "F4", false},     {63, "F5", true},     {67, "F9", true},     {68, "F10", false},
                          {69, "NumLock", false}, {70, "Scroll", true}, {83, "Delete", true}, {84, "", false},
                          {87, "F11", false},    {88, "F12", false},   {99, "", false},      {100, "LeftBtn", true},
                          {102, "MidBtn", true}, {103, "", false},     {104, nullptr, false}, {-1, nullptr, false}};
    for (const Case& c : cases) {
        EXPECT_EQ(IsBindableKey(c.code), c.bindable) << c.code;
        if (c.name)
            EXPECT_STREQ(KeyNames[c.code], c.name);
    }
}

TEST_F(KeyBindingsTest, UserSettingsOverrideTheDefaultsAndBadCodesLoadUnset) {
    EXPECT_EQ(KeyBindingTable[4].code, 57);
    // 104 is the first code past the name and bindable tables; 103 their last.
    dir->Write("user.dat", "[keyboard]\nkey04=30\nkey05=500\nkey06=-3\nkey08=104\nkey09=103\n");
    GetConfigString(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0);
    LoadKeyBindings();
    EXPECT_EQ(KeyBindingTable[4].code, 30);
    EXPECT_EQ(KeyBindingTable[5].code, 0);
    EXPECT_EQ(KeyBindingTable[6].code, 0);
    EXPECT_EQ(KeyBindingTable[7].code, 42);
    EXPECT_EQ(KeyBindingTable[8].code, 0);
    EXPECT_EQ(KeyBindingTable[9].code, 103);
    // A code is bound to one action only; unbindable codes change nothing.
    SetKeyBinding(20, 72);
    EXPECT_EQ(KeyBindingTable[20].code, 72);
    EXPECT_EQ(KeyBindingTable[0].code, 0);
    SetKeyBinding(3, 1);
    SetKeyBinding(3, 500);
    SetKeyBinding(3, 104);
    SetKeyBinding(40, 30);
    EXPECT_EQ(KeyBindingTable[3].code, 77);
}

// The bindings as user.dat holds them after the screen.
std::string SavedKeyboard(const TempDir& dir) {
    std::istringstream in(dir.Read("user.dat"));
    std::string line, out;
    bool inKeyboard = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line[0] == '[')
            inKeyboard = line == "[keyboard]";
        else if (inKeyboard && !line.empty())
            out += line + "\n";
    }
    return out;
}

TEST_F(KeyBindingsTest, TheScreenRebindsByKeyboardAndMouseAndSavesOnExit) {
    // Row tops: Jump/Up (4) at 187, Cast (10) at 314, Look Up (12) at 373, Fast (7) at 255.
    const char* script =
        "600 button left down 200 190\n"   // select Jump/Up
        "610 button left up 200 190\n"
        "700 key 57 down\n"                // Space: taken from Cast
        "710 key 57 up\n"
        "900 button left down 200 317\n"   // select Cast
        "910 button left up 200 317\n"
        "1000 key 1 down\n"                // Escape binds nothing
        "1010 key 1 up\n"
        "1100 key 2 down\n"                // nor does "1" (not bindable)
        "1110 key 2 up\n"
        "1500 button right down 200 317\n" // right-click the selected row: RightBtn
        "1510 button right up 200 317\n"
        "2000 button right down 200 376\n" // right-click an unselected row: nothing
        "2010 button right up 200 376\n"
        "3000 button left down 200 258\n"  // select Fast, then click it again: LeftBtn
        "3010 button left up 200 258\n"
        "3500 button left down 200 258\n"
        "3510 button left up 200 258\n"
        "4000 button left down 90 430\n"   // Exit
        "4010 button left up 90 430\n";
    dir->Write("input.txt", script);
    ASSERT_TRUE(platform::LoadInputScript(dir->File("input.txt")));
    EXPECT_EQ(ConfigureKeyboard(), 0);
    EXPECT_EQ(g_screenState, 6);

    int expected[kBindingCount];
    std::copy(std::begin(kDefaults), std::end(kDefaults), expected);
    expected[4] = 57;
    expected[10] = 101;  // Cast: RightBtn, which was Fire2's
    expected[19] = 0;
    expected[7] = 100;   // Fast: LeftBtn, which was Cast's
    // The whole file: each key the writer adds goes first in its section.
    std::string want = "[main]\naccount=\n[keyboard]\n";
    for (int n = kBindingCount - 1; n >= 0; --n)
        want += "key" + std::string(n < 10 ? "0" : "") + std::to_string(n) + "=" + std::to_string(expected[n]) + "\n";
    EXPECT_EQ(dir->Read("user.dat"), want);
    // Everything the screen made is gone.
    for (const KeyRow& row : g_keyScreen.rows)
        EXPECT_EQ(row.window, nullptr);
    EXPECT_EQ(g_screen.SnapshotPixels(), nullptr);
}

TEST_F(KeyBindingsTest, TheKeyboardPageMatchesItsGolden) {
    g_screen.LoadScreenPicture("screen2.pcx");
    g_screen.SnapshotBackBuffer();
    for (int n = 0; n < kBindingCount; ++n)
        KeyBindingTable[n].code = kDefaults[n];
    KeyBindingTable[13].code = 0;  // one row unset
    const int actions[] = {0, 13, 39};
    int top = 85;
    for (int a : actions) {
        AddKeyRow(a, 150, top, a == 39 ? 320 : 350, top + 15, a == 39 ? "Mouselook" : a ? "Look Down" : "Move Forward",
                  KeyBindingTable[a].code, 0);
        top += 17;
    }
    g_keyScreen.rows[39].selected = 1;
    AddKeyScreenButton(0, 75, 420, 120, 440, "Exit", 1);
    DrawKeyboardPage();
    std::string message;
    EXPECT_TRUE(ddtest::MatchesGolden(goldenDir, "keyboard_page", BackBufferImage(), 0, 0, &message)) << message;
    EXPECT_EQ(g_keyScreen.pageRedraw, 0);
    // A row holding a code past the name table (104) names it "UNSET".
    auto keyName = [&] {
        std::vector<uint16_t> pixels;
        for (int y = 85; y < 100; ++y) {
            const uint16_t* row = g_screen.backBuffer + y * kScreenWidth;
            pixels.insert(pixels.end(), row + 290, row + 398);
        }
        return pixels;
    };
    g_screen.CopyFromBackground(148, 85, 250, 18);
    DrawText(290, 85, 0, "UNSET", 1, g_screen.backBuffer, 6, 2);
    const std::vector<uint16_t> unset = keyName();
    g_keyScreen.rows[0].key = 104;
    DrawKeyboardPage();
    EXPECT_EQ(keyName(), unset);
    // Rows 33 and 39 carry 0x20 in their flags: they can be dragged.
    EXPECT_TRUE(g_keyScreen.rows[39].window->flags & GWS_DRAGGABLE);
    EXPECT_FALSE(g_keyScreen.rows[13].window->flags & GWS_DRAGGABLE);
}

TEST_F(KeyBindingsTest, TheExitRegionAndTheScreenEndFlagsLeave) {
    PlayerControl control{};
    AddClickRegion(0, 0, 100, 100, 11, 1);
    OnMouseMessage(0, 0, POINT{50, 50}, 0);
    CheckExitClick(&control);
    EXPECT_EQ(control.leave, 1);
    g_lostLink = 1;
    EXPECT_EQ(ConfigureKeyboard(), 0);  // leaves at once, still saving
    EXPECT_NE(SavedKeyboard(*dir).find("key04=57"), std::string::npos);
    g_lostLink = 0;
}

}  // namespace
