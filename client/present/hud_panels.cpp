#include "client/present/hud_panels.h"

#include <algorithm>
#include <cstring>

#include "client/arena/game_input.h"
#include "client/arena/local_player.h"
#include "client/arena/player_status.h"
#include "client/arena/player_view.h"
#include "client/core/error_log.h"
#include "client/core/game_clock.h"
#include "client/core/game_values.h"
#include "client/core/level_defs.h"
#include "client/present/camera_set.h"
#include "client/present/crosshair.h"
#include "client/present/screen_polys.h"
#include "client/present/screen_tint.h"
#include "client/present/world_files.h"
#include "client/screens/chat_buffer.h"
#include "client/screens/chat_commands.h"
#include "client/screens/chat_input.h"
#include "client/screens/color_tables.h"
#include "client/screens/game_pages.h"
#include "client/screens/hud_text.h"
#include "client/screens/notice_lines.h"
#include "client/screens/overhead_map.h"
#include "client/screens/screen_surface.h"
#include "engine/core/sg_texture_property.h"

namespace present {

const HudPanelLayout kHudPanelLayout[kHudPanels - 1] = {
    {{0, 250, 256, 266}, {4, 544, 260, 559}},      // 0 target line
    {{0, 250, 128, 314}, {4, 496, 132, 559}},      // 1 target block
    {{68, 4, 132, 36}, {4, 4, 68, 36}},            // 2 link statistics
    {{0, 132, 128, 164}, {40, 564, 168, 595}},     // 3 experience line
    {{180, 512, 436, 544}, {273, 512, 528, 544}},  // 4 chat, upper half
    {{180, 544, 436, 576}, {273, 544, 528, 576}},  // 5 chat, lower half
    {{180, 580, 436, 596}, {273, 580, 528, 596}},  // 6 chat entry line
    {{0, 200, 256, 216}, {272, 44, 528, 60}},      // 7 status text
    {{192, 384, 448, 400}, {272, 492, 528, 508}},  // 8 notice line 3
    {{192, 368, 448, 384}, {272, 476, 528, 492}},  // 9 notice line 2
    {{192, 352, 448, 368}, {272, 460, 528, 476}},  // 10 notice line 1
    {{732, 4, 796, 68}, {733, 44, 796, 108}},      // 11..16 player list, 40 rows lower
    {{700, 4, 732, 132}, {701, 44, 733, 172}},
    {{732, 68, 796, 132}, {733, 108, 796, 172}},
    {{732, 132, 796, 196}, {733, 172, 796, 236}},
    {{700, 132, 732, 260}, {701, 172, 733, 300}},
    {{732, 196, 796, 260}, {733, 236, 796, 300}},
    {{4, 4, 68, 132}, {4, 224, 68, 352}},          // 17 statistics block
    {{0, 320, 64, 336}, {732, 4, 796, 20}},        // 18 match clock
};

namespace {

constexpr int kRowWidth = kScreenWidth;
constexpr int kTargetBlockPanel = 1, kLinkStatsPanel = 2, kStatisticsBlockPanel = 17, kPlayerPagePanel = 12;
constexpr int kPlayerListPanels[6] = {11, 12, 13, 14, 15, 16};
constexpr int kWindowFirstTile = kWholeMapTiles;
constexpr int kWindowTiles = kHudMapTiles - kWholeMapTiles;
constexpr int kTileRows = 32;
constexpr float kMapEdgeInset = 0.02f;
constexpr uint32_t kClampBoth = 0;

bool AllowedSide(int n) { return n == 16 || n == 32 || n == 64 || n == 128 || n == 256; }

SgCamera* ActiveCamera() { return Cameras().activeCamera; }

void ConvertRegion(SgRawImageData& raw, const uint16_t* source, const uint8_t* colourTable, int rowWidth) {
    if (!source || !colourTable)
        return;
    for (uint32_t y = 0; y < raw.Height(); ++y) {
        uint8_t* out = raw.Row(y);
        const uint16_t* in = source + static_cast<size_t>(y) * rowWidth;
        for (uint32_t x = 0; x < raw.Width(); ++x)
            out[x] = colourTable[in[x]];
    }
}

void MarkChanged(SgImage* image) {
    image->MarkDirty();
    ++image->contentStamp;
}

// A palettised image of the size (allowed sides only) behind a new texture property linked to the
// polygon; the image lands in imageSlot.
SgRawImageData* MakePolygonImage(SgScreenPolygon* polygon, int width, int height, SgRef<SgImage>& imageSlot) {
    SgRef<SgRawImageData> raw(new SgRawImageData);
    if (!raw->ResizeRawImage(SgRawImageData::kPalettized, static_cast<uint32_t>(width), static_cast<uint32_t>(height)))
        return nullptr;
    // The image holds the pixels: without one (no image maker yet) there is nothing to fill.
    imageSlot = SgImage::CreateFromRawData(raw, 0, SgImage::kAnyFormat);
    if (!imageSlot)
        return nullptr;
    SgRef<SgTextureProperty> texture(new SgTextureProperty);
    texture->AppendImage(imageSlot.Get());
    texture->currentIndex = 0;
    polygon->AddProperty(texture.Get());
    if (SgRef<SgImage> current = texture->CurrentImage())
        PrecacheHudImage(current.Get());
    return raw.Get();
}

const uint16_t* SourceOf(const HudRect& r) {
    return g_screen.backBuffer ? g_screen.backBuffer + static_cast<size_t>(r.top) * kRowWidth + r.left : nullptr;
}

void CopyPanel(int panel) {
    const HudRect& source = kHudPanelLayout[panel].source;
    if (const uint16_t* pixels = SourceOf(source))
        RedrawScreenPanel(panel, pixels, InverseColourTable, source, nullptr, kRowWidth);
}

// The draw asks for its own panel again; the copy that follows serves that request.
template <class Draw>
void DrawForCopy(int panel, Draw draw) {
    draw();
    SetPanelRedrawFlag(panel, 0);
}

bool TakeFlag(int panel) { return SetPanelRedrawFlag(panel, 0) != 0; }

int WholeMapHeight(const MapArea& a) { return 2 * a.maxy + 2 - 2 * a.miny; }

// The window's first map byte on one axis: centred on the player's cell, inside the map.
int WindowEdge(int world, int low, int high) {
    int edge = (world / 64) * 2 - 64;
    edge = std::max(edge, 2 * low);
    if (edge + 128 > 2 * high + 2)
        edge = 2 * high - 126;
    return edge;
}

void StartMapCopy(HudPanelState& h) {
    h.mapStep = 0;
    if (g_localPlayer)
        DrawOverheadMap(*g_localPlayer, FrameDelta / 10);
    const bool whole = MapShown == 1;
    for (int t = kWindowFirstTile; t < kHudMapTiles; ++t)
        SetMapTileShown(t, whole ? 0 : 1);
    for (int t = 0; t < kWholeMapTiles; ++t)
        SetMapTileShown(t, whole ? 1 : 0);
    h.mapLayout = whole ? 1 : 0;
}

void CopyNextMapTile(HudPanelState& h) {
    const uint8_t* buffer = g_screen.mapBuffer.get();
    const MapArea a = UsedArea();
    const int step = h.mapStep;
    if (h.mapLayout == 0) {
        const int px = g_playerView ? g_playerView->x : 0, py = g_playerView ? g_playerView->y : 0;
        const int left = WindowEdge(px, a.minx, a.maxx), top = WindowEdge(py, a.miny, a.maxy);
        if (buffer)
            RedrawMapTile(kWindowFirstTile + step, buffer, step * kTileRows + top - 2 * a.miny, left - 2 * a.minx,
                          HudRect{0, step * kTileRows, 128, step * kTileRows + kTileRows});
        h.mapStep = step + 1 >= kWindowTiles ? -1 : step + 1;
        return;
    }
    const int width = 2 * a.maxx + 2 - 2 * a.minx, height = WholeMapHeight(a);
    if (buffer)
        RedrawMapTile(step, buffer, step * kTileRows, 0, HudRect{0, 0, width, height});
    const int last = std::min(height / kTileRows, kWholeMapTiles - 1);
    h.mapStep = step >= last ? -1 : step + 1;
}

}  // namespace

HudPanelState::HudPanelState() {
    std::fill(std::begin(redrawFlags), std::end(redrawFlags), 1);
    std::fill(std::begin(panelShown), std::end(panelShown), -1);
    std::fill(std::begin(tileShown), std::end(tileShown), -1);
}

HudPanelState& HudPanels() {
    // Never destroyed: engine objects must not be released during static destruction.
    static HudPanelState* state = new HudPanelState;
    return *state;
}

// ---- Quads ----

SgRef<SgScreenPolygon> MakeHudQuad(const HudRect& r, const SgVec3 uv[4]) {
    const SgVec3 corners[4] = {SgVec3(UnitX(r.left), UnitY(r.top), 0), SgVec3(UnitX(r.left), UnitY(r.bottom), 0),
                               SgVec3(UnitX(r.right), UnitY(r.bottom), 0), SgVec3(UnitX(r.right), UnitY(r.top), 0)};
    const SgRgba white[4] = {SgRgba(1, 1, 1, 0.5f), SgRgba(1, 1, 1, 0.5f), SgRgba(1, 1, 1, 0.5f),
                             SgRgba(1, 1, 1, 0.5f)};
    return SgRef<SgScreenPolygon>(new SgScreenPolygon(4, corners, uv, white));
}

void SetQuadEdges(SgScreenPolygon* polygon, float left, float top, float right, float bottom) {
    SgVec3* v = polygon ? polygon->MutableVertices() : nullptr;
    if (!v || polygon->VertexCount() < 4)
        return;
    v[0] = SgVec3(left, top, 0);
    v[1] = SgVec3(left, bottom, 0);
    v[2] = SgVec3(right, bottom, 0);
    v[3] = SgVec3(right, top, 0);
}

void SetQuadWindow(SgScreenPolygon* polygon, float u0, float v0, float u1, float v1) {
    SgVec3* t = polygon ? polygon->MutableTextureCoords() : nullptr;
    if (!t || polygon->VertexCount() < 4)
        return;
    t[0] = SgVec3(u0, v0, 0);
    t[1] = SgVec3(u0, v1, 0);
    t[2] = SgVec3(u1, v1, 0);
    t[3] = SgVec3(u1, v0, 0);
}

void LinkHudProperties(SgScreenPolygon* polygon, uint32_t filterMode, uint32_t addressing) {
    if (!polygon)
        return;
    SgRef<SgTextureModeProperty> mode(new SgTextureModeProperty);
    mode->applyMode = 3;
    mode->filterMode = filterMode;
    mode->addressingMode = addressing;
    polygon->AddProperty(mode.Get());
    SgRef<SgZBufferProperty> zbuffer(new SgZBufferProperty);
    zbuffer->depthTest = 0;
    zbuffer->depthWrite = 0;
    polygon->AddProperty(zbuffer.Get());
    SgRef<SgVertexColorProperty> vertexColor(new SgVertexColorProperty);
    vertexColor->mode = 1;
    polygon->AddProperty(vertexColor.Get());
    SgRef<SgAlphaProperty> alpha(new SgAlphaProperty);
    alpha->blendOn = 1;
    alpha->sourceBlend = 0;
    alpha->destinationBlend = 3;
    polygon->AddProperty(alpha.Get());
}

void ReplaceHudPolygon(SgRef<SgScreenPolygon>& slot, SgRef<SgScreenPolygon> polygon) {
    if (slot)
        RemoveHudPolygonFromCamera(ActiveCamera(), slot.Get());
    slot = std::move(polygon);
}

void DropHudPolygon(SgRef<SgScreenPolygon>& slot) { ReplaceHudPolygon(slot, SgRef<SgScreenPolygon>()); }

void PrecacheHudImage(SgImage* image) {
    if (SgRender* renderer = Cameras().renderer.Get(); renderer && image)
        renderer->PrecacheTexture(image, 1, 1, static_cast<uint32_t>(-1));
}

// ---- Panels ----

int CreateScreenPanel(int panel, const uint16_t* source, const uint8_t* palette, const uint8_t* colourTable,
                      const HudRect& sourceRect, const HudRect& screenRect, int rowWidth) {
    if (panel < 0 || panel >= kHudPanels)
        return 0;
    static const SgVec3 kWhole[4] = {SgVec3(0, 0, 0), SgVec3(0, 1, 0), SgVec3(1, 1, 0), SgVec3(1, 0, 0)};
    SgRef<SgScreenPolygon>& slot = Hud().panels[panel];
    ReplaceHudPolygon(slot, MakeHudQuad(screenRect, kWhole));
    HudPanels().panelImages[panel] = SgRef<SgImage>();
    const int w = sourceRect.Width(), h = sourceRect.Height();
    if (!AllowedSide(w) || !AllowedSide(h))
        return 0;
    SgRawImageData* raw = MakePolygonImage(slot.Get(), w, h, HudPanels().panelImages[panel]);
    if (!raw)
        return 0;
    if (palette) {
        uint8_t* out = raw->Palette();
        for (int i = 0; i < 256; ++i) {
            out[i * 4] = palette[i * 3];
            out[i * 4 + 1] = palette[i * 3 + 1];
            out[i * 4 + 2] = palette[i * 3 + 2];
        }
    }
    ConvertRegion(*raw, source, colourTable, rowWidth);
    SetScreenPanelProperties(slot.Get());
    return 1;
}

void SetScreenPanelProperties(SgScreenPolygon* polygon) { LinkHudProperties(polygon, 0); }

void RedrawScreenPanel(int panel, const uint16_t* source, const uint8_t* colourTable, const HudRect& sourceRect,
                       const HudRect* screenRect, int rowWidth) {
    if (panel < 0 || panel >= kHudPanels || !Hud().panels[panel])
        return;
    if (screenRect)
        SetQuadEdges(Hud().panels[panel].Get(), UnitX(screenRect->left), UnitY(screenRect->top),
                     UnitX(screenRect->right), UnitY(screenRect->bottom));
    SgImage* image = HudPanels().panelImages[panel].Get();
    SgRawImageData* raw = image ? image->RawData() : nullptr;
    if (!raw || raw->Width() != static_cast<uint32_t>(sourceRect.Width()) ||
        raw->Height() != static_cast<uint32_t>(sourceRect.Height()))
        return;
    ConvertRegion(*raw, source, colourTable, rowWidth);
    MarkChanged(image);
}

int SetPanelRedrawFlag(int panel, int value) {
    HudPanelState& h = HudPanels();
    if (panel == -1) {
        std::fill(std::begin(h.redrawFlags), std::end(h.redrawFlags), 1);
        return 0;
    }
    if (panel < 0 || panel >= kHudPanels)
        return 0;
    const int previous = h.redrawFlags[panel];
    h.redrawFlags[panel] = value;
    return previous;
}

namespace {

// The shared part of SetPanelShown and SetMapTileShown.
void SetShown(SgScreenPolygon* polygon, int32_t& state, int shown) {
    const int wanted = shown ? 1 : 0;
    if (!polygon || state == wanted)
        return;
    SgCamera* camera = ActiveCamera();
    if (camera) {
        RemoveHudPolygonFromCamera(camera, polygon);
        if (wanted)
            camera->AttachOverlayPolygon(polygon);
    }
    state = wanted;
}

void Destroy(SgRef<SgScreenPolygon>& slot, SgRef<SgImage>& image) {
    DropHudPolygon(slot);
    image = SgRef<SgImage>();
}

}  // namespace

void SetPanelShown(int panel, int shown) {
    HudPanelState& h = HudPanels();
    if (panel < 0) {
        std::fill(std::begin(h.panelShown), std::end(h.panelShown), -1);
        return;
    }
    if (panel < kHudPanels)
        SetShown(Hud().panels[panel].Get(), h.panelShown[panel], shown);
}

void DestroyScreenPanel(int panel) {
    if (panel >= 0 && panel < kHudPanels)
        Destroy(Hud().panels[panel], HudPanels().panelImages[panel]);
}

// ---- Overhead-map tiles ----

void FillMapPalette(uint8_t palette[1024]) {
    std::memset(palette, 0, 1024);
    const auto set = [palette](int i, int r, int g, int b) {
        palette[i * 4] = static_cast<uint8_t>(r);
        palette[i * 4 + 1] = static_cast<uint8_t>(g);
        palette[i * 4 + 2] = static_cast<uint8_t>(b);
    };
    for (int j = 1; j <= 31; ++j) {
        const int v = 8 * j;
        set(j, v, v, v);
        set(32 + j, v, 0, 0);
        set(64 + j, v, v, 0);
        set(96 + j, 0, 0, v);
        set(128 + j, v, 0, v);
    }
    set(32, 255, 255, 255);
    set(64, 255, 0, 0);
    set(96, 255, 255, 0);
    set(128, 0, 0, 255);
    set(160, 255, 0, 255);
}

int CreateMapTile(int tile, const HudRect& textureRect, const HudRect& screenRect) {
    if (tile < 0 || tile >= kHudMapTiles)
        return 0;
    static const SgVec3 kWhole[4] = {SgVec3(0, 0, 0), SgVec3(0, 1, 0), SgVec3(1, 1, 0), SgVec3(1, 0, 0)};
    SgRef<SgScreenPolygon>& slot = Hud().mapTiles[tile];
    ReplaceHudPolygon(slot, MakeHudQuad(screenRect, kWhole));
    HudPanels().tileImages[tile] = SgRef<SgImage>();
    const int w = textureRect.Width(), h = textureRect.Height();
    if (!AllowedSide(w) || !AllowedSide(h))
        return 0;
    SgRawImageData* raw = MakePolygonImage(slot.Get(), w, h, HudPanels().tileImages[tile]);
    if (!raw)
        return 0;
    FillMapPalette(raw->Palette());
    // The tiles lie edge to edge and are filtered: wrapped, each tile's top row would blend with
    // its own bottom row and draw a stray line across the map.
    LinkHudProperties(slot.Get(), 1, kClampBoth);
    return 1;
}

void RedrawMapTile(int tile, const uint8_t* mapBuffer, int row, int column, const HudRect& textureRect) {
    if (tile < 0 || tile >= kHudMapTiles || !Hud().mapTiles[tile] || !mapBuffer)
        return;
    SgImage* image = HudPanels().tileImages[tile].Get();
    SgRawImageData* raw = image ? image->RawData() : nullptr;
    if (!raw || raw->Width() == 0)
        return;
    const int width = static_cast<int>(raw->Width());
    SgScreenPolygon* polygon = Hud().mapTiles[tile].Get();
    if (SgVec3* t = polygon->MutableTextureCoords()) {
        const float u0 = static_cast<float>(textureRect.left) / width + kMapEdgeInset;
        const float u1 = static_cast<float>(textureRect.right) / width - kMapEdgeInset;
        t[0].x = t[1].x = u0;
        t[2].x = t[3].x = u1;
    }
    // Only bytes of the buffer are read; whatever of the window lies outside it is black. A map
    // smaller than the window thus sits against the window's far edges, where its clamped edges
    // put it, on both axes alike.
    const int first = std::clamp(column, 0, kMapBufferSide), last = std::clamp(column + width, 0, kMapBufferSide);
    for (uint32_t y = 0; y < raw->Height(); ++y) {
        uint8_t* out = raw->Row(y);
        std::memset(out, 0, raw->Width());
        const int source = row + static_cast<int>(y);
        if (source < 0 || source >= kMapBufferSide || first >= last)
            continue;
        std::memcpy(out + (first - column), mapBuffer + static_cast<size_t>(source) * kMapBufferSide + first,
                    static_cast<size_t>(last - first));
    }
    MarkChanged(image);
}

void SetMapTileShown(int tile, int shown) {
    HudPanelState& h = HudPanels();
    if (tile < 0) {
        std::fill(std::begin(h.tileShown), std::end(h.tileShown), -1);
        return;
    }
    if (tile < kHudMapTiles)
        SetShown(Hud().mapTiles[tile].Get(), h.tileShown[tile], shown);
}

void DestroyMapTile(int tile) {
    if (tile >= 0 && tile < kHudMapTiles)
        Destroy(Hud().mapTiles[tile], HudPanels().tileImages[tile]);
}

// ---- The whole HUD ----

int SgxCreateSceenPolys() {
    StepTimer timer;
    static const int kOrder[kHudPanels - 1] = {7, 0, 1, 2, 3, 4, 5, 6, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};
    for (int panel : kOrder) {
        const HudPanelLayout& p = kHudPanelLayout[panel];
        CreateScreenPanel(panel, SourceOf(p.source), SystemPalette, InverseColourTable, p.source, p.screen, kRowWidth);
    }
    SetPanelShown(-1, 0);
    CreateCrosshair(GetGameValue(4));

    const MapArea a = UsedArea();
    // A map taller than 255 bytes would need a ninth tile, which is the window's first slot.
    const int tiles = std::min(WholeMapHeight(a) / kTileRows + 1, kWholeMapTiles);
    for (int i = 0; i < tiles; ++i)
        CreateMapTile(i, HudRect{0, kTileRows * i, 256, kTileRows * i + kTileRows},
                      HudRect{540, 340 + 256 * i / tiles, 796, 340 + 256 * (i + 1) / tiles});
    for (int i = tiles; i < kWholeMapTiles; ++i)
        DestroyMapTile(i);
    for (int k = 0; k < kWindowTiles; ++k)
        CreateMapTile(kWindowFirstTile + k, HudRect{0, kTileRows * k, 128, kTileRows * k + kTileRows},
                      HudRect{668, 468 + 32 * k, 796, 500 + 32 * k});
    SetMapTileShown(-1, 0);
    MapShown = -1;

    CreateScreenPolys();
    CreateScreenTint();
    ShowScreenTint(0);
    ErrorLogWrite("Time to SgxCreateSceenPolys: %d msecs\n", timer.Msecs());
    return 1;
}

void DestroyHudPanelsAndTiles() {
    for (int panel = 0; panel < kHudPanels; ++panel)
        DestroyScreenPanel(panel);
    for (int tile = 0; tile < kHudMapTiles; ++tile)
        DestroyMapTile(tile);
}

void UpdateHudPanels() {
    HudPanelState& h = HudPanels();
    const int phaseBefore = h.blinkPhase;
    h.blinkAccumulator += FrameDelta / 10;
    if (h.blinkAccumulator > 100) {
        h.blinkPhase = (h.blinkPhase + 1) % 10;
        h.blinkAccumulator %= 100;
    }
    if (h.updateSwitch == 0)
        return;

    if (TakeFlag(kTargetLinePanel)) {
        DrawForCopy(kTargetLinePanel, [] { DrawTargetLine(); });
        if (g_actionState.target_flash <= 0) {
            CopyPanel(kTargetLinePanel);
            SetPanelShown(kTargetBlockPanel, 0);
            SetPanelShown(kTargetLinePanel, 1);
        } else {
            CopyPanel(kTargetBlockPanel);
            SetPanelShown(kTargetBlockPanel, 1);
            SetPanelShown(kTargetLinePanel, 0);
        }
    }

    if (g_debugLevel < 1) {
        SetPanelShown(kLinkStatsPanel, 0);
    } else if (TakeFlag(kLinkStatsPanel)) {
        CopyPanel(kLinkStatsPanel);
        SetPanelShown(kLinkStatsPanel, 1);
    }

    if (TakeFlag(kStatusTextPanel))
        CopyPanel(kStatusTextPanel);
    if (TakeFlag(kChatEntryPanel))
        CopyPanel(kChatEntryPanel);

    // The player list: a page change copies at once, a list change waits for phase 0.
    if (LagDisplayFlag && h.blinkPhase == 0)
        SetPanelRedrawFlag(kPlayerListPanel, 1);
    if (TakeFlag(kPlayerPagePanel)) {
        SetPanelRedrawFlag(kPlayerListPanel, 0);
        DrawForCopy(kPlayerListPanel, [] { DrawGameopsPage(); });
        h.listStep = 1;
    } else if (h.blinkPhase == 0 && h.listStep == 0 && TakeFlag(kPlayerListPanel)) {
        SetPanelRedrawFlag(kPlayerPagePanel, 0);
        DrawForCopy(kPlayerListPanel, [] { DrawGameopsPage(); });
        h.listStep = 1;
    }
    if (h.listStep > 0) {
        CopyPanel(kPlayerListPanels[h.listStep - 1]);
        h.listStep = h.listStep >= 6 ? 0 : h.listStep + 1;
    }

    if (MapShown == -1) {
        MapShown = 0;
        StartMapCopy(h);
    } else if (h.mapStep < 0) {
        StartMapCopy(h);
    } else {
        CopyNextMapTile(h);
    }

    if (h.blinkPhase == phaseBefore)
        return;

    if (h.noticeStep == 0 && TakeFlag(kNoticeLinesPanel))
        h.noticeStep = 1;
    if (h.noticeStep > 0) {
        CopyPanel(kNoticeLinesPanel + h.noticeStep - 1);
        h.noticeStep = h.noticeStep >= 3 ? 0 : h.noticeStep + 1;
    }

    if (TakeFlag(kExperiencePanel)) {
        DrawForCopy(kExperiencePanel, [] { DrawExperienceLine(); });
        CopyPanel(kExperiencePanel);
    }
    if (TakeFlag(kMatchClockPanel)) {
        DrawForCopy(kMatchClockPanel, [] { DrawMatchClock(); });
        CopyPanel(kMatchClockPanel);
    }

    if (h.chatStep == 0 && TakeFlag(kChatPanel)) {
        DrawForCopy(kChatPanel, [] { DrawChatBuffer(0); });
        h.chatStep = 1;
    }
    if (h.chatStep == 1) {
        CopyPanel(kChatPanel);
        h.chatStep = 2;
    } else if (h.chatStep == 2) {
        CopyPanel(kChatPanel + 1);
        h.chatStep = 0;
    }

    if (g_debugLevel >= 2) {
        CopyPanel(kStatisticsBlockPanel);
        SetPanelShown(kStatisticsBlockPanel, 1);
    } else {
        SetPanelShown(kStatisticsBlockPanel, 0);
    }

    UpdateScreenPolys();
    // The living player's aim, not during the bias pose, and not after "*c" turned it off.
    const bool aiming = g_localPlayer && !g_localPlayer->dead && g_actionState.bias_timer <= 0 && CrosshairFlag;
    ShowCrosshair(aiming ? 1 : 0);
}

void SetHudUpdateFlag(int32_t value) { HudPanels().updateSwitch = value; }

int32_t GetHudUpdateFlag() { return HudPanels().updateSwitch; }

}  // namespace present
