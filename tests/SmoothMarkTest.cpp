// Marking of straight segments: which vertices end a segment straight in space or in plan. Where a
// degenerate track stops marking is checked on the whole pass (SmoothTrackTest.cpp).
#include "tests/SmoothTestSupport.h"

namespace railgrace::testing {
namespace {

// Marks of every vertex, straight3d then straightPlan. The working storage starts all-true, so that
// a mark left over from an earlier call shows.
std::vector<bool> Marks(const std::vector<BezierVertex>& vertices) {
    SmoothWork work{};
    work.straight3d.fill(true);
    work.straightPlan.fill(true);
    MarkStraightSegments(vertices, work);
    std::vector<bool> marks(work.straight3d.begin(), work.straight3d.begin() + vertices.size());
    marks.insert(marks.end(), work.straightPlan.begin(),
                 work.straightPlan.begin() + vertices.size());
    return marks;
}

// The marks of a loop of two vertices whose segment from vertex 0 to vertex 1 (at the origin) has
// the chord C = pos[0] - pos[1] and the vectors A = pos[0] - cp2[0] and B = cp1[1] - pos[1]. The
// closing segment's handles point sideways in opposite directions: it is straight in no sense, so
// both vertices carry the segment's marks.
std::vector<bool> MarkSegment(Point3 c, Point3 a, Point3 b) {
    return Marks({MakeVertex(c, {c.x, c.y, c.z + 40}, {c.x - a.x, c.y - a.y, c.z - a.z}),
                  MakeVertex({0, 0, 0}, b, {0, 0, 40})});
}

std::vector<bool> BothEnds(bool straight3d, bool straightPlan) {
    return {straight3d, straight3d, straightPlan, straightPlan};
}

TEST(SmoothMark, WhichSegmentsAreStraight) {
    const Point3 chord{-64, 0, 0}, along{-16, 0, 0}, down{0, -16, 0};
    const struct {
        const char* name;
        Point3 c, a, b;
        bool straight3d, straightPlan;
    } cases[] = {
        {"handles along the chord", chord, along, along, true, true},
        // cos AB = (256 - 64) / 320 = 0.6 in space, 1 in plan.
        {"crest on a straight run", chord, {-16, -8, 0}, {-16, 8, 0}, false, true},
        {"vertical straight segment", {0, -64, 0}, down, down, true, true},
        {"vertical handle skips the plan test", chord, down, along, false, false},
        {"handle pointing backwards", chord, {16, 0, 0}, along, false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MarkSegment(c.c, c.a, c.b), BothEnds(c.straight3d, c.straightPlan)) << c.name;
    }
    // Two vertices where only the closing segment, from vertex 1 back to vertex 0, is straight.
    EXPECT_EQ(Marks({MakeVertex({0, 10, 0}, {16, 10, 0}, {0, 26, 0}),
                     MakeVertex({64, 10, 0}, {64, 26, 0}, {48, 10, 0})}),
              BothEnds(true, true));
}

// (-b1, side) makes exactly the cosine 0.998 with -X: these two floats were found by trying every
// float b1 in [16, 32) with the nearest few floats to b1 tan(acos 0.998).
constexpr float kB1 = 0x1.e00f3p+4f;     // 30.0037079
constexpr float kSide = 0x1.e68416p+0f;  // 1.90045297

TEST(SmoothMark, CosineOfExactly0998IsNotStraight) {
    const double b1 = kB1, side = kSide;
    ASSERT_EQ(b1 / std::sqrt(b1 * b1 + side * side), 0.998);
    // One pair of A, B and C at the threshold (one along -X, one turned), the third vector halfway
    // between; one float less of turn and all three pass. Turned upwards, the plan test sees three
    // parallel vectors and marks.
    for (int pair = 0; pair < 3; ++pair) {
        for (bool sideways : {false, true}) {
            for (float s : {kSide, std::nextafter(kSide, 0.0f)}) {
                const auto turn = [&](float f) {
                    return sideways ? Point3{-kB1, 0, f} : Point3{-kB1, f, 0};
                };
                std::array<Point3, 3> abc{turn(s / 2), turn(s / 2), turn(s / 2)};
                abc[pair == 2 ? 1 : 0] = {-64, 0, 0};
                abc[pair == 0 ? 1 : 2] = turn(s);
                const bool inside = s != kSide;
                EXPECT_EQ(MarkSegment(abc[2], abc[0], abc[1]),
                          BothEnds(inside, inside || !sideways))
                    << "pair " << pair << " sideways " << sideways << " inside " << inside;
            }
        }
    }
}

}  // namespace
}  // namespace railgrace::testing
