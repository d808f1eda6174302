// The report's figures on paths whose answers are known in closed form, and on degenerate ones.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

#include "cli/Report.h"

namespace railgrace {
namespace {

constexpr double kPi = std::numbers::pi;

struct P {
    double x, y, z;
};

BezierVertex Vertex(P pos, P cp1, P cp2) {
    const auto f = [](double v) { return static_cast<float>(v); };
    BezierVertex v;
    v.posX = f(pos.x), v.posY = f(pos.y), v.posZ = f(pos.z);
    v.cp1X = f(cp1.x), v.cp1Y = f(cp1.y), v.cp1Z = f(cp1.z);
    v.cp2X = f(cp2.x), v.cp2Y = f(cp2.y), v.cp2Z = f(cp2.z);
    return v;
}

// Four cubic segments approximating a circle of radius r about (0, 10, 0): with handles of
// k * r along the tangents. In the horizontal plane it runs from +X towards +Z; in the vertical
// plane from +X upwards.
constexpr double kCircleK = 0.5523;

std::vector<BezierVertex> Circle(double r, bool vertical) {
    const auto at = [&](double a, double b) { return vertical ? P{a, 10 + b, 0} : P{a, 10, b}; };
    std::vector<BezierVertex> path;
    for (int q = 0; q < 4; ++q) {
        const double angle = q * kPi / 2;
        const double c = std::round(std::cos(angle)), s = std::round(std::sin(angle));
        const double h = kCircleK * r;
        // The tangent of a circle run anticlockwise is (-sin, cos).
        path.push_back(Vertex(at(r * c, r * s), at(r * c + h * s, r * s - h * c),
                              at(r * c - h * s, r * s + h * c)));
    }
    return path;
}

// A square of side 60 whose segments are straight: every handle a third of the way along its
// side.
std::vector<BezierVertex> Square() {
    const P corners[] = {{0, 5, 0}, {60, 5, 0}, {60, 5, 60}, {0, 5, 60}};
    std::vector<BezierVertex> path;
    for (int i = 0; i < 4; ++i) {
        const P pos = corners[i], prev = corners[(i + 3) % 4], next = corners[(i + 1) % 4];
        const auto toward = [&](P to) {
            return P{pos.x + (to.x - pos.x) / 3, pos.y + (to.y - pos.y) / 3,
                     pos.z + (to.z - pos.z) / 3};
        };
        path.push_back(Vertex(pos, toward(prev), toward(next)));
    }
    return path;
}

// Turns vertex i's second control point about the vertical through its position.
void TurnSecondHandle(std::vector<BezierVertex>& path, std::size_t i, double degrees) {
    BezierVertex& v = path[i];
    const double a = degrees * kPi / 180;
    const double dx = double{v.cp2X} - v.posX, dz = double{v.cp2Z} - v.posZ;
    v.cp2X = static_cast<float>(v.posX + dx * std::cos(a) - dz * std::sin(a));
    v.cp2Z = static_cast<float>(v.posZ + dx * std::sin(a) + dz * std::cos(a));
}

TEST(ReportCircle, NoBreaksAndTheSameCurvatureOnBothSides) {
    for (const bool vertical : {false, true}) {
        for (const double r : {1.0, 35.0, 200.0}) {
            SCOPED_TRACE(::testing::Message() << "r " << r << (vertical ? " vertical" : ""));
            // The end of a quarter: handle k r along the tangent, the middle leg (1 - k) r along
            // both axes, so |leg x handle| = (1 - k) k r^2 and |handle|^3 = k^3 r^3.
            const double expected = 2.0 / 3.0 * (1 - kCircleK) / (kCircleK * kCircleK) / r;
            EXPECT_NEAR(expected * r, 0.978, 0.001);
            // Float coordinates about 10 units from the origin hold the handles to about 1e-6.
            const double tolerance = expected * 1e-5;
            const PathFigures path = MeasurePath(Circle(r, vertical));
            ASSERT_EQ(path.figures.size(), 4u);
            for (const VertexFigures& f : path.figures) {
                EXPECT_NEAR(*f.tangentBreak, 0, 1e-4);
                EXPECT_NEAR(*f.curvatureIn, expected, tolerance);
                EXPECT_NEAR(*f.curvatureOut, expected, tolerance);
                EXPECT_NEAR(*f.relativeJump, 0, 1e-6);
                EXPECT_FALSE(f.straight->inPlan);
                EXPECT_TRUE(f.degenerate.empty());
            }
            EXPECT_EQ(path.summary.breaksAboveHalfDegree, 0);
            EXPECT_EQ(path.summary.markedStraight, 0);
            EXPECT_EQ(path.summary.degenerateJoints, 0);
        }
    }
}

TEST(ReportSquare, StraightSidesBreakNinetyDegreesAtEveryCorner) {
    const PathFigures path = MeasurePath(Square());
    for (const VertexFigures& f : path.figures) {
        EXPECT_DOUBLE_EQ(*f.tangentBreak, 90);
        EXPECT_EQ(*f.curvatureIn, 0);
        EXPECT_EQ(*f.curvatureOut, 0);
        EXPECT_EQ(*f.relativeJump, 0);
        EXPECT_TRUE(f.straight->inSpace);
        EXPECT_TRUE(f.straight->inPlan);
    }
    const PathSummary& s = path.summary;
    EXPECT_EQ(s.vertices, 4);
    EXPECT_DOUBLE_EQ(*s.largestTangentBreak, 90);
    EXPECT_DOUBLE_EQ(*s.medianTangentBreak, 90);
    EXPECT_EQ(s.breaksAboveHalfDegree, 4);
    EXPECT_EQ(s.markedStraight, 4);
    EXPECT_EQ(s.straightInSpace, 4);
}

TEST(ReportKink, TheBreakIsTheAngleBetweenTheHandles) {
    // Arriving along +X, leaving along (1, 1, 1): cos = 1 / sqrt 3.
    const std::vector<BezierVertex> path = {
        Vertex({0, 50, 0}, {-4, 50, 0}, {2, 52, 2}),
        Vertex({40, 50, 40}, {40, 50, 30}, {30, 50, 30}),
    };
    const PathFigures figures = MeasurePath(path);
    EXPECT_NEAR(*figures.figures[0].tangentBreak, std::acos(1 / std::sqrt(3.0)) * 180 / kPi, 1e-12);
    // Vertex 1 arrives along +Z and turns back along (-1, 0, -1).
    EXPECT_NEAR(*figures.figures[1].tangentBreak, 135, 1e-12);
}

TEST(ReportKink, ATurnedHandleOnACircleBreaksByItsTurn) {
    for (const double turn : {0.4, 0.6, 12.5, -30.0}) {
        SCOPED_TRACE(turn);
        std::vector<BezierVertex> path = Circle(40, false);
        TurnSecondHandle(path, 2, turn);
        const PathFigures figures = MeasurePath(path);
        EXPECT_NEAR(*figures.figures[2].tangentBreak, std::abs(turn), 1e-4);
        EXPECT_NEAR(*figures.figures[0].tangentBreak, 0, 1e-4);
        EXPECT_EQ(figures.summary.breaksAboveHalfDegree, std::abs(turn) > 0.5 ? 1 : 0);
        EXPECT_NEAR(*figures.summary.largestTangentBreak, std::abs(turn), 1e-4);
    }
}

TEST(ReportKink, MedianOfAnEvenCountIsTheMeanOfTheMiddleTwo) {
    std::vector<BezierVertex> path = Circle(40, false);
    TurnSecondHandle(path, 1, 10);
    TurnSecondHandle(path, 2, 30);
    const PathSummary s = MeasurePath(path).summary;  // breaks 0, 10, 30, 0
    EXPECT_NEAR(*s.medianTangentBreak, 5, 1e-4);
    EXPECT_NEAR(*s.largestTangentBreak, 30, 1e-4);
    EXPECT_EQ(s.breaksAboveHalfDegree, 2);
}

TEST(ReportCurvature, EndCurvatureAndTheRelativeJumpByHand) {
    // |(0, 3, 0) x (2, 0, 0)| = 6 and |handle|^3 = 8.
    EXPECT_DOUBLE_EQ(*EndCurvature({2, 0, 0}, {0, 3, 0}), 2.0 / 3.0 * 6 / 8);
    // A leg along the handle bends nothing, whichever way it points.
    EXPECT_EQ(*EndCurvature({2, 0, 0}, {-5, 0, 0}), 0);
    EXPECT_FALSE(EndCurvature({0, 0, 0}, {1, 1, 1}));

    // Vertex 1: arriving handle (1, 0, 0) after the leg (1, 0, -1): 2/3 * 1 / 1; leaving handle
    // (2, 0, 0) before the leg (1, 0, 2): 2/3 * 4 / 8. The jump is (2/3 - 1/3) / (2/3).
    const std::vector<BezierVertex> path = {
        Vertex({-3, 0, 1}, {-3, 0, -5}, {-2, 0, 1}),
        Vertex({0, 0, 0}, {-1, 0, 0}, {2, 0, 0}),
        Vertex({4, 0, 2}, {3, 0, 2}, {4, 0, 8}),
    };
    const VertexFigures f = MeasurePath(path).figures[1];
    EXPECT_DOUBLE_EQ(*f.curvatureIn, 2.0 / 3.0);
    EXPECT_DOUBLE_EQ(*f.curvatureOut, 1.0 / 3.0);
    EXPECT_DOUBLE_EQ(*f.relativeJump, 0.5);
}

TEST(ReportCurvature, CurvatureNoiseOnStraightTrackIsNoJump) {
    EXPECT_DOUBLE_EQ(*EndCurvature({1, 0, 0}, {0, 3e-7, 0}), 2e-7);
    std::vector<BezierVertex> path = Square();
    path[1].cp2Y += 1e-5f;  // a wobble far below anything a rider feels
    const VertexFigures f = MeasurePath(path).figures[1];
    EXPECT_GT(*f.curvatureOut, 0);
    EXPECT_LT(*f.relativeJump, 0.01);
}

TEST(ReportDegenerate, AHandleOfNoLengthIsReportedAndTheRestIsMeasured) {
    std::vector<BezierVertex> path = Circle(40, false);
    path[2].cp2X = path[2].posX;
    path[2].cp2Z = path[2].posZ;
    const PathFigures figures = MeasurePath(path);
    const VertexFigures& bad = figures.figures[2];
    EXPECT_FALSE(bad.tangentBreak);
    EXPECT_FALSE(bad.curvatureOut);
    EXPECT_FALSE(bad.relativeJump);
    EXPECT_TRUE(bad.curvatureIn);
    ASSERT_EQ(bad.degenerate.size(), 1u);
    EXPECT_EQ(bad.degenerate[0], "its second control point lies on its position");
    // Marking stops at that vertex, so no vertex has marks; the figures of the others stand.
    EXPECT_NE(figures.marksError.find("vertex 2"), std::string::npos) << figures.marksError;
    for (const VertexFigures& f : figures.figures) EXPECT_FALSE(f.straight);
    EXPECT_FALSE(figures.summary.markedStraight);
    EXPECT_EQ(figures.summary.degenerateJoints, 1);
    EXPECT_NEAR(*figures.figures[0].tangentBreak, 0, 1e-4);
    EXPECT_EQ(figures.summary.vertices, 4);
}

TEST(ReportDegenerate, CoordinatesThatAreNotNumbersGiveNoFigures) {
    for (const float bad :
         {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
        std::vector<BezierVertex> path = Circle(40, false);
        path[1].cp1Y = bad;
        const PathFigures figures = MeasurePath(path);
        const VertexFigures& f = figures.figures[1];
        EXPECT_FALSE(f.tangentBreak);
        EXPECT_FALSE(f.curvatureIn);
        EXPECT_FALSE(f.relativeJump);
        ASSERT_FALSE(f.degenerate.empty());
        EXPECT_EQ(f.degenerate[0], "a coordinate is infinite or not a number");
        // Vertex 0 leaves towards that control point.
        EXPECT_FALSE(figures.figures[0].curvatureOut);
        EXPECT_EQ(figures.figures[0].degenerate,
                  std::vector<std::string>{
                      "the first control point of vertex 1 is infinite or not a number"});
        EXPECT_EQ(figures.summary.degenerateJoints, 2);
        EXPECT_TRUE(std::isfinite(*figures.summary.largestTangentBreak));
    }
}

TEST(ReportDegenerate, EmptyOneVertexAndOversizedPaths) {
    const PathFigures empty = MeasurePath({});
    EXPECT_EQ(empty.summary.vertices, 0);
    EXPECT_FALSE(empty.summary.medianTangentBreak);
    EXPECT_FALSE(empty.summary.largestRelativeJump);
    EXPECT_EQ(empty.summary.markedStraight, 0);

    // One vertex: its segment runs back to itself. Marking refuses it; its figures still stand.
    const PathFigures one = MeasurePath({Vertex({0, 0, 0}, {-3, 0, 0}, {0, 0, 3})});
    EXPECT_NEAR(*one.figures[0].tangentBreak, 90, 1e-12);
    EXPECT_NE(one.marksError.find("only vertex"), std::string::npos) << one.marksError;

    std::vector<BezierVertex> many;
    for (int i = 0; i < 502; ++i) {
        const double a = 2 * kPi * i / 502;
        const P pos{100 * std::cos(a), 10, 100 * std::sin(a)}, t{-std::sin(a), 0, std::cos(a)};
        many.push_back(Vertex(pos, {pos.x - t.x, 10, pos.z - t.z}, {pos.x + t.x, 10, pos.z + t.z}));
    }
    const PathFigures big = MeasurePath(many);
    EXPECT_EQ(big.marksError, "This track has 502 vertices; smoothing handles at most 501.");
    EXPECT_EQ(big.summary.vertices, 502);
    EXPECT_NEAR(*big.summary.largestTangentBreak, 0, 1e-3);
}

TEST(ReportSmoothing, AfterFiguresComeFromTheSmoothedCopy) {
    std::vector<BezierVertex> path = Circle(40, false);
    path[1].cp1X *= 1.5f;  // a longer handle: the curvature before vertex 1 drops
    const TrackReport report = MakeReport("c.svtrack", path, 2);
    ASSERT_TRUE(report.after);
    EXPECT_EQ(report.before.vertices, path);
    EXPECT_GT(*report.before.figures[1].relativeJump, 0.1);
    // Placement evens out the curvature on both sides of the vertex it moves.
    EXPECT_LT(*report.after->figures[1].relativeJump, 0.01);
    EXPECT_TRUE(report.smoothError.empty());

    path[3].cp1Z = path[3].posZ;
    path[3].cp1X = path[3].posX;
    const TrackReport failed = MakeReport("c.svtrack", path, 3);
    EXPECT_FALSE(failed.after);
    EXPECT_EQ(failed.failedPass, 1);
    EXPECT_NE(failed.smoothError.find("vertex 3"), std::string::npos) << failed.smoothError;
    EXPECT_EQ(failed.before.figures.size(), 4u);
}

TEST(ReportSampling, TheCircleSampledHasItsLengthAndCurvature) {
    const double r = 40;
    const double atVertex = 2.0 / 3.0 * (1 - kCircleK) / (kCircleK * kCircleK) / r;
    const std::vector<PathSample> samples = SamplePath(Circle(r, false), 64);
    ASSERT_EQ(samples.size(), 4u * 65u);
    // This four-segment circle lies within 0.03 % of a true one; the chords of 64 samples a
    // quarter fall short of the arcs by less than 0.003 %.
    EXPECT_NEAR(samples.back().distance, 2 * kPi * r, 2 * kPi * r * 4e-4);
    for (const PathSample& s : samples) {
        EXPECT_NEAR(std::hypot(s.point.x, s.point.z), r, r * 4e-4);
        EXPECT_NEAR(s.planCurvature, 1 / r, 0.03 / r);  // turning from +X towards +Z
        EXPECT_NEAR(s.profileCurvature, 0, 1e-9);       // level all round
    }
    EXPECT_NEAR(samples[65].planCurvature, atVertex, atVertex * 1e-6);
    EXPECT_NEAR(samples[64].planCurvature, atVertex, atVertex * 1e-6);

    // A straight ramp whose handles differ in length is run at a changing speed, but its
    // profile, a straight line, does not bend; nor does its plan.
    const std::vector<BezierVertex> ramp = {Vertex({0, 0, 0}, {-1, 0, 5}, {1, 1, 0}),
                                            Vertex({30, 30, 0}, {10, 10, 0}, {31, 30, 5})};
    const std::vector<PathSample> rampSamples = SamplePath(ramp, 8);
    for (std::size_t k = 0; k <= 8; ++k) {
        EXPECT_NEAR(rampSamples[k].profileCurvature, 0, 1e-12) << k;
        EXPECT_NEAR(rampSamples[k].planCurvature, 0, 1e-12) << k;
    }
    EXPECT_NEAR(rampSamples[8].distance, 30 * std::sqrt(2.0), 1e-9);

    // A vertical circle run from +X upwards: at its top, where it runs level, the profile bends
    // down with the circle's own curvature.
    const std::vector<PathSample> loop = SamplePath(Circle(r, true), 64);
    EXPECT_NEAR(loop[65].point.y, 10 + r, 1e-4);
    EXPECT_NEAR(loop[65].profileCurvature, -atVertex, atVertex * 1e-6);
}

}  // namespace
}  // namespace railgrace
