// Placement of vertices: the point of equal curvature on the handle line, its bounds, which
// vertices are eligible, and auxFlagC.
//
// Most layouts put the legs U and V at right angles to the handle line T, so that both sines are
// exactly 1 and r is the square root of lenU / lenV.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "smooth/SmoothSteps.h"
#include "tests/SmoothTestSupport.h"

namespace railgrace {
namespace {

using testing::MakeVertex;
using testing::SmoothErrorMessage;

constexpr Point3 kStartPos{3, 57, -2};

// Vertex 1 between vertices 0 and 2; only the four control points named here enter its placement.
std::vector<BezierVertex> Triple(Point3 cp2OfPrev, Point3 cp1, Point3 cp2, Point3 cp1OfNext) {
    return {
        MakeVertex({-90, 10, 90}, {-100, 10, 100}, cp2OfPrev),
        MakeVertex(kStartPos, cp1, cp2),
        MakeVertex({90, 10, 90}, cp1OfNext, {100, 10, 100}),
    };
}

SmoothWork NeighboursStraight() {
    SmoothWork work{};
    work.straight3d[0] = work.straightPlan[0] = true;
    work.straight3d[2] = work.straightPlan[2] = true;
    return work;
}

Point3 PlaceMiddle(std::vector<BezierVertex> vertices, const SmoothWork& work) {
    PlaceVertices(vertices, work);
    return PosOf(vertices[1]);
}

Point3 PlaceMiddle(std::vector<BezierVertex> vertices) {
    return PlaceMiddle(std::move(vertices), NeighboursStraight());
}

// Mirror images on both sides: equal lengths and equal sines, so r = 1 and t = 1/2.
std::vector<BezierVertex> Symmetric() {
    return Triple({-30, 50, 10}, {-10, 50, 0}, {10, 50, 0}, {30, 50, 10});
}

constexpr Point3 kMidpoint{0, 50, 0};

TEST(SmoothPlaceRatio, EqualSidesGiveTheMidpoint) {
    EXPECT_EQ(PlaceMiddle(Symmetric()), kMidpoint);
}

// cp1 = (-30, 50, 0), cp2 = (30, 50, 0), so T = (60, 0, 0) and the vertex goes to -30 + 60 t.
std::vector<BezierVertex> RightAngles(float lenU, float lenV) {
    return Triple({-30, 50, -lenU}, {-30, 50, 0}, {30, 50, 0}, {30, 50, -lenV});
}

Point3 OnHandleLine(float t) {
    return {static_cast<float>(-30.0 + 60.0 * double{t}), 50, 0};
}

TEST(SmoothPlaceRatio, FourTimesTheCurvatureProductGivesTwoThirds) {
    // r = sqrt(40 / 10) = 2, t = 1 - 1/3 as the float nearest 2/3.
    const Point3 placed = PlaceMiddle(RightAngles(40, 10));
    EXPECT_EQ(placed, OnHandleLine(2.0f / 3.0f));
    EXPECT_NEAR(placed.x, 10.0, 1e-5);
}

TEST(SmoothPlaceRatio, AQuarterOfTheCurvatureProductGivesOneThird) {
    // r = sqrt(10 / 40) = 1/2, t = 1/3: swapping the sides mirrors the result.
    const Point3 placed = PlaceMiddle(RightAngles(10, 40));
    EXPECT_EQ(placed, OnHandleLine(1.0f / 3.0f));
    EXPECT_NEAR(placed.x, -10.0, 1e-5);
}

TEST(SmoothPlaceBounds, TOfExactly095Stays) {
    // qS qL = 361 gives r = 19 and t = 1 - 1/20, which as a float is the bound 0.95f itself.
    EXPECT_EQ(PlaceMiddle(RightAngles(361, 1)), kStartPos);
}

TEST(SmoothPlaceBounds, TJustBelow095Moves) {
    // r = 18 gives t = 18/19 = 0.947.
    const Point3 placed = PlaceMiddle(RightAngles(324, 1));
    EXPECT_NEAR(placed.x, -30.0 + 60.0 * 18.0 / 19.0, 1e-5);
    EXPECT_EQ(placed.y, 50.0f);
    EXPECT_EQ(placed.z, 0.0f);
}

// lenU / lenV = qL with both sines 1: r = sqrt(qL). This qL was found by trying the floats
// around (1/19)^2 for one whose r gives t = 1 - 1 / (r + 1) equal to the float 0.05f.
constexpr float kLowBoundQL = 0x1.6b149p-9f;  // 0.00277008

TEST(SmoothPlaceBounds, TOfExactly005Stays) {
    const float r = static_cast<float>(std::sqrt(double{kLowBoundQL}));
    ASSERT_EQ(static_cast<float>(1.0 - 1.0 / (double{r} + 1.0)), 0.05f);
    EXPECT_EQ(PlaceMiddle(RightAngles(kLowBoundQL, 1)), kStartPos);
}

TEST(SmoothPlaceBounds, TJustAbove005Moves) {
    // r = sqrt(0.003) = 0.054772, t = r / (1 + r) = 0.051928.
    const Point3 placed = PlaceMiddle(RightAngles(0.003f, 1));
    EXPECT_NEAR(placed.x, -30.0 + 60.0 * 0.051928, 1e-4);
}

TEST(SmoothPlaceBounds, LegAlongTheHandleLineGivesTZeroAndStays) {
    // U = (20, 0, 0) runs along T: sinU = 0, r = 0, t = 0.
    EXPECT_EQ(PlaceMiddle(Triple({-50, 50, 0}, {-30, 50, 0}, {30, 50, 0}, {30, 50, -10})),
              kStartPos);
}

// T = (4, 4, 4). Its length and that of a parallel leg are multiples of the rounded sqrt(3),
// whose square is a hair below 3, so the cosine of the two comes out a hair above 1.
TEST(SmoothPlaceBounds, CosineBeyondOneByRoundingIsASineOfZero) {
    ASSERT_GT(96.0 / (std::sqrt(192.0) * std::sqrt(48.0)), 1.0);
    const Point3 cp1{-2, 48, -2};
    const Point3 cp2{2, 52, 2};
    // U parallel to T, V at right angles: sinU = 0, so t = 0 and the vertex stays.
    EXPECT_EQ(PlaceMiddle(Triple({-6, 44, -6}, cp1, cp2, {-2, 60, -2})), kStartPos);
    // V parallel to -T, U at right angles: sinV = 0, so r = 1 and the vertex goes to the middle.
    EXPECT_EQ(PlaceMiddle(Triple({-6, 56, -6}, cp1, cp2, {10, 60, 10})), kMidpoint);
}

// One placement worked out one stored float at a time: T, U, V, lenU, lenV, qS, qL, r, t and the
// new coordinates rounded to float; lengths for the cosines taken afresh in double.
Point3 PlacedByHand(const float cp2OfPrev[3], const float cp1[3], const float cp2[3],
                    const float cp1OfNext[3]) {
    using testing::StoredFloat;
    float t[3], u[3], v[3];
    for (int c = 0; c < 3; ++c) {
        t[c] = StoredFloat(double{cp2[c]} - double{cp1[c]});
        u[c] = StoredFloat(double{cp1[c]} - double{cp2OfPrev[c]});
        v[c] = StoredFloat(double{cp2[c]} - double{cp1OfNext[c]});
    }
    double uu = 0, vv = 0, tt = 0, ut = 0, vMinusT = 0;
    for (int c = 0; c < 3; ++c) {
        uu += double{u[c]} * double{u[c]};
        vv += double{v[c]} * double{v[c]};
        tt += double{t[c]} * double{t[c]};
        ut += double{u[c]} * double{t[c]};
        vMinusT += double{v[c]} * double{-t[c]};
    }
    const float lenU = StoredFloat(std::sqrt(uu));
    const float lenV = StoredFloat(std::sqrt(vv));
    const double cosU = ut / (std::sqrt(uu) * std::sqrt(tt));
    const double cosV = vMinusT / (std::sqrt(vv) * std::sqrt(tt));
    const double sinU = std::sqrt(1 - cosU * cosU);
    const double sinV = std::sqrt(1 - cosV * cosV);
    const float qS = StoredFloat(sinU / sinV);
    const float qL = StoredFloat(double{lenU} / double{lenV});
    const float r = StoredFloat(std::sqrt(double{qS} * double{qL}));
    const float along = StoredFloat(1 - 1 / (double{r} + 1));
    return {StoredFloat(double{cp1[0]} + double{along} * double{t[0]}),
            StoredFloat(double{cp1[1]} + double{along} * double{t[1]}),
            StoredFloat(double{cp1[2]} + double{along} * double{t[2]})};
}

TEST(SmoothPlaceRatio, EveryStoredValueIsRoundedToFloat) {
    // Many handle layouts with coordinates that have no short binary expansion, so that a value
    // kept in double where the track stores a float shows up in some of them.
    std::uint32_t seed = 12345;
    const auto next = [&seed](float low, float high) {
        seed = seed * 1664525u + 1013904223u;
        return low + (high - low) * static_cast<float>(seed >> 8) / 16777216.0f;
    };
    int moved = 0;
    for (int trial = 0; trial < 300; ++trial) {
        const float cp2OfPrev[3] = {next(-40, -25), next(30, 70), next(-20, 20)};
        const float cp1[3] = {next(-12, -4), next(40, 60), next(-5, 5)};
        const float cp2[3] = {next(4, 12), next(40, 60), next(-5, 5)};
        const float cp1OfNext[3] = {next(25, 40), next(30, 70), next(-20, 20)};
        const Point3 placed = PlaceMiddle(Triple({cp2OfPrev[0], cp2OfPrev[1], cp2OfPrev[2]},
                                                 {cp1[0], cp1[1], cp1[2]}, {cp2[0], cp2[1], cp2[2]},
                                                 {cp1OfNext[0], cp1OfNext[1], cp1OfNext[2]}));
        if (placed == kStartPos) continue;
        ++moved;
        EXPECT_EQ(placed, PlacedByHand(cp2OfPrev, cp1, cp2, cp1OfNext)) << "trial " << trial;
    }
    EXPECT_GT(moved, 250);
}

struct EligibilityCase {
    bool straight3d;
    bool planPrev, planSelf, planNext;
    bool moves;
};

class SmoothPlaceEligibility : public ::testing::TestWithParam<EligibilityCase> {};

TEST_P(SmoothPlaceEligibility, MovesOnlyWhenEligible) {
    const EligibilityCase& c = GetParam();
    SmoothWork work{};
    work.straight3d[1] = c.straight3d;
    work.straightPlan[0] = c.planPrev;
    work.straightPlan[1] = c.planSelf;
    work.straightPlan[2] = c.planNext;
    EXPECT_EQ(PlaceMiddle(Symmetric(), work), c.moves ? kMidpoint : kStartPos);
}

INSTANTIATE_TEST_SUITE_P(
    Marks, SmoothPlaceEligibility,
    ::testing::Values(EligibilityCase{false, false, false, false, true},
                      EligibilityCase{false, true, false, true, true},
                      // A crest on a run straight in plan: placed only inside the run.
                      EligibilityCase{false, true, true, true, true},
                      EligibilityCase{false, true, true, false, false},
                      EligibilityCase{false, false, true, true, false},
                      EligibilityCase{false, false, true, false, false},
                      EligibilityCase{true, true, true, true, false},
                      EligibilityCase{true, false, false, false, false}));

TEST(SmoothPlaceFlags, AuxFlagCIsClearedOnEveryVertexAndNothingElseChanges) {
    std::vector<BezierVertex> vertices = Symmetric();
    for (BezierVertex& v : vertices) {
        v.auxFlagA = v.auxFlagB = v.auxFlagC = true;
        v.auxValue = 7.5f;
    }
    std::vector<BezierVertex> expected = vertices;
    for (BezierVertex& v : expected) v.auxFlagC = false;
    SetPos(expected[1], kMidpoint);
    PlaceVertices(vertices, NeighboursStraight());
    testing::ExpectSameBits(vertices, expected);
}

TEST(SmoothPlaceFlags, AuxFlagCIsClearedWhereNothingMoves) {
    std::vector<BezierVertex> vertices = Symmetric();
    for (BezierVertex& v : vertices) v.auxFlagC = true;
    SmoothWork work{};
    work.straight3d.fill(true);
    PlaceVertices(vertices, work);
    for (const BezierVertex& v : vertices) EXPECT_FALSE(v.auxFlagC);
}

TEST(SmoothPlaceFlags, PositionsAreNotRead) {
    std::vector<BezierVertex> vertices = Symmetric();
    vertices[1].posX = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(PlaceMiddle(vertices), kMidpoint);
}

std::string PlacingError(const std::vector<BezierVertex>& vertices, const SmoothWork& work) {
    return SmoothErrorMessage([&] {
        std::vector<BezierVertex> copy = vertices;
        PlaceVertices(copy, work);
    });
}

TEST(SmoothPlaceFault, ControlPointsOnOneSpot) {
    const std::vector<BezierVertex> vertices =
        Triple({-30, 50, 10}, {0, 50, 0}, {0, 50, 0}, {30, 50, 10});
    EXPECT_EQ(PlacingError(vertices, NeighboursStraight()),
              "Smoothing stopped at vertex 1 while placing vertices: its two control points lie "
              "on the same spot.");
    // A vertex that is not eligible is not looked at.
    SmoothWork work{};
    work.straight3d[1] = true;
    EXPECT_EQ(PlacingError(vertices, work), "");
}

TEST(SmoothPlaceFault, FirstControlPointOnThePreviousVertexsSecond) {
    EXPECT_EQ(PlacingError(Triple({-10, 50, 0}, {-10, 50, 0}, {10, 50, 0}, {30, 50, 10}),
                           NeighboursStraight()),
              "Smoothing stopped at vertex 1 while placing vertices: its first control point lies "
              "on the second control point of vertex 0.");
}

TEST(SmoothPlaceFault, SecondControlPointOnTheNextVertexsFirst) {
    EXPECT_EQ(PlacingError(Triple({-30, 50, 10}, {-10, 50, 0}, {10, 50, 0}, {10, 50, 0}),
                           NeighboursStraight()),
              "Smoothing stopped at vertex 1 while placing vertices: its second control point "
              "lies on the first control point of vertex 2.");
}

TEST(SmoothPlaceFault, LengthRatioBeyondFloatRange) {
    // lenU / lenV = 1e30 / 1e-10 does not fit a float.
    EXPECT_EQ(PlacingError(RightAngles(1e30f, 1e-10f), NeighboursStraight()),
              "Smoothing stopped at vertex 1 while placing vertices: the control points around it "
              "lie too far apart to compute with.");
}

TEST(SmoothPlaceFault, HandleLineBeyondFloatRange) {
    EXPECT_EQ(PlacingError(Triple({-30, 50, 10}, {-3e38f, 50, 0}, {3e38f, 50, 0}, {30, 50, 10}),
                           NeighboursStraight()),
              "Smoothing stopped at vertex 1 while placing vertices: the control points around it "
              "lie too far apart to compute with.");
}

}  // namespace
}  // namespace railgrace
