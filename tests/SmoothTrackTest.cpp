// The smoothing pass: each of its three steps on layouts worked out by hand, with the marks set by
// hand where a step reads them; then the whole pass, its result on a track worked out by hand, its
// limit, all-or-nothing faults, what it changes, and repeated passes.
//
// Most layouts use small whole numbers, so that the normal N of flattening and its square are exact
// floats; each half-step then halves a control point's distance to its plane exactly.
#include <gtest/gtest.h>

#include <algorithm>
#include <numbers>
#include <tuple>

#include "smooth/Smooth.h"
#include "smooth/SmoothSteps.h"

namespace railgrace::testing {
namespace {

// The fields that smoothing carries through untouched are set to what shows a change: a subnormal
// with a pattern of bits (no step computes with it, and arithmetic on it would show) and raised
// flags. auxFlagC is raised too, so that clearing it shows.
BezierVertex MakeVertex(Point3 pos, Point3 cp1, Point3 cp2) {
    const float aux = 0x1.2468p-130f;
    return {pos.x, pos.y, pos.z, cp1.x, cp1.y, cp1.z, cp2.x, cp2.y, cp2.z, aux, true, true, true};
}

// n vertices at angles 2 pi k / n with handles along the loop; shape(a) gives, at angle a, the
// radius, the height, the length of the handles in plan and the Y component of the handle from the
// vertex to cp2. Coordinates are rounded to whole numbers, so that the products of flattening are
// exact floats.
using Shape = std::array<double, 4>;
std::vector<BezierVertex> Loop(int n, Shape (*shape)(double)) {
    const auto f = [](double v) { return static_cast<float>(std::round(v)); };
    std::vector<BezierVertex> loop;
    for (int k = 0; k < n; ++k) {
        const double a = 2 * std::numbers::pi * k / n;
        const auto [radius, height, handle, rise] = shape(a);
        const float x = f(radius * std::cos(a)), y = f(height), z = f(radius * std::sin(a));
        const float tx = f(-handle * std::sin(a)), ty = f(rise), tz = f(handle * std::cos(a));
        loop.push_back(MakeVertex({x, y, z}, {x - tx, y - ty, z - tz}, {x + tx, y + ty, z + tz}));
    }
    return loop;
}

// Vertex 1 between vertices 0 and 2, whose other points lie far off: flattening and placing
// vertex 1 read only its own points and the two named control points of its neighbours.
constexpr Point3 kStart{3, 57, -2};  // where Triple puts vertex 1
std::vector<BezierVertex> Triple(Point3 cp2OfPrev, Point3 cp1, Point3 cp2, Point3 cp1OfNext) {
    return {MakeVertex({-90, 10, 90}, {-100, 10, 100}, cp2OfPrev), MakeVertex(kStart, cp1, cp2),
            MakeVertex({90, 10, 90}, cp1OfNext, {100, 10, 100})};
}

// The message of the SmoothError that action raises; empty when it raises none.
std::string ErrorOf(auto action) try {
    action();
    return {};
} catch (const SmoothError& error) {
    return error.what();
}

// The marks, as the pass gives them, of a loop of two vertices whose segment from vertex 0 to
// vertex 1 (at the origin) has the chord C = pos[0] - pos[1] and the vectors A = pos[0] - cp2[0]
// and B = cp1[1] - pos[1]: in space and in plan of vertex 0, then of vertex 1. The closing
// segment's handles point sideways in opposite directions: it is straight in no sense, so both
// vertices carry the segment's marks. (That the closing segment is tested shows on the whole
// pass, where a fault in it stops marking.)
std::array<bool, 4> Marks(Point3 c, Point3 a, Point3 b) {
    const std::vector<StraightMark> m = FindStraightVertices(std::vector{
        MakeVertex(c, {c.x, c.y, c.z + 40}, Minus(c, a)), MakeVertex({0, 0, 0}, b, {0, 0, 40})});
    return {m[0].inSpace, m[0].inPlan, m[1].inSpace, m[1].inPlan};
}

// (-b1, side) makes exactly the cosine 0.998 with -X, b1 / sqrt(b1^2 + side^2) in double: these two
// floats (30.0037079 and 1.90045297) were found by trying every float b1 in [16, 32) with the
// nearest few floats to b1 tan(acos 0.998).
constexpr float kB1 = 0x1.e00f3p+4f, kSide = 0x1.e68416p+0f;

// Straight in space or in plan by shape, and a cosine of exactly 0.998 is not straight. Handles
// along the chord are among the cases near 0.998. Where a degenerate track stops marking is
// checked on the whole pass.
TEST(SmoothMark, WhichSegmentsAreStraight) {
    const Point3 chord{-64, 0, 0}, down{0, -16, 0}, diagonal{-1, 0, -1};
    // A vertical straight segment is straight in plan too, though the plan test cannot see it; a
    // vertical handle skips the plan test rather than passing it. A handle rising off a diagonal
    // run (cos AB = sqrt(2 / 3) in space, 1 in plan) shows a wrong sign in the plan's dot product.
    EXPECT_EQ(Marks({0, -64, 0}, down, down), (std::array{true, true, true, true}));
    EXPECT_EQ(Marks(chord, down, {-16, 0, 0}), (std::array{false, false, false, false}));
    EXPECT_EQ(Marks({-4, 0, -4}, diagonal, {-1, 1, -1}), (std::array{false, true, false, true}));

    // One pair of A, B and C at the threshold (one along -X, one turned), the third vector halfway
    // between; one float less of turn and all three pass. Turned upwards rather than in plan, the
    // plan test sees three parallel vectors and marks.
    for (int k = 0; k < 12; ++k) {  // k = 6 inPlan + 2 pair + less; pairs AB, AC, BC
        const bool inPlan = k >= 6, less = k % 2 == 1, plan = less || !inPlan;
        const auto turn = [&](float f) { return inPlan ? Point3{-kB1, 0, f} : Point3{-kB1, f, 0}; };
        const float s = less ? std::nextafter(kSide, 0.0f) : kSide;
        std::array<Point3, 3> abc{turn(s / 2), turn(s / 2), turn(s / 2)};
        abc[k / 2 % 3 == 2 ? 1 : 0] = chord;
        abc[k / 2 % 3 == 0 ? 1 : 2] = turn(s);
        EXPECT_EQ(Marks(abc[2], abc[0], abc[1]), (std::array{less, plan, less, plan})) << k;
    }
}

// Flattening: 20 half-steps towards the plane of the neighbours, a full step at every second
// vertex, HandleBox, and the vertices that keep their handles. That every proposal of a sweep sees
// the sweep's starting state is checked on the whole pass.
TEST(SmoothFlatten, OddAndEvenRingsAndHandleBox) {
    // Vertices 0 and n - 1 (at the angles 0 and above 5) lie at height 50 with the neighbouring
    // control points they see, so both their planes are level at 50. Each has one control point off
    // it, the one the other does not see: cp2 of vertex 0 at 58, cp1 of vertex n - 1 at 42. The
    // rest lie at 90 and keep their handles: vertex 2 because the control points it sees lie in
    // line with it, the others (1, 3, 4, and 5 of 7) because they are marked, odd ones in space
    // only and even ones in plan only.
    const auto shape = [](double a) { return Shape{80, a == 0 || a > 5 ? 50.0 : 90, 20, 0}; };
    for (int n : {6, 7}) {
        std::vector<BezierVertex> ring = Loop(n, shape);
        ring[1].cp1Y = (ring.end() - 2)->cp2Y = 50;
        SetCp2(ring[1], {2 * ring[2].posX - ring[3].cp1X, 90, 2 * ring[2].posZ - ring[3].cp1Z});
        SmoothWork work{
            {false, true, false, true, false, n == 7}, {false, false, false, false, true}, {}, {}};
        std::vector<BezierVertex> expected = ring;
        ring[0].cp2Y = 58;
        ring.back().cp1Y = 42;
        FlattenControlPoints(ring, work);
        // Vertex 0 is even and gets the full step. Vertex n - 1 is even when n is odd; when n is
        // even it keeps 8 * 2^-20 of its distance (2^-16 after 19 half-steps, 2^-18 after 21).
        if (n % 2 == 0) expected.back().cp1Y -= 0x1p-17f;
        EXPECT_EQ(ring, expected) << n << " vertices";
    }

    // A proposal with a coordinate on a HandleBox bound is rejected whole; one just inside every
    // bound is taken. Vertex 1 of a Triple and its neighbours' control points lie in the plane
    // y = 57; its first control point lies 8 above it and its second 4 below, so that both move,
    // along Y alone: X and Z are proposed as they stand, and Y's first half-step halves the
    // distance to the plane (243 proposes 150 and -57 proposes 0). Vertex 1 is odd, so every offer
    // on a bound is the same rejected half-step. Each value on a bound is tried on its own, the
    // values just inside all bounds at once (so that a bound moved inward shows).
    SmoothWork neighboursMarked{{true, false, true}, {}, {}, {}};
    const std::tuple<float BezierVertex::*, float, float> bounds[] = {
        {&BezierVertex::cp1X, 220, 219}, {&BezierVertex::cp2X, -220, -219},
        {&BezierVertex::cp1Y, 243, 241}, {&BezierVertex::cp2Y, -57, -55},
        {&BezierVertex::cp1Z, 220, 219}, {&BezierVertex::cp2Z, -220, -219}};
    std::vector<BezierVertex> inside = Triple({-27, 57, 8}, {-7, 65, -7}, {13, 53, 3}, {33, 57, 8});
    for (const auto& [field, on, in] : bounds) {
        std::vector<BezierVertex> before = inside;
        before[1].*field = on;
        inside[1].*field = in;
        std::vector<BezierVertex> after = before;
        FlattenControlPoints(after, neighboursMarked);
        EXPECT_EQ(after, before) << on;
    }
    // Taken, the 20 half-steps leave 2^-20 of the first control point's distance of 184.
    FlattenControlPoints(inside, neighboursMarked);
    EXPECT_EQ(inside[1].cp1Y, 57 + 184 * 0x1p-20f);
}

// cp1 = (-30, 50, 0) and cp2 = (30, 50, 0), with the legs U and V at right angles to the handle
// line: both sines are 1 and r is the square root of lenU / lenV.
std::vector<BezierVertex> RightAngles(float lenU, float lenV) {
    return Triple({-30, 50, -lenU}, {-30, 50, 0}, {30, 50, 0}, {30, 50, -lenV});
}

// Placement: the point of equal curvature on the handle line, its bounds, which vertices are
// eligible, and overflow. r = 2, t = 2/3, an unmarked vertex and auxFlagC cleared on every vertex
// are the whole pass's.
TEST(SmoothPlace, WhereTheVertexGoesAndWhichVerticesMove) {
    // T = (4, 4, 4): its length and that of a parallel leg are multiples of the rounded sqrt(3),
    // whose square is a hair below 3, so the cosine of the two comes out a hair above 1.
    const Point3 cp1{-2, 48, -2}, cp2{2, 52, 2}, middle{0, 50, 0};
    // On the handle line of RightAngles.
    const auto along = [](double t) { return Point3{static_cast<float>(-30 + 60 * t), 50, 0}; };
    // lenU / lenV = 1e30 / 1e-10 does not fit a float; nor does the handle line T of this one.
    const auto wideT = Triple({-30, 50, 10}, {-3e38f, 50, 0}, {3e38f, 50, 0}, {30, 50, 10});
    const std::string tooFar =
        "Smoothing stopped at vertex 1 while placing vertices: the control points around it lie "
        "too far apart to compute with.";
    struct {
        const char* name;
        std::vector<BezierVertex> layout;
        Point3 expected;
        // The fault expected, if any. The marks: straight3d of vertex 1, then straightPlan of
        // vertices 0, 1 and 2; 0 and 2 are also straight in space, so that only vertex 1 may move.
        std::string fault{};
        std::array<bool, 4> marks{false, true, false, true};
    } cases[] = {
        {"r = 19: t is the bound 0.95f", RightAngles(361, 1), kStart},
        // This lenU / lenV (0.00277008) was found by trying the floats around (1/19)^2 for one
        // whose r gives t equal to the float 0.05f: 1 - 1 / (sqrt(lenU / lenV) + 1) rounds to it.
        {"t is the bound 0.05f", RightAngles(0x1.6b149p-9f, 1), kStart},
        {"t above 0.05", RightAngles(0.003f, 1), along(std::sqrt(0.003) / (1 + std::sqrt(0.003)))},
        {"cosine above 1: sinU = 0", Triple({-6, 44, -6}, cp1, cp2, {-2, 60, -2}), kStart},
        {"cosine above 1: sinV = 0, r = 1", Triple({-6, 56, -6}, cp1, cp2, {10, 60, 10}), middle},
        // A crest on a run straight in plan is placed only inside the run; r = 18 puts it just
        // inside the upper bound.
        {"inside a run", RightAngles(324, 1), along(18.0 / 19), "", {false, true, true, true}},
        {"at the run's end", RightAngles(324, 1), kStart, "", {false, true, true, false}},
        {"at the run's start", RightAngles(324, 1), kStart, "", {false, false, true, true}},
        {"straight in space", RightAngles(324, 1), kStart, "", {true, true, true, true}},
        // Overflow is a fault at an eligible vertex only.
        {"lenU / lenV overflows", RightAngles(1e30f, 1e-10f), kStart, tooFar},
        {"T overflows", wideT, kStart, tooFar},
        {"in space: no fault", RightAngles(1e30f, 1e-10f), kStart, "", {true, true, false, true}},
    };
    for (auto& c : cases) {
        SmoothWork work{{true, c.marks[0], true}, {c.marks[1], c.marks[2], c.marks[3]}, {}, {}};
        EXPECT_EQ(ErrorOf([&] { PlaceVertices(c.layout, work); }), c.fault) << c.name;
        EXPECT_LT(Length(Minus(PosOf(c.layout[1]), c.expected)), 1e-5) << c.name;
    }
}

// Five vertices at height 50: the segments 0-1 and 3-4 are straight, with handles along the
// chord, so 0, 1, 3 and 4 are marked and stay put. Vertex 2 between them is free. Its first
// control point lies 8 above the level plane that its neighbours' control points (-20, 50, -40)
// and (20, 50, -10) span with it; flattening levels it and leaves the second alone. Level, its legs
// U = (0, 0, 40) and V = (0, 0, 10) stand at right angles to T = (40, 0, 0), so placement uses
// r = sqrt(40 / 10) = 2 and t = 2/3.
//
// A track of these vertices and nothing else. That the pass changes nothing outside the vertex
// list shows in the CLI's tests, which compare the whole track before and after.
TrackModel FreeVertex() {
    TrackModel model;
    model.bezrRecords = {MakeVertex({-100, 50, -60}, {-100, 50, -160}, {-80, 50, -60}),
                         MakeVertex({-40, 50, -60}, {-60, 50, -60}, {-20, 50, -40}),
                         MakeVertex({0, 50, 0}, {-20, 58, 0}, {20, 50, 0}),
                         MakeVertex({40, 50, -20}, {20, 50, -10}, {60, 50, -20}),
                         MakeVertex({100, 50, -20}, {80, 50, -20}, {100, 50, -120})};
    return model;
}

// Irregular and hilly: every step of the pass has work to do on it.
Shape Hills(double a) {
    return {120 + 30 * std::sin(3 * a), 70 + 40 * std::sin(2 * a + 0.3), 10 + 4 * std::cos(5 * a),
            6 * std::cos(7 * a)};
}

TEST(SmoothTrack, OneFreeVertexFaultsTheLimitAndRepeatedPasses) {
    TrackModel model = FreeVertex(), expected = model;
    const SmoothSummary s = SmoothTrack(model);
    // Vertex 2 is even: the full step after the 20 half-steps levels it exactly.
    const float x = static_cast<float>(-20.0 + 40.0 * double{2.0f / 3.0f});
    expected.bezrRecords[2] = MakeVertex({x, 50, 0}, {-20, 50, 0}, {20, 50, 0});
    for (BezierVertex& v : expected.bezrRecords) v.auxFlagC = false;
    EXPECT_EQ(model.bezrRecords, expected.bezrRecords);
    // It moved along X alone, so its distance is exact.
    EXPECT_EQ(std::tuple(s.vertices, s.straight3d, s.straightPlan, s.movedVertices,
                         s.turnedVertices, s.largestMove),
              std::tuple(5, 4, 4, 1, 1, double{x}));

    // A fault leaves the track unchanged. Each edit of FreeVertex() and the message it raises,
    // from "Smoothing stopped at vertex ".
    const std::string look = " while looking for straight segments: ";
    const std::string turn = " while turning control points: ";
    const std::string place = " while placing vertices: its ";
    const std::pair<void (*)(std::vector<BezierVertex>&), std::string> cases[] = {
        {[](auto& v) { v.resize(1); },
         "0" + look + "it is the only vertex of the track, and smoothing needs at least two"},
        {[](auto& v) { SetCp2(v[3], PosOf(v[3])); },
         "3" + look + "its second control point lies on its position"},
        // Vertex 0's first control point belongs to the closing segment, tested last.
        {[](auto& v) { SetCp1(v[0], PosOf(v[0])); },
         "0" + look + "its first control point lies on its position"},
        {[](auto& v) { SetPos(v[2], PosOf(v[1])); },
         "1" + look + "it lies at the same position as vertex 2"},
        {[](auto& v) { v[2].posZ = std::numeric_limits<float>::infinity(); },
         "2" + look + "its position has a coordinate that is infinite or not a number"},
        {[](auto& v) { v[4].cp1Z = -std::numeric_limits<float>::infinity(); },
         "4" + look + "its first control point has a coordinate that is infinite or not a number"},
        // Each a float, the difference of the two is not.
        {[](auto& v) { v[1].posX = -(v[2].posX = 3e38f); },
         "1" + look + "it lies too far from vertex 2 to compute with"},
        // The free vertex's normal is (0, -8e20, 0), and its square does not fit a float.
        {[](auto& v) { v[1].cp2Z = -4e19f; },
         "2" + turn + "the control points around it lie too far apart to compute with"},
        // Placement stops at vertex 2 after flattening and after vertices 0 and 1 have had
        // auxFlagC cleared.
        {[](auto& v) { SetCp1(v[2], Cp2Of(v[2])); },
         "2" + place + "two control points lie on the same spot"},
        {[](auto& v) { SetCp1(v[2], Cp2Of(v[1])); },
         "2" + place + "first control point lies on the second control point of vertex 1"},
        {[](auto& v) { SetCp1(v[3], Cp2Of(v[2])); },
         "2" + place + "second control point lies on the first control point of vertex 3"},
    };
    for (const auto& [edit, why] : cases) {
        model = FreeVertex();
        edit(model.bezrRecords);
        expected = model;
        EXPECT_EQ(ErrorOf([&] { SmoothTrack(model); }), "Smoothing stopped at vertex " + why + ".");
        EXPECT_EQ(model.bezrRecords, expected.bezrRecords) << why;
    }

    model.bezrRecords = Loop(kMaxSmoothVertices + 1, Hills);
    EXPECT_EQ(ErrorOf([&] { SmoothTrack(model); }),
              "This track has 502 vertices; smoothing handles at most 501.");
    EXPECT_EQ(model.bezrRecords, Loop(kMaxSmoothVertices + 1, Hills));

    // Turning an even loop by two vertices keeps every vertex's parity, so the result of each pass
    // turns with it; it would not if a flattening proposal saw the changes made before it in its
    // sweep from vertex 0.
    TrackModel hills, turned;
    std::vector<BezierVertex>& t = turned.bezrRecords = hills.bezrRecords = Loop(36, Hills);
    std::rotate(t.begin(), t.begin() + 2, t.end());
    EXPECT_GT(SmoothTrack(hills).movedVertices, 0);
    // A level ring of 501 has handles about 0.36 degrees off every chord: all of it counts as
    // straight. Run between two passes over another track, it leaves no trace on the second.
    model.bezrRecords = Loop(kMaxSmoothVertices, [](double) { return Shape{1e4, 50, 200, 0}; });
    EXPECT_EQ(SmoothTrack(model).straight3d, 501);
    // Odd vertices kept part of their distance to the plane, so the second press turns them on.
    EXPECT_GT(SmoothTrack(hills).turnedVertices, 0);
    for (int pass = 0; pass < 2; ++pass) SmoothTrack(turned);
    std::rotate(t.begin(), t.end() - 2, t.end());
    EXPECT_EQ(hills.bezrRecords, t);
}

}  // namespace
}  // namespace railgrace::testing
