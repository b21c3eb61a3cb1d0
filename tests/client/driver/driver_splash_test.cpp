// The start-up splash screens: their missing-key lines, how long each picture is held, what ends
// the hold early, and where and how fast the animation strips run.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "client/core/channel_bits.h"
#include "client/core/config_file.h"
#include "client/core/error_log.h"
#include "client/driver/screen_loops.h"
#include "client/screens/color_tables.h"
#include "client/screens/screen_surface.h"
#include "platform/win/platform.h"
#include "tests/client/screens/screen_fixture.h"
#include "tools/writers/pcx_writer.h"

namespace {

class SplashTest : public ScreenFixture {
protected:
    void SetUp() override {
        ScreenFixture::SetUp();
        StartScreen();
        ASSERT_TRUE(OpenErrorLog());
    }
    void TearDown() override {
        if (source >= 0)
            platform::RemoveMessageSource(source);
        CloseErrorLog();
        ScreenFixture::TearDown();
    }
    // main.dat's fonts with these [screens] lines.
    void Screens(const std::string& lines) {
        dir->Write("main.dat", dir->Read("main.dat") + "\n[screens]\n" + lines);
        GetConfigString(nullptr, nullptr, nullptr, nullptr, 0, nullptr, 0);
    }
    // A picture of one palette index; a strip of `frames` frames of 10 x 10, frame f of index f + 1.
    void Picture(const std::string& name, int w, int h, uint8_t index) {
        const std::vector<uint8_t> px(static_cast<size_t>(w) * h, index);
        Write(name, BuildPcx(w, h, px.data(), Palette()));
    }
    void Strip(const std::string& name, int frames) {
        std::vector<uint8_t> px(static_cast<size_t>(frames) * 10 * 10);
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < frames * 10; ++x)
                px[static_cast<size_t>(y) * frames * 10 + x] = static_cast<uint8_t>(x / 10 + 1);
        Write(name, BuildPcx(frames * 10, 10, px.data(), Palette()));
    }
    static const uint8_t* Palette() {
        static uint8_t p[768];
        for (int i = 1; i < 256; ++i) {
            p[i * 3] = static_cast<uint8_t>(i * 12);
            p[i * 3 + 1] = static_cast<uint8_t>(255 - i * 12);
            p[i * 3 + 2] = 200;
        }
        return p;
    }
    void Write(const std::string& name, const std::vector<uint8_t>& bytes) {
        dir->Write(name, std::string(bytes.begin(), bytes.end()));
    }
    // error.log after its first line.
    std::string Log() {
        CloseErrorLog();
        const std::string log = dir->Read("error.log");
        const std::string first = "Log File Started.\n";
        return log.rfind(first, 0) == 0 ? log.substr(first.size()) : log;
    }
    int source = -1;
};

TEST_F(SplashTest, MissingKeysAreLoggedAndNothingIsShown) {
    Screens("menu=x.pcx\n");
    const DWORD start = GetTickCount();
    ShowCompanyScreens();
    ShowLogoScreen();
    EXPECT_LT(GetTickCount() - start, 100u);
    EXPECT_EQ(Log(),
              "No entry for company in file: main.dat\n"
              "No entry for company animation in file: main.dat\n"
              "No entry for company2 in file: main.dat\n"
              "No entry for company3 in file: main.dat\n"
              "No entry for logo in file: main.dat\n"
              "No entry for logo animation in file: main.dat\n");
}

struct HoldCase {
    const char* name;
    bool logo;
    int frames, frameMs, x, y;
    int holdMs;       // the pictures' hold together
    int keyAfterMs;   // a key pressed this long after the start (zoom included), or 0
};

TEST_F(SplashTest, PicturesAreHeldAndTheirStripsRunInPlace) {
    Picture("company.pcx", 800, 600, 0);
    Picture("company2.pcx", 800, 600, 0);
    Picture("logo.pcx", 800, 600, 0);
    Strip("companyanim.pcx", 16);
    Strip("logoanim.pcx", 7);
    const HoldCase cases[] = {
        {"company and company2", false, 16, 75, 264, 76, 3000 + 2000, 0},
        {"logo", true, 7, 125, 248, 53, 3000, 0},
        {"a key ends the company's hold", false, 16, 75, 264, 76, 2000 + 2000, 2000},
    };
    Screens("company=company.pcx\ncompanyanimation=companyanim.pcx\ncompany2=company2.pcx\n"
            "logo=logo.pcx\nlogoanimation=logoanim.pcx\n");
    for (const HoldCase& c : cases) {
        SCOPED_TRACE(c.name);
        // Every pump samples the strip's first pixel and the pixels just left of and right of it.
        std::vector<uint16_t> seen;
        bool outside = false;
        const DWORD start = GetTickCount();
        bool keyed = false;
        source = platform::AddMessageSource([&] {
            const uint16_t p = At(c.x, c.y);
            if (seen.empty() || seen.back() != p)
                seen.push_back(p);
            outside |= At(c.x - 1, c.y) != 0 || At(c.x + 10, c.y) != 0 || At(c.x, c.y + 10) != 0;
            if (c.keyAfterMs && !keyed && GetTickCount() - start >= static_cast<DWORD>(c.keyAfterMs)) {
                keyed = true;
                platform::InjectKey(0x39, true);
                platform::InjectKey(0x39, false);
            }
        });
        c.logo ? ShowLogoScreen() : ShowCompanyScreens();
        platform::RemoveMessageSource(source);
        source = -1;
        const DWORD took = GetTickCount() - start;
        // Each picture grows in over 500 ms before its hold.
        EXPECT_GE(took, static_cast<DWORD>(c.holdMs));
        EXPECT_LT(took, static_cast<DWORD>(c.holdMs + 1500));
        EXPECT_FALSE(outside) << "the strip's frame is 10 pixels wide at its place";
        // The frames come in order and repeat after `frames`, at `frameMs` each, while the first
        // picture is held (later pictures have no strip).
        std::vector<uint16_t> frames;
        for (uint16_t p : seen)
            if (p != 0)
                frames.push_back(p);
        const int firstHold = c.keyAfterMs ? c.keyAfterMs - 500 : 3000;
        ASSERT_GT(static_cast<int>(frames.size()), c.frames);
        EXPECT_NEAR(static_cast<int>(frames.size()), firstHold / c.frameMs, 3);
        for (size_t i = 0; i + c.frames < frames.size(); ++i)
            EXPECT_EQ(frames[i], frames[i + c.frames]) << i;
        for (size_t i = 1; i < static_cast<size_t>(c.frames); ++i)
            EXPECT_NE(frames[i], frames[0]) << i;
    }
}

TEST_F(SplashTest, TheLogoShowsTheVersionInWhiteBeforeTheColourTablesAreLoaded) {
    Picture("logo.pcx", 800, 600, 0);
    Screens("logo=logo.pcx\n");
    const uint16_t white = PackPixel16(g_channelBits, 255, 255, 255);
    // At start-up the logo comes before the colour tables are read: every palette entry is 0.
    auto* colours = const_cast<uint32_t*>(PaletteColourTable);
    std::vector<uint32_t> loaded(colours, colours + 256);
    std::fill(colours, colours + 256, 0u);
    int whitePixels = 0, otherPixels = 0;
    source = platform::AddMessageSource([&] {
        if (whitePixels || otherPixels)
            return;
        for (int y = 580; y < 592; ++y)
            for (int x = 3; x < 60; ++x) {
                const uint16_t p = At(x, y);
                whitePixels += p == white;
                otherPixels += p != white && p != At(799, 599);
            }
    });
    ShowLogoScreen();
    std::copy(loaded.begin(), loaded.end(), colours);
    EXPECT_GT(whitePixels, 20) << "the version's glyphs";
    EXPECT_EQ(otherPixels, 0);
}

}  // namespace
