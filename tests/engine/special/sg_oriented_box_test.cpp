// Oriented boxes: the model-to-world move, the box test over a time step and the direction at a
// point.

#include <gtest/gtest.h>

#include "engine/geometry/sg_oriented_box.h"
#include "engine/geometry/sg_triangle_collider.h"

namespace {

// An axis-aligned unit box (half-extent 1) at the centre, in world values.
SgOrientedBox UnitBox(const SgVec3& centre, const SgTriangleCollider* owner = nullptr) {
    SgOrientedBox box;
    box.modelCentre = centre;
    for (float& e : box.modelExtents)
        e = 1.0f;
    box.Transform(SgIdentityMat3, SgZeroVec3, 1.0f);
    box.owner = owner;
    return box;
}

// A collider with no triangles: only its motion is read by the box test.
struct Mover {
    SgTriangleCollider collider{0, nullptr, 0, nullptr, nullptr, 0};
    Mover(const SgVec3& velocity, float step) {
        collider.velocity = velocity;
        collider.timeStep = step;
    }
};

TEST(SgOrientedBoxTest, TransformMovesCentreAxesAndExtents) {
    SgOrientedBox box;
    box.modelCentre = {1, 0, 0};
    box.modelExtents[0] = 1;
    box.modelExtents[1] = 2;
    box.modelExtents[2] = 3;
    const SgMat3 quarterZ{{0, -1, 0, 1, 0, 0, 0, 0, 1}};  // x -> y, y -> -x
    box.Transform(quarterZ, {10, 0, 0}, 2.0f);
    EXPECT_NEAR(box.worldCentre.x, 10.0f, 1e-5f);
    EXPECT_NEAR(box.worldCentre.y, 2.0f, 1e-5f);
    EXPECT_NEAR(box.worldAxes[0].y, 1.0f, 1e-6f);
    EXPECT_NEAR(box.worldAxes[1].x, -1.0f, 1e-6f);
    EXPECT_FLOAT_EQ(box.worldExtents[2], 6.0f);
    // The model values stay.
    EXPECT_EQ(box.modelCentre, SgVec3(1, 0, 0));
}

struct BoxCase {
    const char* name;
    SgVec3 otherCentre;
    SgVec3 velocityA, velocityB;
    float step;
    bool intersects;
};

class SgOrientedBoxIntersectTest : public testing::TestWithParam<BoxCase> {};

TEST_P(SgOrientedBoxIntersectTest, Intersects) {
    const BoxCase& c = GetParam();
    Mover a(c.velocityA, c.step), b(c.velocityB, c.step);
    SgOrientedBox boxA = UnitBox({0, 0, 0}, &a.collider);
    SgOrientedBox boxB = UnitBox(c.otherCentre, &b.collider);
    EXPECT_EQ(boxA.Intersects(boxB), c.intersects);
    // Swapping the sides changes nothing.
    EXPECT_EQ(boxB.Intersects(boxA), c.intersects);
}

const BoxCase kBoxCases[] = {
    {"ApartAtRest", {3, 0, 0}, {}, {}, 1.0f, false},
    {"ApartAndStillApartOnTheSameSide", {5, 0, 0}, {}, {-1, 0, 0}, 1.0f, false},
    {"PassesThroughWithinTheStep", {5, 0, 0}, {}, {-10, 0, 0}, 1.0f, true},
    {"ReachesTheOtherWithinTheStep", {5, 0, 0}, {2, 0, 0}, {}, 1.5f, true},
    {"TouchingIsNotSeparated", {2, 0, 0}, {}, {}, 0.0f, true},
    {"OverlappingAtRest", {1, 1, 1}, {}, {}, 0.0f, true},
    {"ApartDiagonallyOnTheCrossAxis", {2.1f, 2.1f, 0}, {}, {}, 0.0f, false},
    {"MovingApart", {3, 0, 0}, {-1, 0, 0}, {1, 0, 0}, 1.0f, false},
};
INSTANTIATE_TEST_SUITE_P(Cases, SgOrientedBoxIntersectTest, testing::ValuesIn(kBoxCases),
                         [](const testing::TestParamInfo<BoxCase>& i) { return std::string(i.param.name); });

TEST(SgOrientedBoxTest, RotatedBoxesSeparateOnlyWhereTheyReallyDo) {
    // A box turned 45 degrees about z reaches sqrt(2) along x; its neighbour at 2.3 is clear of
    // it, at 2.2 it is not.
    SgOrientedBox turned = UnitBox({0, 0, 0});
    turned.Transform(SgMat3::Rotation(5, SgPi / 4), SgZeroVec3, 1.0f);
    EXPECT_FALSE(turned.Intersects(UnitBox({2.5f, 0, 0})));
    EXPECT_TRUE(turned.Intersects(UnitBox({2.3f, 0, 0})));
}

// Boxes turned a hair apart make the cross products of their matching edges almost zero, and so
// both the distance and the radius on those axes: rounding alone would part these two, which
// overlap by a third of their size on every axis, were the radii not widened a little.
TEST(SgOrientedBoxTest, NearlyParallelBoxesThatOverlapStayTogether) {
    struct Case {
        double angle, axis[3], tilt;
        SgVec3 offset;
    };
    const Case cases[] = {
        {-2.4998559500225146, {-0.25525194076257823, -0.96657291344417262, 0.024150563823256772}, 1.4284706822229256e-06,
         {-1.01931787f, 1.77713811f, -0.842388391f}},
        {0.14323158257901225, {-0.53572218769621605, 0.57938911595429798, 0.61425563890262924}, 4.4437702597409474e-07,
         {1.70611262f, -1.67409348f, 1.46869802f}},
    };
    for (const Case& c : cases) {
        SgMat3 turn = SgMat3::Rotation(6, c.angle, c.axis[0], c.axis[1], c.axis[2]);
        SgOrientedBox a = UnitBox({0, 0, 0}), b = UnitBox({0, 0, 0});
        a.Transform(turn, SgZeroVec3, 1.0f);
        b.Transform(turn * SgMat3::Rotation(5, c.tilt), turn * c.offset, 1.0f);
        EXPECT_TRUE(a.Intersects(b)) << c.angle;
        EXPECT_TRUE(b.Intersects(a)) << c.angle;
    }
}

TEST(SgOrientedBoxTest, ExtremeCornerOfDegenerateAndFlatBoxesIsAnAxis) {
    SgOrientedBox box = UnitBox({0, 0, 0});
    box.Transform(SgMat3::Rotation(5, SgHalfPi), SgZeroVec3, 0.0f);  // every extent 0
    SgVec3 d = box.ExtremeCorner({5, 5, 5});
    EXPECT_EQ(d, box.worldAxes[0]);

    SgOrientedBox flat = UnitBox({0, 0, 0});
    flat.worldExtents[1] = 0.0f;  // flat across v
    EXPECT_EQ(flat.ExtremeCorner({3, 0, 0}), flat.worldAxes[1]);
}

TEST(SgOrientedBoxTest, ExtremeCornerIsTheScaledDirectionOfThePoint) {
    SgOrientedBox box = UnitBox({1, 1, 1});
    box.worldExtents[0] = 2.0f;  // a = 2, b = h = 1
    EXPECT_EQ(box.ExtremeCorner({1, 1, 1}), SgZeroVec3) << "the centre has no direction";
    // d = (4, 1, 0): q = (4 / 4, 1 / 1, 0) = (1, 1, 0), normalised.
    SgVec3 d = box.ExtremeCorner({5, 2, 1});
    EXPECT_NEAR(d.x, 0.70710677f, 1e-6f);
    EXPECT_NEAR(d.y, 0.70710677f, 1e-6f);
    EXPECT_EQ(d.z, 0.0f);
}

}  // namespace
