// The smoothing pass: each of its three steps on layouts worked out by hand, with the marks set by
// hand where a step reads them; then the whole pass, its result on a track worked out by hand, its
// limit, all-or-nothing faults, what it changes, and repeated passes.
//
// Most layouts use small whole numbers, so that the normal N of flattening and its square are exact
// floats; each half-step then halves a control point's distance to its plane exactly.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <functional>
#include <limits>
#include <numbers>
#include <tuple>

#include "smooth/Smooth.h"
#include "smooth/SmoothSteps.h"

namespace railgrace::testing {
namespace {

// The fields that smoothing carries through untouched are set to what shows a change: a NaN with a
// payload and raised flags. auxFlagC is raised too, so that clearing it shows.
BezierVertex MakeVertex(Point3 pos, Point3 cp1, Point3 cp2) {
    const float nan = std::bit_cast<float>(0x7fc01234u);
    return {pos.x, pos.y, pos.z, cp1.x, cp1.y, cp1.z, cp2.x, cp2.y, cp2.z, nan, true, true, true};
}

// A loop round the Y axis, seen at angle a: radius, height, length of the handles in plan and the Y
// component of the handle from the vertex to cp2.
struct LoopShape {
    double radius = 10000, height = 50, handle = 200, rise = 0;
};

// n vertices at angles 2 pi k / n with handles along the loop; coordinates rounded to whole
// numbers, so that the products of flattening are exact floats.
std::vector<BezierVertex> Loop(int n, LoopShape (*shape)(double) = nullptr) {
    const auto f = [](double v) { return static_cast<float>(std::round(v)); };
    std::vector<BezierVertex> loop;
    for (int k = 0; k < n; ++k) {
        const double a = 2 * std::numbers::pi * k / n;
        const LoopShape s = shape ? shape(a) : LoopShape{};
        const float x = f(s.radius * std::cos(a)), y = f(s.height), z = f(s.radius * std::sin(a));
        const float tx = f(-s.handle * std::sin(a)), ty = f(s.rise), tz = f(s.handle * std::cos(a));
        loop.push_back(MakeVertex({x, y, z}, {x - tx, y - ty, z - tz}, {x + tx, y + ty, z + tz}));
    }
    return loop;
}

// Vertex 1 between vertices 0 and 2, whose other points lie far off: flattening and placing
// vertex 1 read only its own points and the two named control points of its neighbours.
std::vector<BezierVertex> Triple(Point3 cp2OfPrev, Point3 cp1, Point3 cp2, Point3 cp1OfNext,
                                 Point3 pos = {3, 57, -2}) {
    return {MakeVertex({-90, 10, 90}, {-100, 10, 100}, cp2OfPrev), MakeVertex(pos, cp1, cp2),
            MakeVertex({90, 10, 90}, cp1OfNext, {100, 10, 100})};
}

// Every field of every vertex as bits, so that NaN payloads and signed zeros count; the flags as
// the float of the number they spell.
std::vector<std::uint32_t> Bits(const std::vector<BezierVertex>& vertices) {
    std::vector<std::uint32_t> bits;
    for (const BezierVertex& v : vertices)
        for (float f :
             {v.posX, v.posY, v.posZ, v.cp1X, v.cp1Y, v.cp1Z, v.cp2X, v.cp2Y, v.cp2Z, v.auxValue,
              static_cast<float>(v.auxFlagA * 4 + v.auxFlagB * 2 + v.auxFlagC)})
            bits.push_back(std::bit_cast<std::uint32_t>(f));
    return bits;
}

// The message of the SmoothError that action raises; empty when it raises none.
std::string ErrorOf(const std::function<void()>& action) try {
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
std::array<bool, 4> MarkSegment(Point3 c, Point3 a, Point3 b) {
    const std::vector<StraightMark> m = FindStraightVertices(std::vector{
        MakeVertex(c, {c.x, c.y, c.z + 40}, Minus(c, a)), MakeVertex({0, 0, 0}, b, {0, 0, 40})});
    return {m[0].inSpace, m[0].inPlan, m[1].inSpace, m[1].inPlan};
}

// (-b1, side) makes exactly the cosine 0.998 with -X, b1 / sqrt(b1^2 + side^2) in double: these two
// floats were found by trying every float b1 in [16, 32) with the nearest few floats to
// b1 tan(acos 0.998).
constexpr float kB1 = 0x1.e00f3p+4f;     // 30.0037079
constexpr float kSide = 0x1.e68416p+0f;  // 1.90045297

// Straight in space or in plan by shape, and a cosine of exactly 0.998 is not straight. Handles
// along the chord are among the cases near 0.998. Where a degenerate track stops marking is
// checked on the whole pass.
TEST(SmoothMark, WhichSegmentsAreStraight) {
    const Point3 chord{-64, 0, 0}, along{-16, 0, 0}, down{0, -16, 0};
    // The chord, A, B, and the marks straight in space and in plan on both ends.
    const std::tuple<const char*, Point3, Point3, Point3, bool, bool> cases[] = {
        // cos AB = (512 - 64) / 576 in space, 1 in plan.
        {"crest on a diagonal run", {-64, 0, -64}, {-16, -8, -16}, {-16, 8, -16}, false, true},
        {"vertical straight segment", {0, -64, 0}, down, down, true, true},
        {"vertical handle skips the plan test", chord, down, along, false, false},
        {"handle pointing backwards", chord, {16, 0, 0}, along, false, false},
    };
    for (const auto& [name, c, a, b, space, plan] : cases)
        EXPECT_EQ(MarkSegment(c, a, b), (std::array{space, plan, space, plan})) << name;

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
        EXPECT_EQ(MarkSegment(abc[2], abc[0], abc[1]), (std::array{less, plan, less, plan})) << k;
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
    const auto shape = [](double a) { return LoopShape{80, a == 0 || a > 5 ? 50.0 : 90.0, 20}; };
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
        EXPECT_EQ(Bits(ring), Bits(expected)) << n << " vertices";
    }

    // A proposal on a HandleBox bound is rejected whole. Vertex 1 of a Triple and its neighbours'
    // control points lie in a plane across one axis, 8 inside a bound. One control point of vertex
    // 1 (the first at an upper bound, the second at a lower one) lies 16 beyond that plane, so that
    // the first half-step proposes exactly the bound (or 14, just inside); the other lies 4 on the
    // inner side.
    SmoothWork neighboursMarked{{true, false, true}, {}, {}, {}};
    const std::pair<float Point3::*, float> bounds[] = {{&Point3::x, 220}, {&Point3::x, -220},
                                                        {&Point3::y, 150}, {&Point3::y, 0},
                                                        {&Point3::z, 220}, {&Point3::z, -220}};
    for (const auto& [member, bound] : bounds) {
        const float plane = bound > 0 ? bound - 8 : bound + 8;
        // n across the plane; b and d in it, shifted into the box. (A copy of the member pointer,
        // as clang 14 cannot capture a structured binding.)
        const auto at = [axis = member](float n, float b, float d) {
            Point3 p{b, 75 + d, b + d};
            p.*axis = n;
            return p;
        };
        for (float offset : {16.0f, 14.0f}) {
            const float hi = plane + (bound > 0 ? offset : 4), lo = hi - offset - 4;
            const auto before = Triple(at(plane, -30, 10), at(hi, -10, -5), at(lo, 10, 5),
                                       at(plane, 30, 10), at(plane, 0, 0));
            std::vector<BezierVertex> after = before;
            FlattenControlPoints(after, neighboursMarked);
            // Vertex 1 is odd, so every offer on the bound is the same rejected half-step.
            EXPECT_EQ(Bits(after) == Bits(before), offset == 16) << bound << ", " << offset;
        }
    }
}

constexpr Point3 kStart{3, 57, -2};  // where Triple puts vertex 1

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
        const Point3 d = Minus(PosOf(c.layout[1]), c.expected);
        EXPECT_LT(std::hypot(d.x, d.y, d.z), 1e-5) << c.name;
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
LoopShape Hills(double a) {
    return {120 + 30 * std::sin(3 * a), 70 + 40 * std::sin(2 * a + 0.3), 10 + 4 * std::cos(5 * a),
            6 * std::cos(7 * a)};
}

TEST(SmoothTrack, OneFreeVertexTheLimitAndRepeatedPasses) {
    TrackModel model = FreeVertex(), expected = model;
    const SmoothSummary s = SmoothTrack(model);
    // Vertex 2 is even: the full step after the 20 half-steps levels it exactly.
    BezierVertex& free = expected.bezrRecords[2];
    free.cp1Y = 50;
    SetPos(free, {static_cast<float>(-20.0 + 40.0 * double{2.0f / 3.0f}), 50, 0});
    for (BezierVertex& v : expected.bezrRecords) v.auxFlagC = false;
    EXPECT_EQ(Bits(model.bezrRecords), Bits(expected.bezrRecords));
    // It moved along X alone, so its distance is exact.
    EXPECT_EQ(std::tuple(s.vertices, s.straight3d, s.straightPlan, s.movedVertices,
                         s.turnedVertices, s.largestMove),
              std::tuple(5, 4, 4, 1, 1, double{free.posX}));

    model.bezrRecords = Loop(kMaxSmoothVertices + 1);
    EXPECT_EQ(ErrorOf([&] { SmoothTrack(model); }),
              "This track has 502 vertices; smoothing handles at most 501.");
    EXPECT_EQ(Bits(model.bezrRecords), Bits(Loop(kMaxSmoothVertices + 1)));

    // Turning an even loop by two vertices keeps every vertex's parity, so the result of each pass
    // turns with it; it would not if a flattening proposal saw the changes made before it in its
    // sweep from vertex 0.
    model.bezrRecords = Loop(36, Hills);
    TrackModel hills = model, turned = model;
    std::vector<BezierVertex>& t = turned.bezrRecords;
    std::rotate(t.begin(), t.begin() + 2, t.end());
    EXPECT_GT(SmoothTrack(hills).movedVertices, 0);
    // A level ring of 501 has handles about 0.36 degrees off every chord: all of it counts as
    // straight.
    // Run between two passes over another track, it leaves no trace on the second.
    model.bezrRecords = Loop(kMaxSmoothVertices);
    EXPECT_EQ(SmoothTrack(model).straight3d, 501);
    // Odd vertices kept part of their distance to the plane, so the second press turns them on.
    EXPECT_GT(SmoothTrack(hills).turnedVertices, 0);
    for (int pass = 0; pass < 2; ++pass) SmoothTrack(turned);
    std::rotate(t.begin(), t.end() - 2, t.end());
    EXPECT_EQ(Bits(hills.bezrRecords), Bits(t));
}

TEST(SmoothTrack, FaultLeavesTheTrackUnchanged) {
    const std::string look = " while looking for straight segments: ";
    const std::string turn = " while turning control points: ";
    const std::string place = " while placing vertices: its ";
    // Each edit of FreeVertex() and the message it raises, from "Smoothing stopped at vertex ".
    const std::pair<std::function<void(std::vector<BezierVertex>&)>, std::string> cases[] = {
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
        {[](auto& v) { v[4].cp1Z = std::nanf(""); },
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
        TrackModel model = FreeVertex();
        edit(model.bezrRecords);
        const std::vector<BezierVertex> vertices = model.bezrRecords;
        EXPECT_EQ(ErrorOf([&] { SmoothTrack(model); }), "Smoothing stopped at vertex " + why + ".");
        EXPECT_EQ(Bits(model.bezrRecords), Bits(vertices)) << why;
    }
}

}  // namespace
}  // namespace railgrace::testing
