#include "tools/writers/sample_level.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <string>

#include "tools/writers/color_table_writer.h"
#include "tools/writers/pcx_writer.h"

namespace {

// Plane numbers as the loader names them.
enum { P_WALLTEX = 0, P_FLOORTEX = 1, P_CEILTEX = 2, P_FLOOR = 3, P_CEIL = 4, P_SPLIT = 5, P_TILE = 6,
       P_DEPTH = 7, P_MARK = 8, P_CEILMAP = 9, P_MAP = 10, P_UPPERCEIL = 14, P_SLOPE2 = 16, P_SLOPE = 17,
       P_CEILLIMIT = 18 };

constexpr uint16_t kNoValue = 32767;  // "none": ceilings become open sky
constexpr uint16_t kSampleLampPattern = 3;

// Rock stands as high as the tallest room; its faces toward the open cells are the keep's walls.
constexpr uint16_t kRockTop = 640;

void BuildGrid(LevelSource& l) {
    l.Fill(0, 0, 127, 127, P_MARK, 250);  // solid rock everywhere but the rooms
    l.Fill(0, 0, 127, 127, P_FLOOR, kRockTop);
    l.Fill(0, 0, 127, 127, P_CEIL, kRockTop);
    l.Fill(0, 0, 127, 127, P_SPLIT, kNoValue);
    l.Fill(0, 0, 127, 127, P_WALLTEX, 1);
    // Four rooms of 10 x 10 cells around (20, 20).
    l.Fill(10, 10, 29, 29, P_MARK, 0);
    l.Fill(10, 10, 29, 29, P_FLOOR, 0);
    l.Fill(10, 10, 29, 29, P_WALLTEX, 1);
    l.Fill(10, 10, 29, 29, P_FLOORTEX, 2);
    l.Fill(10, 10, 29, 29, P_CEILTEX, 3);
    l.Fill(10, 10, 29, 29, P_CEIL, 256);
    l.Fill(10, 10, 29, 29, P_SPLIT, kNoValue);
    // Room 1: stairs of 38 and 39.
    l.Fill(22, 10, 22, 19, P_FLOOR, 38);
    l.Fill(23, 10, 29, 19, P_FLOOR, 77);
    // Room 2: a pool 40 deep and a yard open to the sky.
    l.Fill(12, 22, 14, 24, P_DEPTH, 40);
    l.Fill(16, 26, 18, 28, P_CEIL, kNoValue);
    // Room 3: a two-storey block.
    l.Fill(22, 22, 24, 24, P_SPLIT, 128);
    l.Fill(22, 22, 24, 24, P_UPPERCEIL, 320);
    // Corridors out of room 1 at its floor of 77: one to crawl through (48 high), one too low
    // even for that (20).
    for (int y : {12, 16}) {
        l.Fill(30, y, 34, y, P_MARK, 0);
        l.Fill(30, y, 34, y, P_FLOORTEX, 2);
        l.Fill(30, y, 34, y, P_CEILTEX, 3);
        l.Fill(30, y, 34, y, P_FLOOR, 77);
        l.Fill(30, y, 34, y, P_CEIL, static_cast<uint16_t>(77 + (y == 12 ? 48 : 20)));
    }
    // Tiles: a bump and a stair tile whose slope world.dat replaces.
    l.Word(12, 12, P_TILE) = 1;
    l.Word(13, 12, P_TILE) = 2;
    // A dome height map and the eight slope codes, floor and ceiling.
    l.Word(25, 12, P_MAP) = 9;
    for (int k = 0; k < 8; ++k) {
        l.Word(20 + k, 27, P_MAP) = static_cast<uint16_t>(33 + k);
        l.Word(20 + k, 28, P_CEILMAP) = static_cast<uint16_t>(33 + k);
    }
    // Markers: no-attack code 10, earthnodes 0-2, nexuses 0-2, 81, levitation 120, kinds 1-5.
    l.Word(11, 11, P_MARK) = 210;
    for (int k = 0; k < 3; ++k) {
        l.Word(13 + k, 17, P_MARK) = static_cast<uint16_t>(120 + k);
        l.Word(23 + k, 17, P_MARK) = static_cast<uint16_t>(150 + k);
    }
    l.Word(27, 17, P_MARK) = 211;
    l.Word(28, 17, P_MARK) = 111;
    l.Word(11, 18, P_MARK) = 255;  // solid: a pillar of rock
    l.Word(11, 18, P_FLOOR) = l.Word(11, 18, P_CEIL) = kRockTop;
    l.Word(12, 18, P_MARK) = 100;
    l.Word(13, 18, P_MARK) = 101;
    l.Word(14, 18, P_MARK) = 102;
    l.Word(15, 18, P_MARK) = 110;
    l.Word(16, 18, P_MARK) = 5;  // not a marker: stays in the plane
    // The pool's water slows (a kept marker word of 30: half speed) those standing in it.
    l.Fill(12, 22, 14, 24, P_MARK, 30);
    // The ladder in room 1 (a thin at y 900, against the landing's face at 896) rises from the
    // floor of 77 to the landing of 240, under a ceiling high enough to climb.
    l.Fill(25, 13, 28, 16, P_CEIL, 512);
    l.Fill(25, 14, 28, 16, P_FLOOR, 240);
    if (l.words == 19) {
        l.Word(18, 18, P_SLOPE) = 2;
        l.Word(18, 18, P_SLOPE2) = 1;
        l.Word(17, 27, P_CEILLIMIT) = 200;  // the open yard lets no one fly above 200
    }
}

void BuildThins(LevelSource& l) {
    auto thin = [&](int x1, int y1, int x2, int y2, int kind, int texture, int height) -> LevelThinRecord& {
        LevelThinRecord t;
        t.x1 = x1;
        t.y1 = y1;
        t.x2 = x2;
        t.y2 = y2;
        t.kind = kind;
        t.texture = static_cast<uint8_t>(texture);
        t.height = height;
        double dx = x2 - x1, dy = y2 - y1;
        t.length = static_cast<int32_t>(__builtin_sqrt(dx * dx + dy * dy));
        l.thins.push_back(t);
        return l.thins.back();
    };
    thin(704, 704, 896, 704, 0, 4, 128);                       // a wall
    thin(704, 832, 896, 832, 0, 5, 48).transparent = 1;        // a fence
    LevelThinRecord& swing = thin(1280, 896, 1280, 960, 1, 6, 128);
    swing.trigger = 1;
    swing.angleDegrees = 90;
    swing.thickness = 8;
    LevelThinRecord& slide = thin(1344, 1024, 1408, 1024, 1, 6, 128);
    slide.trigger = 2;                                         // thickness 0: a box 4 deep
    thin(1600, 700, 1632, 700, 3, 7, 64).trigger = 3;          // a panel its trigger colours
    thin(1600, 800, 1632, 800, 4, 7, 64).trigger = 4;          // a panel touching switches
    LevelThinRecord& ladder = thin(1700, 900, 1732, 900, 6, 8, 171);  // a ladder up to 248
    ladder.base = 77;
    thin(1700, 1500, 1828, 1500, 0, 5, 128).speedCap = 40;     // a curtain passed at walking pace
    thin(800, 1500, 864, 1500, 0, 4, 64).length = 0;           // length worked out on loading
    thin(900, 1500, 900, 1500, 0, 4, 64);                      // both ends on one point
    LevelThinRecord empty;
    empty.used = 0;
    empty.x1 = 1000;
    empty.x2 = 1100;
    l.thins.push_back(empty);
}

void BuildTexturesAndTiles(LevelSource& l) {
    AddSampleTextures(l);
    LevelTextureRecord water;
    water.frames = {"water1", "water2"};
    water.wbits = 6;
    water.hbits = 5;
    water.numframes = 2;
    water.timer = 250;
    water.translucent = 1;
    l.textures[9] = water;
    std::array<uint32_t, 64> bump{}, stair{};
    for (int j = 0; j < 8; ++j)
        for (int i = 0; i < 8; ++i) {
            int d = std::max(std::abs(i - 4), std::abs(j - 4));
            bump[j * 8 + i] = static_cast<uint32_t>((4 - std::min(d, 4)) * 4) | 2u << 16;
            stair[j * 8 + i] = static_cast<uint32_t>(i * 4);
        }
    l.tiles[1] = bump;
    l.tiles[2] = stair;
    l.slopes[10] = {32, 0};  // the stair tile is walked as a ramp through its treads
    l.slopes[11] = {16, -16};
}

void BuildObjects(LevelSource& l) {
    // type, kind, imagenum, max_velocity, image_timer_max, width, tall, hit points, translucent, z,
    // gravity, light_pattern, max_flicker, light_glow, duration, sound, sound_range, object_trigger,
    // two unread values, activation_sound.
    l.olist[1] = {0, 0, 10, 0, 200, 16, 32, 10, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    l.olist[2] = {0, 0, 12, 0, 200, 8, 48, 0, 0, 8, 0, 1, 5, 20, 0, 0, 0, 0, 0, 0, 0};  // a lamp: light 1
    l.olist[3] = {0, 0, 0, 0, 200, 16, 16, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};   // no figure
    l.olist[4] = {0, 0, 14, 0, 200, 12, 40, 0, 0, 0, 1, 0, 0, 0, 0, 3, 640, 3, 0, 0, 0}; // a lever
    l.olist[5] = {2, 3, 10, 64, 78, 20, 50, 100, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    l.placements = {
        {1, 800, 800, 0, 0},    {1, 1000, 800, 0, 90},   {2, 760, 1000, 0, 0}, {3, 1100, 1100, 0, 0},
        {4, 1500, 760, 4, 180}, {0, 1200, 1200, 0, 0},  {5, 1400, 1400, 0, 0},
    };
    // Lamps without a figure whose light (pattern 3) is preburned into the walls, floors and
    // ceilings: four to a room, clear of the two-storey block, and one at the corridors' mouths,
    // high in room 1 (in the corridor it would stop those crawling through).
    l.olist[6] = {0, 0, 0, 0, 200, 4, 4, 0, 0, 0, 0, kSampleLampPattern, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    const int lamps[][2] = {{800, 800},   {1120, 800},  {800, 1120},  {1120, 1120},   // room 0
                            {1440, 800},  {1760, 800},  {1440, 1120}, {1760, 1120},   // room 1
                            {800, 1440},  {1120, 1440}, {800, 1760},  {1120, 1760},   // room 2
                            {1696, 1376}, {1376, 1696}, {1696, 1696}, {1664, 1504}};  // room 3
    for (const auto& at : lamps)
        l.placements.push_back({6, at[0], at[1], 160, 0});
    l.placements.push_back({6, 1888, 928, 160, 0});
}

// The generators: monsters of every built-in kind come out near the chaos start, in the room
// south of it.
struct Mongen {
    int object, maxnum, chance, timer, xmaze, ymaze;
    const char* more;
};
constexpr Mongen kMongens[] = {
    {1, 2, 50, 5000, 26, 25, ""},
    {3, 1, 100, 8000, 15, 25, "xoffset=16\nsingle=1\n"},
    {2, 1, 100, 20000, 11, 24, ""},
    {4, 1, 100, 24000, 12, 27, ""},
    {5, 1, 50, 28000, 15, 28, "yoffset=16\n"},
    {6, 1, 100, 30000, 18, 24, ""},
    {7, 1, 100, 32000, 19, 27, ""},
};

std::string MongenDefs(int monsters) {
    if (monsters == 0)
        return "[mongendefs]\nnummongens=0\n\n";
    std::string s = "[mongendefs]\nnummongens=" + std::to_string(std::size(kMongens)) + "\n";
    for (size_t n = 0; n < std::size(kMongens); ++n) {
        const Mongen& g = kMongens[n];
        char b[160];
        std::snprintf(b, sizeof b, "[mongen%02zu]\nobject=%d\nmaxnum=%d\nchance=%d\ntimer=%d\nxmaze=%d\nymaze=%d\n", n,
                      g.object, g.maxnum * monsters, g.chance, g.timer / monsters, g.xmaze, g.ymaze);
        s += b;
        s += g.more;
    }
    return s + "\n";
}

// Start and raise points are cells; the three teams' rooms in team order.
std::string TeamStarts(bool teamsTrade) {
    const char* teams[3] = {"[chaos]\n", "[order]\n", "[balance]\n"};
    const char* rooms[3] = {
        "startx=11\nstarty=19\nstarta=90\nraise1x=12\nraise1y=19\nraise1a=180\nraise2x=11\nraise2y=18\n\n",
        "startx=21\nstarty=15\nstarta=180\nraise1x=21\nraise1y=16\n\n",
        "startx=27\nstarty=27\nstarta=270\nraise1x=28\nraise1y=27\n\n",
    };
    std::string s = "[noteam]\nstartx=15\nstarty=15\nstarta=0\nraise1x=16\nraise1y=15\n\n";
    for (int team = 0; team < 3; ++team)
        s += std::string(teams[team]) + rooms[teamsTrade ? (team + 1) % 3 : team];
    return s;
}

std::string WorldDat(bool packForm, const SampleVariant& v) {
    std::string s = "[light]\nambient=" + std::to_string(v.ambient) + "\noutdoor=" + std::to_string(v.outdoor) +
                    "\nintensity=96\n\n[map]\n";
    s += packForm ? "min_x=8\nmin_y=8\nmax_x=40\nmax_y=32\n\n" : "minx=8\nminy=8\nmaxx=40\nmaxy=32\n\n";
    s += "[stairslopes]\ntile02=10\n\n" + TeamStarts(v.teamsTrade) + MongenDefs(v.monsters) +
         "[effectdefs]\nnumeffects=1\n"
         "[effect00]\nolist=1\nmaxnum=1\nchance=100\ntimer=3000\nxmaze=18\nymaze=12\nheight=4\n\n"
         "[earthblooddefs]\nnumearthblood=3\n";
    for (int n = 0; n < 3; ++n) {
        char b[200];
        std::snprintf(b, sizeof b,
                      "[earthblood%02d]\npower=%d\nneutraltexture=1\nchaostexture=2\nordertexture=3\n"
                      "balancetexture=4\nbias=0\nfixture=%d\nlink1=%d\n",
                      n, 20 + n * 10, n + 1, (n + 1) % 3);
        s += b;
    }
    s += "\n[shrinedefs]\nnumshrines=3\n";
    const char* align[] = {"Chaos", "Order", "balance"};
    for (int n = 0; n < 3; ++n) {
        char b[160];
        std::snprintf(b, sizeof b, "[shrine%02d]\npower=100\nimage=20\ndeadimage=21\nalignment=%s\nfixture=%d\nlink1=%d\n",
                      n, align[n], 10 + n, n);
        s += b;
    }
    s += "\n[transportdefs]\nnumtransports=1\n[transport00]\nstartx=15\nstarty=15\nstarta=90\ngrid=sample16\n\n"
         "[homebasedefs]\nnumhomebases=3\n"
         "[homebase00]\nx1=10\nx2=11\ny1=28\ny2=29\nteam=1\n"
         "[homebase01]\nx1=28\nx2=29\ny1=10\ny2=11\nteam=2\n"
         "[homebase02]\nx1=28\nx2=29\ny1=28\ny2=29\nteam=3\n\n"
         "[soundregiondefs]\nnumsoundregions=2\n[soundregion00]\nsound=1\nvolume=80\n[soundregion01]\nsound=2\nvolume=40\n\n"
         "[safezonedefs]\nnumsafezones=1\n[safezone01]\ntrigger=3\n\n"
         "[chained_textures]\ntexture08=9\n\n"
         "[room00]\nminx=10\nmaxx=19\nminy=10\nmaxy=19\nviews=1,2\n"
         "[room01]\nminx=20\nmaxx=29\nminy=10\nmaxy=19\nviews=0,3\n"
         "[room02]\nminx=10\nmaxx=19\nminy=20\nmaxy=29\nviews=0\n"
         "[room03]\nminx=20\nmaxx=29\nminy=20\nmaxy=29\nviews=1,2,40\n";
    return s;
}

std::string TriggerDat() {
    return "[triggerdefs]\nnumtriggers=11\n\n"
           "[trigger01]\ntype=Door\nenabled=1\nnext_trigger=2\nstart_angle=0\nend_angle=90\nmax_angle_rate=90\n"
           "on_text=The gate swings open.\noff_text=The gate closes.\non_sound=3\n\n"
           "[trigger02]\ntype=door\nenabled=1\nnext_trigger=1\nslide_axis=1\nslide_amount=48\nmax_rate=64\n\n"
           "[trigger03]\ntype=null\nenabled=1\ntexture_on=8\ntexture_off=7\nreset_timer=3000\ninitial_state=0\n\n"
           "[trigger04]\ntype=Elevator\nenabled=1\nx1=24\ny1=14\nx2=25\ny2=15\noff_height=77\non_height=141\n"
           "speed=32\nnext_trigger=5\nnext_trigger_timing=1\n\n"
           "[trigger05]\ntype=enable\nenabled=1\nwhich=6\n\n"
           "[trigger06]\ntype=teleport\nenabled=0\ndisabled_text=The portal is dark.\nx0=26\ny0=26\nrandom=0\n\n"
           "[trigger07]\ntype=clone\nenabled=1\nwhich_clone=2\nx=15\ny=15\n\n"
           "[trigger08]\ntype=delete\nenabled=1\nwhich_object=3\nradius=2\nx=17\ny=17\n\n"
           "[trigger09]\ntype=score\nenabled=1\nwhich_score=1\nscore_text=A point for the bold.\n\n"
           "[trigger10]\ntype=Endgame\nenabled=1\n\n"
           "[trigger11]\ntype=elevator\nenabled=1\nx1=22\ny1=22\nx2=24\ny2=24\noff_height=128\non_height=160\n"
           "speed=16\nmove_floor=0\nmove_rooftop=1\n";
}

// A flat picture: value v everywhere but a frame of border.
std::vector<uint8_t> Picture(int w, int h, uint8_t v, uint8_t border) {
    std::vector<uint8_t> px(static_cast<size_t>(w) * h, v);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (x == 0 || y == 0 || x == w - 1 || y == h - 1 || ((x / 8 + y / 8) % 2 == 0 && (x % 8 == 0 || y % 8 == 0)))
                px[static_cast<size_t>(y) * w + x] = border;
    Palette p = SamplePalette();
    return BuildPcx(w, h, px.data(), p.data());
}

// The level seen from above, one pixel a cell: rock dark, floors grey by height, liquid blue, open
// sky cyan, earthnodes green, nexuses gold, other markers red, thins white.
std::vector<uint8_t> MapPicture(LevelSource& l) {
    std::vector<uint8_t> px(128 * 128, kSampleBlack + 2);
    for (int y = 0; y < 128; ++y) {
        for (int x = 0; x < 128; ++x) {
            uint8_t& p = px[static_cast<size_t>(y) * 128 + x];
            int mark = l.Word(x, y, P_MARK);
            if (mark >= 250)
                continue;
            p = static_cast<uint8_t>(12 + std::min(15, l.Word(x, y, P_FLOOR) / 8));
            if (l.Word(x, y, P_DEPTH))
                p = 96 + 24;
            else if (l.Word(x, y, P_CEIL) == kNoValue)
                p = 160 + 22;
            if (mark >= 120 && mark < 150)
                p = 64 + 28;
            else if (mark >= 150 && mark < 170)
                p = 128 + 30;
            else if (mark >= 100 && mark != 120)
                p = 32 + 24;
        }
    }
    for (const LevelThinRecord& t : l.thins) {
        if (!t.used)
            continue;
        for (int k = 0; k <= 16; ++k) {
            int cx = (t.x1 + (t.x2 - t.x1) * k / 16) >> 6, cy = (t.y1 + (t.y2 - t.y1) * k / 16) >> 6;
            px[static_cast<size_t>(cy) * 128 + cx] = 31;
        }
    }
    Palette p = SamplePalette();
    return BuildPcx(128, 128, px.data(), p.data());
}

}  // namespace

void AddSampleTextures(LevelSource& l) {
    const char* names[] = {"stone", "floor", "ceiling", "brick", "fence", "door", "panel", "ladder"};
    for (int i = 0; i < 8; ++i) {
        LevelTextureRecord t;
        t.frames = {names[i]};
        t.wbits = t.hbits = 6;
        t.colorTable = 16;
        l.textures[i + 1] = t;
    }
}

const SampleVariant& SampleKeep() {
    static const SampleVariant keep{"sample", "Sample Keep", "Four rooms, a pool and a tower."};
    return keep;
}

const std::vector<SampleVariant>& SampleVariants() {
    auto variant = [](const char* grid, const char* name, const char* description, int light, int monsters,
                      TextureLook look, bool teamsTrade) {
        SampleVariant v{grid, name, description};
        v.ambient = light;
        v.outdoor = light + 8;
        v.monsters = monsters;
        v.look = look;
        v.teamsTrade = teamsTrade;
        return v;
    };
    static const std::vector<SampleVariant> variants = {
        variant("grid00", "Training Yard", "The keep without its monsters, to learn the spells in.", 20, 0, {}, false),
        variant("dusk", "Dusk Keep", "The keep at nightfall.", 4, 1, {0, true}, false),
        variant("frost", "Frost Keep", "Walls of blue ice.", 14, 1, {2, false}, false),
        variant("ember", "Ember Keep", "Walls of glowing stone.", 16, 1, {3, false}, false),
        variant("swarm", "Swarming Keep", "Twice the monsters, twice as often.", 12, 2, {}, false),
        variant("turned", "Turned Keep", "Each team starts in another room.", 12, 1, {5, false}, true),
        variant("moss", "Moss Keep", "Overgrown and quiet.", 8, 0, {1, true}, false),
        variant("deep", "Deep Keep", "Dark rooms full of monsters.", 4, 2, {4, true}, true),
    };
    return variants;
}

SampleLevel BuildSampleLevel(int words, bool packForm, const SampleVariant& variant) {
    SampleLevel s;
    s.source.SetWords(words);
    BuildGrid(s.source);
    BuildThins(s.source);
    BuildTexturesAndTiles(s.source);
    BuildObjects(s.source);
    s.worldDat = WorldDat(packForm, variant);
    s.triggerDat = TriggerDat();
    return s;
}

std::vector<PackSource> SampleTexturePictures(TextureLook look) {
    // Ramp 0 (grey, and the text colours below it) stays as it is.
    auto turned = [look](int index) {
        const int ramp = index / 32, level = index % 32;
        if (ramp == 0)
            return static_cast<uint8_t>(index);
        return static_cast<uint8_t>((1 + (ramp - 1 + look.rampShift) % 7) * 32 + (look.darker ? level / 2 : level));
    };
    const char* names[] = {"stone", "floor", "ceiling", "brick", "fence", "door", "panel", "ladder", "water1"};
    std::vector<PackSource> out;
    for (int i = 0; i < 9; ++i)
        out.push_back({std::string("textures/") + names[i] + ".pcx", Picture(64, 64, turned(40 + i * 24), 20)});
    out.push_back({"textures/water2.pcx", Picture(64, 32, turned(120), turned(110))});
    return out;
}

std::vector<PackSource> SampleSystemTexturePictures() {
    return {{"textures/blue.pcx", Picture(32, 32, 120, 100)}, {"textures/glow.pcx", Picture(16, 16, 150, 140)}};
}

std::vector<PackSource> SampleLevelFiles(int words, bool packForm, const SampleVariant& variant) {
    SampleLevel s = BuildSampleLevel(words, packForm, variant);
    return LevelFiles(s, packForm, variant.look);
}

std::vector<PackSource> LevelFiles(SampleLevel& s, bool packForm, TextureLook look) {
    auto text = [](const std::string& t) { return std::vector<uint8_t>(t.begin(), t.end()); };
    std::vector<PackSource> files = {
        {"grid.dat", BuildGridDat(s.source)},
        {"misc.dat", BuildMiscDat(s.source)},
        {"objects.dat", BuildObjectsDat(s.source)},
        {"world.dat", text(s.worldDat)},
        {"trigger.dat", text(s.triggerDat)},
        {"sounds.dat", text("[sounds]\nnumsounds=0\n")},
        {"backgrnd.pcx", Picture(160, 120, 64, 60)},
        {"map.pcx", MapPicture(s.source)},
    };
    if (packForm) {
        std::string color;
        for (int n = 16; n <= 23; ++n)
            color += std::to_string(n) + "=grid.col\n";
        files.push_back({"color.dat", text("[color_tables]\n" + color)});
        files.push_back({"light/grid.col", BuildColFile(SamplePalette())});
    }
    for (PackSource& p : SampleTexturePictures(look))
        files.push_back(std::move(p));
    return files;
}

std::string SamplePatternDat() {
    std::string s = "[patterndefs]\nnumpatterns=4\n\n[pattern00]\nsize=0\n\n"
                     "[pattern01]\nsize=2\nrow00=10,20\nrow01=30,40\nlight_type=2\nred=255\ngreen=200\nblue=120\n"
                     "intensity=300\ndistance=150\n\n[pattern02]\nsize=16\nlight_type=1\n";
    for (int r = 0; r < 16; ++r) {
        s += "row" + std::string(r < 10 ? "0" : "") + std::to_string(r) + "=";
        for (int c = 0; c < 16; ++c)
            s += std::to_string(std::max(0, 16 - std::abs(r - 8) - std::abs(c - 8))) + (c < 15 ? "," : "\n");
    }
    // The sample keep's lamps: a warm preburned light that reaches across half a room.
    s += "\n[pattern03]\nsize=0\nlight_type=1\nred=255\ngreen=214\nblue=160\nintensity=300\ndistance=480\n";
    return s;
}

std::string SampleMonsterDat() {
    return "[monsterdefs]\nnummonsters=2\n\n"
           "[monster00]\nname=Dark Acolyte\nimage_timer_max=70\nteam=4\nwidth=20\ntall=50\nmax_hits=60\n"
           "spell_num=7\ntrigger_range=320\nmax_velocity=64\nfire_chance=50\nmax_action_timer=3000\n"
           "standing_imagenum=201\ndemeanor=Aggressive\ncommand=roam\n\n"
           "[monster01]\nname=Stone Warden\nteam=5\nwidth=24\ntall=60\nmax_hits=120\ndemeanor=passive\n"
           "command=guard\nmax_step=16\n";
}

std::string SampleImageDat() {
    std::string s = "[imagedefs]\nnumimages=83\n\n"
                    "[image00]\nname=torch.pcx\nwbits=5\nhbits=6\nwpixels=32\nhpixels=64\nnuminseq=2\nimageseq=0,1\n"
                    "numviews=1\nviewimage=0\nsystem=1\n\n"
                    "[image01]\nname=barrel.pcx\nwbits=6\nhbits=6\nwpixels=64\nhpixels=64\nnumindeathseq=1\ndeathseq=3\n"
                    "numviews=0\nmirror=1\nsgf=1\n";
    // The spells' images: projectiles, bolts, overlays, summoned things and runes turn through
    // several frames (a new spell object starts on a random one); the rest have one.
    const int animated[][2] = {{7, 4},  {30, 4}, {31, 6}, {32, 4}, {33, 4}, {34, 3}, {35, 5}, {36, 2},
                               {40, 4}, {41, 6}, {42, 3}, {43, 2}, {44, 4}, {45, 4}, {60, 8}, {61, 6},
                               {70, 4}, {71, 1}, {80, 2}, {81, 6}, {82, 3}};
    for (int n = 2; n <= 82; ++n) {
        int frames = 1;
        for (const auto& a : animated)
            if (a[0] == n)
                frames = a[1];
        char b[220];
        std::snprintf(b, sizeof b, "\n[image%02d]\nname=spell%02d.pcx\nwbits=5\nhbits=5\nwpixels=32\nhpixels=32\nnuminseq=%d\n",
                      n, n, frames);
        s += b;
        s += "imageseq=";
        for (int f = 0; f < frames; ++f)
            s += std::string(f ? "," : "") + std::to_string(f);
        s += "\nnumviews=0\nsystem=1\n";
    }
    return s;
}

std::string SampleSystemDat() {
    return "[textures]\nnumtextures=2\n\n"
           "[texture101]\nwbits=5\nhbits=5\nname00=blue.pcx\n\n"
           "[texture102]\nwbits=4\nhbits=4\ntranslucent=1\nnumframes=2\ntimer=100\nname00=glow.pcx\nname01=blue.pcx\n";
}

std::string SampleArenaDat() {
    // Setup offers ten arenas: each of them names a level of the installation.
    std::vector<const SampleVariant*> open = {&SampleKeep()};
    const SampleVariant oldKeep{"sample16", "Old Keep", "The keep before its tower."};
    open.push_back(&oldKeep);
    for (const SampleVariant& v : SampleVariants())
        open.push_back(&v);
    std::string s = "[arenadefs]\nnumgrids=" + std::to_string(open.size()) + "\n";
    auto arena = [&s](int n, int enabled, const SampleVariant& v) {
        char b[256];
        std::snprintf(b, sizeof b, "\n[arena%02d]\nenabled=%d\nname=%s\ngrid=%s\ndescription=%s\n", n, enabled, v.name,
                      v.grid, v.description);
        s += b;
    };
    arena(0, 1, *open[0]);
    arena(1, 0, SampleVariant{"sample16", "Closed Hall", "Not open yet."});
    int n = 2;
    for (size_t k = 1; k < open.size(); ++k)
        arena(n++, 1, *open[k]);
    // The list is read up to the first section without "enabled": every one of the twenty slots
    // is written, the unused ones closed.
    for (; n < 20; ++n) {
        char section[32];
        std::snprintf(section, sizeof section, "\n[arena%02d]\nenabled=0\n", n);
        s += section;
    }
    return s;
}
