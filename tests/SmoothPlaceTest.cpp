// Placement of vertices: the point of equal curvature on the handle line, its bounds, which
// vertices are eligible, overflow, and auxFlagC.
#include "tests/SmoothTestSupport.h"

namespace railgrace::testing {
namespace {

constexpr Point3 kStart{3, 57, -2};  // where Triple puts vertex 1

// cp1 = (-30, 50, 0) and cp2 = (30, 50, 0), with the legs U and V at right angles to the handle
// line: both sines are 1 and r is the square root of lenU / lenV.
std::vector<BezierVertex> RightAngles(float lenU, float lenV) {
    return Triple({-30, 50, -lenU}, {-30, 50, 0}, {30, 50, 0}, {30, 50, -lenV});
}

// This lenU / lenV was found by trying the floats around (1/19)^2 for one whose r gives t equal to
// the float 0.05f.
constexpr float kLowBoundQL = 0x1.6b149p-9f;  // 0.00277008

// r = 2, t = 2/3 is the whole pass's free vertex (SmoothTrackTest.cpp).
TEST(SmoothPlace, WhereTheVertexGoesAndWhichVerticesMove) {
    ASSERT_EQ(static_cast<float>(1.0 - 1.0 / (std::sqrt(kLowBoundQL) + 1.0)), 0.05f);
    // T = (4, 4, 4): its length and that of a parallel leg are multiples of the rounded sqrt(3),
    // whose square is a hair below 3, so the cosine of the two comes out a hair above 1.
    ASSERT_GT(96.0 / (std::sqrt(192.0) * std::sqrt(48.0)), 1.0);
    const Point3 cp1{-2, 48, -2}, cp2{2, 52, 2}, middle{0, 50, 0};
    // On the handle line of RightAngles.
    const auto along = [](double t) { return Point3{static_cast<float>(-30 + 60 * t), 50, 0}; };
    // Equal sides: r = 1; with the marks it has unless named, the vertex goes to the middle.
    const auto even = Triple({-30, 50, 10}, {-10, 50, 0}, {10, 50, 0}, {30, 50, 10});
    // lenU / lenV = 1e30 / 1e-10 does not fit a float; nor does the handle line T of this one.
    const auto wideT = Triple({-30, 50, 10}, {-3e38f, 50, 0}, {3e38f, 50, 0}, {30, 50, 10});
    const std::string tooFar =
        "Smoothing stopped at vertex 1 while placing vertices: the control points around it lie "
        "too far apart to compute with.";
    const struct {
        const char* name;
        std::vector<BezierVertex> layout;
        Point3 expected;
        // The fault expected, if any. The marks: straight3d of vertex 1, then straightPlan of
        // vertices 0, 1 and 2; 0 and 2 are also straight in space, so that only vertex 1 may move.
        std::string fault{};
        std::array<bool, 4> marks{false, true, false, true};
    } cases[] = {
        {"r = 18", RightAngles(324, 1), along(18.0 / 19)},
        {"r = 19: t is the bound 0.95f", RightAngles(361, 1), kStart},
        {"t is the bound 0.05f", RightAngles(kLowBoundQL, 1), kStart},
        {"t above 0.05", RightAngles(0.003f, 1), along(std::sqrt(0.003) / (1 + std::sqrt(0.003)))},
        {"cosine above 1: sinU = 0", Triple({-6, 44, -6}, cp1, cp2, {-2, 60, -2}), kStart},
        {"cosine above 1: sinV = 0, r = 1", Triple({-6, 56, -6}, cp1, cp2, {10, 60, 10}), middle},
        {"unmarked", even, middle, "", {false, false, false, false}},
        // A crest on a run straight in plan is placed only inside the run.
        {"crest inside a run", even, middle, "", {false, true, true, true}},
        {"crest at the run's end", even, kStart, "", {false, true, true, false}},
        {"crest at the run's start", even, kStart, "", {false, false, true, true}},
        {"straight in space", even, kStart, "", {true, true, true, true}},
        // Overflow is a fault at an eligible vertex only.
        {"lenU / lenV overflows", RightAngles(1e30f, 1e-10f), kStart, tooFar},
        {"T overflows", wideT, kStart, tooFar},
        {"in space: no fault", RightAngles(1e30f, 1e-10f), kStart, "", {true, true, false, true}},
    };
    for (const auto& c : cases) {
        std::vector<BezierVertex> vertices = c.layout;
        SmoothWork work{};
        work.straight3d = {true, c.marks[0], true};
        work.straightPlan = {c.marks[1], c.marks[2], c.marks[3]};
        EXPECT_EQ(SmoothErrorMessage([&] { PlaceVertices(vertices, work); }), c.fault) << c.name;
        const Point3 placed = PosOf(vertices[1]);
        for (float d : {placed.x - c.expected.x, placed.y - c.expected.y, placed.z - c.expected.z})
            EXPECT_NEAR(d, 0, 1e-5) << c.name;
        if (!c.fault.empty()) continue;  // the sweep stopped at vertex 1
        for (const BezierVertex& v : vertices) EXPECT_FALSE(v.auxFlagC) << c.name;
    }
}

}  // namespace
}  // namespace railgrace::testing
