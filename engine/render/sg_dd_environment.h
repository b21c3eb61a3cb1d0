#pragma once
// The one DirectDraw object every renderer shares: the chosen display driver, its capabilities,
// the display mode and the identification of the 3D card, made on first use. Also the list of
// DirectDraw drivers with their display modes, filled once by enumeration.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ddraw/d3d.h"

class SgDDImage;
class SgRenderBuffers;
struct SgRenderCreateParams;

struct SgDriverListEntry {
    struct Mode {
        uint32_t width, height, bitsPerPixel;
    };
    std::string description;
    uint8_t canRenderWindowed = 0;
    uint8_t valid = 1;
    std::vector<Mode> modes;
    bool hasGuid = false;
    GUID guid{};
    uint32_t deviceFlags = 0;  // bit 0 separate texture memories, bit 1 renders 32-bit

    bool HasMode(uint32_t width, uint32_t height, uint32_t bits) const;
};

struct SgCardInfo {
    uint32_t vendorId = 0;
    uint32_t chipsetId = 0;
    uint32_t cardNumber = 0;  // 0 unidentified, 1 to 16
    uint32_t offscreenMode = 0;  // the recommended offscreen layout: 0, 2, 3 or 4
};

struct SgDDEnvironment {
    HWND window = nullptr;
    IDirectDrawSurface4* primarySurface = nullptr;  // one reference
    SgDDImage* primaryImage = nullptr;              // one reference
    uint8_t displayModeChanged = 0;
    IDirectDraw4* directDraw = nullptr;
    uint8_t hardware = 0;
    DDCAPS caps{};
    DDBLTFX bltFx{};
    char driverDescription[257] = {};
    SgDriverListEntry* chosen = nullptr;  // owned
    uint32_t displayDepth = 0;
    SgCardInfo card;
    uint32_t useCount = 0;
    // The buffer set of the last onscreen renderer made (offscreen layouts 2 and 3 share its back
    // surface).
    SgRenderBuffers* currentBuffers = nullptr;

    void SetPrimaryImage(SgDDImage* image);
};

// The window the renderers draw into; the game sets it before it makes a renderer.
void SgSetRenderWindow(HWND window);
HWND SgRenderWindow();

SgDDEnvironment* SgCurrentDDEnvironment();
// The environment for a renderer of these parameters, made on first use, with one more use.
// Null when it cannot be made.
SgDDEnvironment* AcquireDDEnvironment(const SgRenderCreateParams& params);
SgDDEnvironment* RenderCreate(bool usePrimary, bool wantHardware);
HRESULT SetFullscreenMode(SgDDEnvironment* env, uint32_t width, uint32_t height, uint32_t bits);
void SetPrimarySurface(SgDDEnvironment* env, IDirectDrawSurface4* surface, SgDDImage* image);
void IdentifyCard(SgDDEnvironment* env);
// Drops one use; at zero the environment is shut down and freed.
void DropDDEnvironment(SgDDEnvironment* env);
// The exit handler: drops the creation's use and empties the driver list.
void ReleaseDDEnvironment();
const std::vector<SgDriverListEntry*>& SgDriverList();
// The recommended offscreen layout override; 0 keeps the card table's.
void SetRecommendedOffscreenMode(uint32_t mode);
uint32_t RecommendedOffscreenModeOverride();
