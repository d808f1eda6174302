// Marking of straight segments: which vertices end a segment straight in space or in plan, and
// where a degenerate track stops the pass.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

#include "smooth/SmoothSteps.h"
#include "tests/SmoothTestSupport.h"

namespace railgrace {
namespace {

using testing::MakeVertex;
using testing::SmoothErrorMessage;

struct Marks {
    bool straight3d[2];
    bool straightPlan[2];
};

// A loop of two vertices: the segment under test runs from start to end with
// A = start - cp2[0] and B = cp1[1] - end; the closing segment back from end to start has
// handles pointing sideways in opposite directions, so it is straight in no sense.
std::vector<BezierVertex> TwoVertexLoop(Point3 start, Point3 a, Point3 end, Point3 b) {
    const Point3 side{0, 0, 40};
    return {MakeVertex(start, testing::Add(start, side), testing::Sub(start, a)),
            MakeVertex(end, testing::Add(end, b), testing::Add(end, side))};
}

Marks MarkTwoVertexLoop(Point3 start, Point3 a, Point3 end, Point3 b) {
    const std::vector<BezierVertex> vertices = TwoVertexLoop(start, a, end, b);
    SmoothWork work{};
    MarkStraightSegments(vertices, work);
    return {{work.straight3d[0], work.straight3d[1]}, {work.straightPlan[0], work.straightPlan[1]}};
}

// The chord of the level segment used below: C = start - end = (-64, 0, 0).
constexpr Point3 kStart{-64, 0, 0};
constexpr Point3 kEnd{0, 0, 0};

void ExpectMarks(const Marks& marks, bool straight3d, bool straightPlan) {
    EXPECT_EQ(marks.straight3d[0], straight3d);
    EXPECT_EQ(marks.straight3d[1], straight3d);
    EXPECT_EQ(marks.straightPlan[0], straightPlan);
    EXPECT_EQ(marks.straightPlan[1], straightPlan);
}

TEST(SmoothMarkShape, HandlesAlongTheChordMarkBothEndsInBothArrays) {
    ExpectMarks(MarkTwoVertexLoop(kStart, {-16, 0, 0}, kEnd, {-16, 0, 0}), true, true);
}

TEST(SmoothMarkShape, CrestOnAStraightRunIsStraightInPlanOnly) {
    // Both handles rise from the level chord: cos AB = (256 - 64) / 320 = 0.6 in space, 1 in plan.
    ExpectMarks(MarkTwoVertexLoop(kStart, {-16, -8, 0}, kEnd, {-16, 8, 0}), false, true);
}

TEST(SmoothMarkShape, VerticalStraightSegmentIsMarkedByTheSpatialTest) {
    // A, B and C have no extent in plan, so only the spatial test can mark them.
    ExpectMarks(MarkTwoVertexLoop({0, 0, 0}, {0, -16, 0}, {0, 64, 0}, {0, -16, 0}), true, true);
}

TEST(SmoothMarkShape, VerticalHandleSkipsThePlanTestWithoutFaulting) {
    // B and C agree in plan, but A is vertical: the plan test is skipped, not passed.
    Marks marks{};
    EXPECT_EQ(SmoothErrorMessage([&] {
                  marks = MarkTwoVertexLoop(kStart, {0, -16, 0}, kEnd, {-16, 0, 0});
              }),
              "");
    ExpectMarks(marks, false, false);
}

TEST(SmoothMarkShape, BackwardsHandleIsNotStraight) {
    // cp2[0] lies on the chord line behind the start: A points away from B and C.
    ExpectMarks(MarkTwoVertexLoop(kStart, {16, 0, 0}, kEnd, {-16, 0, 0}), false, false);
}

Point3 TurnedInPlan(double degrees) {
    const double angle = degrees * std::numbers::pi / 180.0;
    return {static_cast<float>(-16.0 * std::cos(angle)), 0,
            static_cast<float>(-16.0 * std::sin(angle))};
}

Point3 TurnedUpwards(double degrees) {
    const double angle = degrees * std::numbers::pi / 180.0;
    return {static_cast<float>(-16.0 * std::cos(angle)),
            static_cast<float>(-16.0 * std::sin(angle)), 0};
}

// cos 3 degrees = 0.99863 lies above 0.998, cos 4 degrees = 0.99756 below.
TEST(SmoothMarkAngle, HandleTurnedThreeDegreesInPlanIsMarked) {
    ExpectMarks(MarkTwoVertexLoop(kStart, TurnedInPlan(3), kEnd, {-16, 0, 0}), true, true);
}

TEST(SmoothMarkAngle, HandleTurnedFourDegreesInPlanIsNotMarked) {
    ExpectMarks(MarkTwoVertexLoop(kStart, TurnedInPlan(4), kEnd, {-16, 0, 0}), false, false);
}

TEST(SmoothMarkAngle, HandleTurnedUpwardsStaysStraightInPlan) {
    ExpectMarks(MarkTwoVertexLoop(kStart, TurnedUpwards(3), kEnd, {-16, 0, 0}), true, true);
    ExpectMarks(MarkTwoVertexLoop(kStart, TurnedUpwards(4), kEnd, {-16, 0, 0}), false, true);
}

// A vector turned by exactly the threshold angle from -X: E = (-b1, side, 0) or (-b1, 0, side).
// Paired with a vector along -X whose length is a power of two, its cosine comes out as
// b1 / |E|. These two floats were found by trying every float b1 in [16, 32) with the nearest few
// floats to b1 tan(acos 0.998), and keeping a pair for which b1 / sqrt(b1^2 + side^2) gives
// exactly the double 0.998.
constexpr float kBoundaryB1 = 0x1.e00f3p+4f;     // 30.0037079
constexpr float kBoundarySide = 0x1.e68416p+0f;  // 1.90045297

TEST(SmoothMarkAngle, ConstructionGivesACosineOfExactly0998) {
    const double b1 = kBoundaryB1;
    const double side = kBoundarySide;
    EXPECT_EQ(b1 / std::sqrt(b1 * b1 + side * side), 0.998);
    const double smallerSide = std::nextafter(kBoundarySide, 0.0f);
    EXPECT_GT(b1 / std::sqrt(b1 * b1 + smallerSide * smallerSide), 0.998);
}

enum class Pair { kAB, kAC, kBC };

// One pair of A, B, C at the threshold angle, the third vector half-way between them, so that
// the other two pairs lie well inside it (about 1.8 degrees). Turned upwards (in Y) or sideways
// (in Z).
Marks MarkWithOnePairAt(Pair pair, bool sideways, float side) {
    const Point3 along{-16, 0, 0};
    const Point3 turned = sideways ? Point3{-kBoundaryB1, 0, side} : Point3{-kBoundaryB1, side, 0};
    const Point3 halfway =
        sideways ? Point3{-kBoundaryB1, 0, side / 2} : Point3{-kBoundaryB1, side / 2, 0};
    const Point3 chord{-64, 0, 0};
    switch (pair) {
        case Pair::kAB:
            return MarkTwoVertexLoop(halfway, along, kEnd, turned);
        case Pair::kAC:
            return MarkTwoVertexLoop(chord, turned, kEnd, halfway);
        default:
            return MarkTwoVertexLoop(chord, halfway, kEnd, turned);
    }
}

class SmoothMarkBoundary : public ::testing::TestWithParam<Pair> {};

TEST_P(SmoothMarkBoundary, SpatialCosineOfExactly0998IsNotStraight) {
    // Turned upwards only: in plan all three are parallel, so the plan test marks.
    ExpectMarks(MarkWithOnePairAt(GetParam(), false, kBoundarySide), false, true);
    ExpectMarks(MarkWithOnePairAt(GetParam(), false, std::nextafter(kBoundarySide, 0.0f)), true,
                true);
}

TEST_P(SmoothMarkBoundary, PlanCosineOfExactly0998IsNotStraightInPlan) {
    // Turned sideways only: the spatial and the plan test see the same cosines.
    ExpectMarks(MarkWithOnePairAt(GetParam(), true, kBoundarySide), false, false);
    ExpectMarks(MarkWithOnePairAt(GetParam(), true, std::nextafter(kBoundarySide, 0.0f)), true,
                true);
}

INSTANTIATE_TEST_SUITE_P(EachPair, SmoothMarkBoundary,
                         ::testing::Values(Pair::kAB, Pair::kAC, Pair::kBC));

// A square loop in plan, corners 0 to 3, whose segments all curve (vertical handles) except the
// ones named straight, which get handles along their chord.
std::vector<BezierVertex> SquareLoop(std::initializer_list<std::size_t> straightSegments) {
    const Point3 corners[4] = {{0, 10, 0}, {64, 10, 0}, {64, 10, 64}, {0, 10, 64}};
    const Point3 up{0, 16, 0};
    std::vector<BezierVertex> vertices;
    for (const Point3& corner : corners) {
        vertices.push_back(MakeVertex(corner, testing::Add(corner, up), testing::Add(corner, up)));
    }
    for (std::size_t k : straightSegments) {
        BezierVertex& from = vertices[k];
        BezierVertex& to = vertices[(k + 1) % 4];
        const Point3 quarter{(to.posX - from.posX) / 4, 0, (to.posZ - from.posZ) / 4};
        SetCp2(from, testing::Add(PosOf(from), quarter));
        SetCp1(to, testing::Sub(PosOf(to), quarter));
    }
    return vertices;
}

std::vector<bool> Marked3d(const std::vector<BezierVertex>& vertices) {
    SmoothWork work{};
    MarkStraightSegments(vertices, work);
    std::vector<bool> marks;
    for (std::size_t i = 0; i < vertices.size(); ++i) {
        EXPECT_EQ(work.straightPlan[i], work.straight3d[i]) << "vertex " << i;
        marks.push_back(work.straight3d[i]);
    }
    return marks;
}

TEST(SmoothMarkLoop, ASegmentMarksOnlyItsOwnEnds) {
    EXPECT_EQ(Marked3d(SquareLoop({})), (std::vector<bool>{false, false, false, false}));
    EXPECT_EQ(Marked3d(SquareLoop({1})), (std::vector<bool>{false, true, true, false}));
    EXPECT_EQ(Marked3d(SquareLoop({0, 2})), (std::vector<bool>{true, true, true, true}));
}

TEST(SmoothMarkLoop, ClosingSegmentFromLastToFirstIsTested) {
    EXPECT_EQ(Marked3d(SquareLoop({3})), (std::vector<bool>{true, false, false, true}));
}

TEST(SmoothMarkLoop, TwoVerticesTestBothSegments) {
    // Only the closing segment, from vertex 1 back to vertex 0, is straight.
    const Point3 p0{0, 10, 0};
    const Point3 p1{64, 10, 0};
    const std::vector<BezierVertex> vertices{
        MakeVertex(p0, {16, 10, 0}, {0, 26, 0}),
        MakeVertex(p1, {64, 26, 0}, {48, 10, 0}),
    };
    EXPECT_EQ(Marked3d(vertices), (std::vector<bool>{true, true}));
}

TEST(SmoothMarkLoop, MarksOfAnEarlierCallDoNotSurvive) {
    SmoothWork work{};
    work.straight3d.fill(true);
    work.straightPlan.fill(true);
    const std::vector<BezierVertex> vertices = SquareLoop({});
    MarkStraightSegments(vertices, work);
    for (std::size_t i = 0; i < vertices.size(); ++i) {
        EXPECT_FALSE(work.straight3d[i]);
        EXPECT_FALSE(work.straightPlan[i]);
    }
}

std::string MarkingError(const std::vector<BezierVertex>& vertices) {
    return SmoothErrorMessage([&] {
        SmoothWork work{};
        MarkStraightSegments(vertices, work);
    });
}

TEST(SmoothMarkFault, SecondControlPointOnThePosition) {
    std::vector<BezierVertex> vertices = SquareLoop({});
    SetCp2(vertices[3], PosOf(vertices[3]));
    EXPECT_EQ(MarkingError(vertices),
              "Smoothing stopped at vertex 3 while looking for straight segments: its second "
              "control point lies on its position.");
}

TEST(SmoothMarkFault, FirstControlPointOnThePositionNamesThatVertex) {
    std::vector<BezierVertex> vertices = SquareLoop({});
    SetCp1(vertices[2], PosOf(vertices[2]));
    EXPECT_EQ(MarkingError(vertices),
              "Smoothing stopped at vertex 2 while looking for straight segments: its first "
              "control point lies on its position.");
    // Vertex 0's first control point belongs to the closing segment, tested last.
    vertices = SquareLoop({});
    SetCp1(vertices[0], PosOf(vertices[0]));
    EXPECT_EQ(MarkingError(vertices),
              "Smoothing stopped at vertex 0 while looking for straight segments: its first "
              "control point lies on its position.");
}

TEST(SmoothMarkFault, TwoVerticesAtOnePosition) {
    std::vector<BezierVertex> vertices = SquareLoop({});
    const Point3 moved = PosOf(vertices[1]);
    SetPos(vertices[2], moved);
    SetCp1(vertices[2], testing::Add(moved, {0, 0, -8}));
    SetCp2(vertices[2], testing::Add(moved, {0, 0, 8}));
    EXPECT_EQ(MarkingError(vertices),
              "Smoothing stopped at vertex 1 while looking for straight segments: it lies at the "
              "same position as vertex 2.");
}

TEST(SmoothMarkFault, SingleVertex) {
    const std::vector<BezierVertex> vertices{MakeVertex({0, 10, 0}, {-8, 10, 0}, {8, 10, 0})};
    EXPECT_EQ(MarkingError(vertices),
              "Smoothing stopped at vertex 0 while looking for straight segments: it is the only "
              "vertex of the track, and smoothing needs at least two.");
}

TEST(SmoothMarkFault, CoordinateThatIsNotANumber) {
    std::vector<BezierVertex> vertices = SquareLoop({});
    vertices[1].cp1Y = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(MarkingError(vertices),
              "Smoothing stopped at vertex 1 while looking for straight segments: its first "
              "control point has a coordinate that is infinite or not a number.");
}

TEST(SmoothMarkFault, InfiniteCoordinate) {
    std::vector<BezierVertex> vertices = SquareLoop({});
    vertices[2].posZ = std::numeric_limits<float>::infinity();
    EXPECT_EQ(MarkingError(vertices),
              "Smoothing stopped at vertex 2 while looking for straight segments: its position "
              "has a coordinate that is infinite or not a number.");
    vertices = SquareLoop({});
    vertices[2].cp2X = -std::numeric_limits<float>::infinity();
    EXPECT_EQ(MarkingError(vertices),
              "Smoothing stopped at vertex 2 while looking for straight segments: its second "
              "control point has a coordinate that is infinite or not a number.");
}

TEST(SmoothMarkFault, HandleBeyondFloatRange) {
    // Both coordinates are floats; their difference of 6e38 is not.
    std::vector<BezierVertex> vertices = SquareLoop({});
    vertices[1].posX = -3e38f;
    vertices[1].cp2X = 3e38f;
    EXPECT_EQ(MarkingError(vertices),
              "Smoothing stopped at vertex 1 while looking for straight segments: its second "
              "control point lies too far from its position to compute with.");
}

TEST(SmoothMarkFault, ChordBeyondFloatRange) {
    // Vertical handles keep A and B small; only the chord from vertex 1 to vertex 2 overflows.
    std::vector<BezierVertex> vertices = SquareLoop({});
    vertices[1].posX = vertices[1].cp1X = vertices[1].cp2X = 3e38f;
    vertices[2].posX = vertices[2].cp1X = vertices[2].cp2X = -3e38f;
    EXPECT_EQ(MarkingError(vertices),
              "Smoothing stopped at vertex 1 while looking for straight segments: it lies too far "
              "from vertex 2 to compute with.");
}

}  // namespace
}  // namespace railgrace
