// The chase view of the sample keep as the window shows it: wherever the camera behind the player
// ends, the room around it is drawn whole, the floor under the player's figure above all.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "client/arena/grid_queries.h"
#include "tests/client/present/frame/sample_screen.h"

namespace {

class ChaseView : public SampleArena {
protected:
    void SetUp() override {
        SampleArena::SetUp();
        if (HasFatalFailure())
            return;
        present::ViewMode = 1;
        present::ClearViewFrame();
        clearDepth = ddtest::RawPixel(DepthBuffer(), 400, 300);
    }
    IDirectDrawSurface4* DepthBuffer() const {
        auto* render = static_cast<SgD3DRender*>(present::Cameras().renderer.Get());
        return render->Driver()->buffers->zbuffer;
    }
    // Points of the view (between the HUD's bars, every 8 pixels) that nothing was drawn at.
    int Undrawn() const {
        int undrawn = 0;
        for (int y = 48; y < 540; y += 8)
            for (int x = 8; x < 800; x += 8)
                if (ddtest::RawPixel(DepthBuffer(), x, y) == clearDepth)
                    ++undrawn;
        return undrawn;
    }
    uint32_t clearDepth = 0;
    // A point may fall through the seam where two quads of the floor meet; a floor or a room not
    // drawn leaves hundreds.
    static constexpr int kSeams = 8;
};

// Around the crates and the low fence of the first room, far enough from its walls that the line
// behind ends in the room, turned every way: looking level, and looking up, so that the line
// behind falls to the floor and ends on it or, steeply, just under it. In the low corridor out of
// the second room, looking down, the line rises to the ceiling.
TEST_F(ChaseView, TheRoomIsDrawnWhereverTheCameraBehindEnds) {
    struct Sweep {
        int x, y, floor;
        std::vector<int> pitches;
    };
    const Sweep sweeps[] = {
        {900, 900, 0, {0, -250, -450}},
        {1000, 900, 0, {0, -250, -450}},
        {880, 1000, 0, {0, -250, -450}},
        {2050, 800, 77, {450}},
    };
    for (const Sweep& at : sweeps) {
        ASSERT_EQ(GetFloorHeight(at.x, at.y, 1000, 1), at.floor);
        for (int pitch : at.pitches) {
            for (int facing = 0; facing < 4096; facing += 512) {
                StandAt(at.x, at.y, facing);
                player.pitch = pitch;
                Frames(1);
                ASSERT_EQ(player.pitch, pitch);
                EXPECT_LT(Undrawn(), kSeams) << "at " << at.x << ", " << at.y << " facing " << facing << " pitch " << pitch;
            }
        }
    }
}

}  // namespace
