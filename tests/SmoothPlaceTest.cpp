// Placement of vertices: the point of equal curvature on the handle line, its bounds, which
// vertices are eligible, and auxFlagC.
#include "tests/SmoothTestSupport.h"

namespace railgrace::testing {
namespace {

constexpr Point3 kStart{3, 57, -2};  // where Triple puts vertex 1

Point3 Placed(std::vector<BezierVertex> vertices, const SmoothWork& work) {
    PlaceVertices(vertices, work);
    return PosOf(vertices[1]);
}

// cp1 = (-30, 50, 0) and cp2 = (30, 50, 0), with the legs U and V at right angles to the handle
// line: both sines are 1 and r is the square root of lenU / lenV.
std::vector<BezierVertex> RightAngles(float lenU, float lenV) {
    return Triple({-30, 50, -lenU}, {-30, 50, 0}, {30, 50, 0}, {30, 50, -lenV});
}

// This lenU / lenV was found by trying the floats around (1/19)^2 for one whose r gives t equal to
// the float 0.05f.
constexpr float kLowBoundQL = 0x1.6b149p-9f;  // 0.00277008

TEST(SmoothPlace, WhereTheVertexGoes) {
    const float r = static_cast<float>(std::sqrt(double{kLowBoundQL}));
    ASSERT_EQ(static_cast<float>(1.0 - 1.0 / (double{r} + 1.0)), 0.05f);
    // T = (4, 4, 4): its length and that of a parallel leg are multiples of the rounded sqrt(3),
    // whose square is a hair below 3, so the cosine of the two comes out a hair above 1.
    ASSERT_GT(96.0 / (std::sqrt(192.0) * std::sqrt(48.0)), 1.0);
    const Point3 cp1{-2, 48, -2}, cp2{2, 52, 2}, middle{0, 50, 0};
    // On the handle line of RightAngles.
    const auto along = [](double t) { return Point3{static_cast<float>(-30 + 60 * t), 50, 0}; };
    const struct {
        const char* name;
        std::vector<BezierVertex> layout;
        Point3 expected;
    } cases[] = {
        {"equal sides: r = 1", Triple({-30, 50, 10}, {-10, 50, 0}, {10, 50, 0}, {30, 50, 10}),
         middle},
        {"r = 2", RightAngles(40, 10), along(2.0 / 3)},
        {"r = 18", RightAngles(324, 1), along(18.0 / 19)},
        {"r = 19: t is the bound 0.95f", RightAngles(361, 1), kStart},
        {"t is the bound 0.05f", RightAngles(kLowBoundQL, 1), kStart},
        {"t just above 0.05", RightAngles(0.003f, 1),
         along(std::sqrt(0.003) / (1 + std::sqrt(0.003)))},
        {"cosine above 1: sinU = 0", Triple({-6, 44, -6}, cp1, cp2, {-2, 60, -2}), kStart},
        {"cosine above 1: sinV = 0, r = 1", Triple({-6, 56, -6}, cp1, cp2, {10, 60, 10}), middle},
    };
    for (const auto& c : cases) {
        const Point3 placed = Placed(c.layout, NeighboursMarked());
        for (float d : {placed.x - c.expected.x, placed.y - c.expected.y, placed.z - c.expected.z})
            EXPECT_NEAR(d, 0, 1e-5) << c.name;
    }
}

TEST(SmoothPlace, OnlyEligibleVerticesMoveAndAuxFlagCIsClearedOnAll) {
    // A crest on a run straight in plan (the third row) is placed only inside the run.
    const struct {
        bool straight3d, planPrev, planSelf, planNext, moves;
    } cases[] = {{false, false, false, false, true}, {false, true, false, true, true},
                 {false, true, true, true, true},    {false, true, true, false, false},
                 {false, false, true, true, false},  {true, true, true, true, false}};
    for (const auto& c : cases) {
        std::vector<BezierVertex> vertices =
            Triple({-30, 50, 10}, {-10, 50, 0}, {10, 50, 0}, {30, 50, 10});
        for (BezierVertex& v : vertices) v.auxFlagC = true;
        SmoothWork work{};
        work.straight3d[1] = c.straight3d;
        work.straightPlan = {c.planPrev, c.planSelf, c.planNext};
        PlaceVertices(vertices, work);
        EXPECT_EQ(PosOf(vertices[1]), (c.moves ? Point3{0, 50, 0} : kStart))
            << c.straight3d << c.planPrev << c.planSelf << c.planNext;
        for (const BezierVertex& v : vertices) EXPECT_FALSE(v.auxFlagC);
    }
}

TEST(SmoothPlace, OverflowIsAFaultAtAnEligibleVertexOnly) {
    // lenU / lenV = 1e30 / 1e-10 does not fit a float; nor does the handle line T.
    for (const auto& layout : {RightAngles(1e30f, 1e-10f), Triple({-30, 50, 10}, {-3e38f, 50, 0},
                                                                  {3e38f, 50, 0}, {30, 50, 10})}) {
        SmoothWork work = NeighboursMarked();
        EXPECT_EQ(SmoothErrorMessage([&] { Placed(layout, work); }),
                  "Smoothing stopped at vertex 1 while placing vertices: the control points around "
                  "it lie too far apart to compute with.");
        work.straight3d[1] = true;
        EXPECT_EQ(SmoothErrorMessage([&] { Placed(layout, work); }), "");
    }
}

}  // namespace
}  // namespace railgrace::testing
