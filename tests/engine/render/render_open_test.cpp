#include <gtest/gtest.h>

#include "engine/render/sg_dd_environment.h"
#include "engine/render/sg_render_debug.h"
#include "tests/support/render/render_fixture.h"

namespace {

using platform::dd::GetCapsProfile;
using platform::dd::SetCapsProfile;

class RenderOpenTest : public RenderTest {};

TEST_F(RenderOpenTest, DefaultProfileOpensTheHardwareDeviceWindowed) {
    SgRef<SgD3DRender> r = Open(Params(0, 11));
    ASSERT_TRUE(r) << RenderLastFailure();
    EXPECT_EQ(SgD3DRender::Current(), r.Get());
    EXPECT_STREQ(r->GetDeviceName(), "Quorrin Display: HW: DrawPrimitive");
    EXPECT_EQ(r->GetTargetWidth(), 800u);
    EXPECT_EQ(r->GetTargetHeight(), 600u);
    EXPECT_TRUE(Said("Render create message: Device open succeeded"));
}

}  // namespace
