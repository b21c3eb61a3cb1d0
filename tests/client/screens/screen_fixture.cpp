#include "tests/client/screens/screen_fixture.h"

#include <algorithm>
#include <cstring>
#include <fstream>

#include "client/core/config_file.h"
#include "client/core/game_values.h"
#include "client/core/screen_state.h"
#include "client/driver/message_pump.h"
#include "client/screens/character_state.h"
#include "client/screens/color_tables.h"
#include "client/screens/fonts.h"
#include "client/screens/gws_core.h"
#include "client/screens/input.h"
#include "client/screens/key_bindings.h"
#include "client/screens/screen_art.h"
#include "platform/ddraw/control.h"
#include "tools/writers/font_writer.h"
#include "tools/writers/menu_art.h"
#include "tools/writers/screen_backgrounds.h"

void ScreenFixture::SetUp() {
    ddtest::DDrawTest::SetUp();
    dir = std::make_unique<TempDir>();
    dir->Enter();
    goldenDir = std::string(SCREENS_GOLDEN_DIR);
}

void ScreenFixture::StartMenuScreen() {
    StartScreen();
    for (const ArtFile& f : MenuArtFiles()) {
        dir->Write(f.name, std::string(f.bytes.begin(), f.bytes.end()));
        if (f.name == "main.pcx")
            dir->Write("screen2.pcx", std::string(f.bytes.begin(), f.bytes.end()));
    }
    dir->Write("menu.dat", MenuDatText());
    // The tiles the game loads at start-up: the Setup lists stand on the first.
    for (const ArtFile& f : SampleTileFiles())
        dir->Write(f.name, std::string(f.bytes.begin(), f.bytes.end()));
    LoadTileArt();
    GetConfigString(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0);
    ResetCharacterState();
    ResetGameValues();
}

void ScreenFixture::StartScreen(bool five55, bool withFonts, PresentServices* services) {
    if (five55) {
        platform::dd::CapsProfile profile = platform::dd::DefaultCapsProfile();
        profile.sixteenBitIs555 = true;
        platform::dd::SetCapsProfile(profile);
    }
    dir->Write("main.dat", "[main]\nname=Test\n" + SampleFontsSection());
    for (const FontFile& f : SampleFontFiles())
        dir->Write("fonts/" + f.name, std::string(f.bytes.begin(), f.bytes.end()));
    GetConfigString(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0);  // no stale cache of another test's file
    if (services) {
        replacedServices = InstallPresentServices(services);
        ownServices = true;
    } else {
        present = std::make_unique<RecordingPresent>();
    }
    window = ddtest::MakeGameWindow(800, 600, MainWndProc);
    ShowWindow(window, SW_SHOW);
    g_mainWindow = window;
    g_quitFlag = g_activityFlag = g_restoredFlag = 0;
    g_screenState = 0;
    g_lostLink = 0;
    g_inactivityState = 0;
    FrameClock = 0;
    ResetInputState();
    g_screen.InitScreenSurface();
    g_screen.LoadScreenLayout();
    ASSERT_EQ(g_screen.InitDirectDraw(), 1);
    gwsInit("main.dat");
    // A palette colour table where index i is the grey i (5-6-5 or 5-5-5).
    for (int i = 0; i < 256; ++i) {
        const uint16_t p = MakePixel16(i, i, i);
        GetLightTable(0)->rows[32][i] = p | (static_cast<uint32_t>(p) << 16);
    }
    for (int i = 0; i < kInverseTableSize; ++i)
        InverseColourTable[i] = static_cast<uint8_t>(1 + i % 251);
    if (withFonts)
        ASSERT_EQ(LoadFonts("main.dat", "fonts"), 1);
    std::memset(&NameTagTable, 0, sizeof(NameTagTable));
    std::fill_n(g_screen.backBuffer, kScreenPixels, 0);
}

void ScreenFixture::TearDown() {
    ClearKeyScreen();
    gwsShutdown();
    ReleaseScreenSurfaces();
    FreeTileArt();
    g_screen.InitScreenSurface();
    g_cursorImage.FreePcx();
    FreeFonts();
    for (FontSlot& f : FontTable)
        f = FontSlot{};
    present.reset();
    if (ownServices)
        InstallPresentServices(replacedServices);
    ownServices = false;
    g_mainWindow = nullptr;
    GetConfigString(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0);
    dir.reset();
    ddtest::DDrawTest::TearDown();
}

uint32_t ExpandPixel(uint16_t pixel) {
    const ChannelBits& b = g_channelBits;
    const int r = (pixel >> (b.green + b.blue)) & ((1 << b.red) - 1);
    const int g = (pixel >> b.blue) & ((1 << b.green) - 1);
    const int bl = pixel & ((1 << b.blue) - 1);
    auto widen = [](int v, int bits) { return (v << (8 - bits)) | (v >> (2 * bits - 8)); };
    return 0xFF000000u | (widen(r, b.red) << 16) | (widen(g, b.green) << 8) | widen(bl, b.blue);
}

ddtest::Image ScreenFixture::BackBufferImage() const {
    ddtest::Image image;
    image.width = kScreenWidth;
    image.height = kScreenHeight;
    image.pixels.resize(kScreenPixels);
    for (int i = 0; i < kScreenPixels; ++i)
        image.pixels[i] = ExpandPixel(g_screen.backBuffer[i]);
    return image;
}

void ScreenFixture::PumpQueue() { Pump(); }

void ScreenFixture::FeedCursor() {
    POINT p{};
    GetCursorPos(&p);
    gwsMouseMove(p.x, p.y, -1, 0);
}

void ScreenFixture::MoveTo(int x, int y) {
    platform::InjectMouseMove(x, y);
    Pump();
}

void ScreenFixture::Press(platform::MouseButton button, int x, int y, bool down) {
    platform::InjectMouseButton(button, down, x, y);
    Pump();
}

void ScreenFixture::Click(platform::MouseButton button, int x, int y) {
    Press(button, x, y, true);
    Press(button, x, y, false);
}

ddtest::Image MapBufferImage() {
    ddtest::Image image;
    image.width = image.height = kMapSize;
    for (int i = 0; i < kMapSize * kMapSize; ++i) {
        const int v = g_screen.mapBuffer[i];
        const int group = v == 0 ? -1 : (v - 1) / 32, level = v == 0 ? 0 : ((v - 1) % 32) * 255 / 31;
        static const uint32_t kTint[6] = {0xFFFFFF, 0xFF0000, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF};
        uint32_t rgb = 0;
        if (group >= 0) {
            const uint32_t t = kTint[std::min(group, 5)];
            rgb = (((t >> 16 & 255) * level / 255) << 16) | (((t >> 8 & 255) * level / 255) << 8) | ((t & 255) * level / 255);
        }
        image.pixels.push_back(0xFF000000u | rgb);
    }
    return image;
}
