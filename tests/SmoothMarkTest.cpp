// Marking of straight segments: which vertices end a segment straight in space or in plan. Where a
// degenerate track stops marking is checked on the whole pass (SmoothTrackTest.cpp).
#include "tests/SmoothTestSupport.h"

namespace railgrace::testing {
namespace {

// The marks of a loop of two vertices whose segment from vertex 0 to vertex 1 (at the origin) has
// the chord C = pos[0] - pos[1] and the vectors A = pos[0] - cp2[0] and B = cp1[1] - pos[1]: the
// marks of both vertices, straight3d then straightPlan. The closing segment's handles point
// sideways in opposite directions: it is straight in no sense, so both vertices carry the
// segment's marks. The working storage starts marked, so that a mark left over from an earlier
// call shows. (That the closing segment is tested shows on the whole pass, where a fault in it
// stops marking.)
std::array<bool, 4> MarkSegment(Point3 c, Point3 a, Point3 b) {
    const std::vector<BezierVertex> vertices{
        MakeVertex(c, {c.x, c.y, c.z + 40}, {c.x - a.x, c.y - a.y, c.z - a.z}),
        MakeVertex({0, 0, 0}, b, {0, 0, 40})};
    SmoothWork work{};
    work.straight3d = work.straightPlan = {true, true};
    MarkStraightSegments(vertices, work);
    return {work.straight3d[0], work.straight3d[1], work.straightPlan[0], work.straightPlan[1]};
}

// (-b1, side) makes exactly the cosine 0.998 with -X: these two floats were found by trying every
// float b1 in [16, 32) with the nearest few floats to b1 tan(acos 0.998).
constexpr float kB1 = 0x1.e00f3p+4f;     // 30.0037079
constexpr float kSide = 0x1.e68416p+0f;  // 1.90045297

// Straight in space or in plan by shape, and a cosine of exactly 0.998 is not straight. Handles
// along the chord are among the cases near 0.998.
TEST(SmoothMark, WhichSegmentsAreStraight) {
    // The marks straight3d (s) and straightPlan (p) on both ends of a segment.
    const auto bothEnds = [](bool s, bool p) { return std::array{s, s, p, p}; };
    const Point3 chord{-64, 0, 0}, along{-16, 0, 0}, down{0, -16, 0};
    const struct {
        const char* name;
        Point3 c, a, b;
        bool straight3d, straightPlan;
    } cases[] = {
        // cos AB = (512 - 64) / 576 in space, 1 in plan.
        {"crest on a diagonal run", {-64, 0, -64}, {-16, -8, -16}, {-16, 8, -16}, false, true},
        {"vertical straight segment", {0, -64, 0}, down, down, true, true},
        {"vertical handle skips the plan test", chord, down, along, false, false},
        {"handle pointing backwards", chord, {16, 0, 0}, along, false, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MarkSegment(c.c, c.a, c.b), bothEnds(c.straight3d, c.straightPlan)) << c.name;

    ASSERT_EQ(kB1 / std::sqrt(double{kB1} * kB1 + double{kSide} * kSide), 0.998);
    // One pair of A, B and C at the threshold (one along -X, one turned), the third vector halfway
    // between; one float less of turn and all three pass. Turned upwards rather than in plan, the
    // plan test sees three parallel vectors and marks.
    for (bool inPlan : {false, true}) {
        const auto turn = [&](float f) { return inPlan ? Point3{-kB1, 0, f} : Point3{-kB1, f, 0}; };
        for (int pair = 0; pair < 3; ++pair) {
            for (bool inside : {false, true}) {
                const float s = inside ? std::nextafter(kSide, 0.0f) : kSide;
                std::array<Point3, 3> abc{turn(s / 2), turn(s / 2), turn(s / 2)};
                abc[pair == 2 ? 1 : 0] = chord;
                abc[pair == 0 ? 1 : 2] = turn(s);
                EXPECT_EQ(MarkSegment(abc[2], abc[0], abc[1]), bothEnds(inside, inside || !inPlan))
                    << "pair " << pair << ", in plan " << inPlan << ", inside " << inside;
            }
        }
    }
}

}  // namespace
}  // namespace railgrace::testing
