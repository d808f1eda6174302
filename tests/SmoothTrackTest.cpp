// The whole pass: its result on a track worked out by hand, its limit, all-or-nothing faults, what
// it changes, and repeated passes.
#include <algorithm>
#include <limits>
#include <tuple>

#include "tests/SmoothTestSupport.h"

namespace railgrace::testing {
namespace {

// Five vertices at height 50: the segments 0-1 and 3-4 are straight, with handles along the
// chord, so 0, 1, 3 and 4 are marked and stay put. Vertex 2 between them is free. Its first
// control point lies 8 above the level plane that its neighbours' control points (-20, 50, -40)
// and (20, 50, -10) span with it; flattening levels it and leaves the second alone. Level, its legs
// U = (0, 0, 40) and V = (0, 0, 10) stand at right angles to T = (40, 0, 0), so placement uses
// r = sqrt(40 / 10) = 2 and t = 2/3.
std::vector<BezierVertex> FreeVertex() {
    return {MakeVertex({-100, 50, -60}, {-100, 50, -160}, {-80, 50, -60}),
            MakeVertex({-40, 50, -60}, {-60, 50, -60}, {-20, 50, -40}),
            MakeVertex({0, 50, 0}, {-20, 58, 0}, {20, 50, 0}),
            MakeVertex({40, 50, -20}, {20, 50, -10}, {60, 50, -20}),
            MakeVertex({100, 50, -20}, {80, 50, -20}, {100, 50, -120})};
}

// Irregular and hilly: every step of the pass has work to do on it.
LoopShape Hills(double a) {
    return {120 + 30 * std::sin(3 * a), 70 + 40 * std::sin(2 * a + 0.3), 10 + 4 * std::cos(5 * a),
            6 * std::cos(7 * a)};
}

// A track of these vertices and nothing else. That the pass changes nothing outside the vertex
// list shows in the CLI's tests, which compare the whole track before and after.
TrackModel WithPath(std::vector<BezierVertex> vertices) {
    TrackModel model;
    model.bezrRecords = std::move(vertices);
    return model;
}

TEST(SmoothTrack, OneFreeVertexTheLimitAndRepeatedPasses) {
    TrackModel model = WithPath(FreeVertex()), expected = model;
    SmoothSummary s = SmoothTrack(model);
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
    EXPECT_EQ(SmoothErrorMessage([&] { SmoothTrack(model); }),
              "This track has 502 vertices; smoothing handles at most 501.");
    EXPECT_EQ(Bits(model.bezrRecords), Bits(Loop(kMaxSmoothVertices + 1)));

    // Turning an even loop by two vertices keeps every vertex's parity, so the result of each pass
    // turns with it; it would not if a flattening proposal saw the changes made before it in its
    // sweep from vertex 0.
    TrackModel hills = WithPath(Loop(36, Hills)), turned = hills;
    std::vector<BezierVertex>& t = turned.bezrRecords;
    std::rotate(t.begin(), t.begin() + 2, t.end());
    EXPECT_GT(SmoothTrack(hills).movedVertices, 0);
    // A level ring of 501 has handles 0.36 degrees off every chord: all of it counts as straight.
    // Run between two passes over another track, it leaves no trace on the second.
    model.bezrRecords = Loop(kMaxSmoothVertices);
    s = SmoothTrack(model);
    EXPECT_EQ(std::tuple(s.straight3d, s.movedVertices, s.turnedVertices), std::tuple(501, 0, 0));
    // Odd vertices kept part of their distance to the plane, so the second press turns them on.
    EXPECT_GT(SmoothTrack(hills).turnedVertices, 0);
    for (int pass = 0; pass < 2; ++pass) SmoothTrack(turned);
    std::rotate(t.begin(), t.end() - 2, t.end());
    EXPECT_EQ(Bits(hills.bezrRecords), Bits(t));
}

TEST(SmoothTrack, FaultLeavesTheTrackUnchanged) {
    const std::string marking = " while looking for straight segments: ";
    const std::string turning = " while turning control points: ";
    const std::string placing = " while placing vertices: its ";
    // Each edit of FreeVertex() and the message it raises, from "Smoothing stopped at vertex ".
    const std::pair<std::function<void(std::vector<BezierVertex>&)>, std::string> cases[] = {
        {[](auto& v) { v.resize(1); },
         "0" + marking + "it is the only vertex of the track, and smoothing needs at least two"},
        {[](auto& v) { SetCp2(v[3], PosOf(v[3])); },
         "3" + marking + "its second control point lies on its position"},
        // Vertex 0's first control point belongs to the closing segment, tested last.
        {[](auto& v) { SetCp1(v[0], PosOf(v[0])); },
         "0" + marking + "its first control point lies on its position"},
        {[](auto& v) { SetPos(v[2], PosOf(v[1])); },
         "1" + marking + "it lies at the same position as vertex 2"},
        {[](auto& v) { v[2].posZ = std::numeric_limits<float>::infinity(); },
         "2" + marking + "its position has a coordinate that is infinite or not a number"},
        {[](auto& v) { v[4].cp1Z = std::numeric_limits<float>::quiet_NaN(); },
         "4" + marking +
             "its first control point has a coordinate that is infinite or not a number"},
        // Each a float, the difference of the two is not.
        {[](auto& v) {
             v[1].posX = v[1].cp2X = -3e38f;
             v[2].posX = v[2].cp1X = v[2].cp2X = 3e38f;
         },
         "1" + marking + "it lies too far from vertex 2 to compute with"},
        // The free vertex's normal is (0, -8e20, 0), and its square does not fit a float.
        {[](auto& v) { v[1].cp2Z = -4e19f; },
         "2" + turning + "the control points around it lie too far apart to compute with"},
        // Placement stops at vertex 2 after flattening and after vertices 0 and 1 have had
        // auxFlagC cleared.
        {[](auto& v) { SetCp1(v[2], Cp2Of(v[2])); },
         "2" + placing + "two control points lie on the same spot"},
        {[](auto& v) { SetCp1(v[2], Cp2Of(v[1])); },
         "2" + placing + "first control point lies on the second control point of vertex 1"},
        {[](auto& v) { SetCp1(v[3], Cp2Of(v[2])); },
         "2" + placing + "second control point lies on the first control point of vertex 3"},
    };
    for (const auto& [edit, message] : cases) {
        std::vector<BezierVertex> vertices = FreeVertex();
        edit(vertices);
        TrackModel model = WithPath(vertices);
        EXPECT_EQ(SmoothErrorMessage([&] { SmoothTrack(model); }),
                  "Smoothing stopped at vertex " + message + ".");
        EXPECT_EQ(Bits(model.bezrRecords), Bits(vertices)) << message;
    }
}

}  // namespace
}  // namespace railgrace::testing
