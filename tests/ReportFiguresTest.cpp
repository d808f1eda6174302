// The report's figures on paths whose answers are known in closed form, and on degenerate ones.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <tuple>
#include <vector>

#include "report/Report.h"

namespace railgrace {
namespace {

constexpr double kPi = std::numbers::pi;

// Four cubic segments approximating a circle of radius r about (0, 10, 0), with handles of
// k * r along the tangents. In the horizontal plane it runs from +X towards +Z; in the vertical
// plane from +X upwards. The end of a quarter has the handle k r along the tangent and the
// middle leg (1 - k) r along both axes: |leg x handle| = (1 - k) k r^2, |handle|^3 = k^3 r^3.
constexpr double kCircleK = 0.5523;

std::vector<BezierVertex> Circle(double r, bool vertical = false) {
    const double h = kCircleK * r;  // the tangent of a circle run anticlockwise is (-s, c)
    std::vector<BezierVertex> path;
    for (const auto& [cosine, sine] : {std::pair{1, 0}, {0, 1}, {-1, 0}, {0, -1}}) {
        // The position (d = 0), the first (d = 1) and the second control point (d = -1).
        const auto at = [&, c = cosine, s = sine](double d, int axis) {
            const double a = r * c + d * h * s, b = r * s - d * h * c;
            const double xyz[] = {a, vertical ? 10 + b : 10, vertical ? 0 : b};
            return static_cast<float>(xyz[axis]);
        };
        path.push_back({at(0, 0), at(0, 1), at(0, 2), at(1, 0), at(1, 1), at(1, 2), at(-1, 0),
                        at(-1, 1), at(-1, 2)});
    }
    return path;
}

// Measured, a circle has no breaks and the same curvature on both sides of every vertex; sampled,
// it has its length and radius all round, and at vertex 1 (the end of one segment and the start
// of the next) it turns towards +Z in plan, or at the top of the loop bends down in profile.
TEST(ReportFigures, CircleMeasuredAndSampled) {
    for (const bool vertical : {false, true}) {
        for (const double r : {1.0, 35.0, 200.0}) {
            SCOPED_TRACE(::testing::Message() << "r " << r << (vertical ? " vertical" : ""));
            // Float coordinates about 10 units from the origin hold the handles to about 1e-6.
            const double expected = 2.0 / 3.0 * (1 - kCircleK) / (kCircleK * kCircleK) / r;
            const double tolerance = expected * 1e-5;
            const PathFigures path = MeasurePath(Circle(r, vertical));
            ASSERT_EQ(path.figures.size(), 4u);
            for (const VertexFigures& f : path.figures) {
                EXPECT_NEAR(*f.tangentBreak, 0, 1e-4);
                EXPECT_NEAR(*f.curvatureIn, expected, tolerance);
                EXPECT_NEAR(*f.curvatureOut, expected, tolerance);
                EXPECT_NEAR(*f.relativeJump, 0, 1e-6);
                EXPECT_FALSE(f.straight->inPlan);
            }
            // This four-segment circle lies within 0.03 % of a true one; the chords of 64 samples
            // a quarter fall short of the arcs by less than 0.003 %.
            const std::vector<PathSample> samples = SamplePath(Circle(r, vertical), 64);
            ASSERT_EQ(samples.size(), 4u * 65u);
            EXPECT_NEAR(samples.back().distance, 2 * kPi * r, 2 * kPi * r * 4e-4);
            for (const PathSample& s : {samples[64], samples[65]})
                EXPECT_NEAR(vertical ? -s.profileCurvature : s.planCurvature, expected, tolerance);
            for (const PathSample& s : samples) {
                EXPECT_NEAR(std::hypot(s.point.x, vertical ? s.point.y - 10 : s.point.z), r,
                            r * 4e-4);
                if (vertical) continue;
                EXPECT_NEAR(s.profileCurvature, 0, 1e-9);  // level all round
            }
        }
    }
}

// Straight segments: a square of side 60 with every handle a third of the way along its side
// breaks 90 degrees at every corner.
TEST(ReportFigures, StraightSegments) {
    std::vector<BezierVertex> square = {{0, 5, 0, 0, 5, 20, 20, 5, 0},
                                        {60, 5, 0, 40, 5, 0, 60, 5, 20},
                                        {60, 5, 60, 60, 5, 40, 40, 5, 60},
                                        {0, 5, 60, 20, 5, 60, 0, 5, 40}};
    const PathFigures path = MeasurePath(square);
    for (const VertexFigures& f : path.figures) {
        EXPECT_DOUBLE_EQ(*f.tangentBreak, 90);
        EXPECT_EQ(*f.curvatureIn + *f.curvatureOut + *f.relativeJump, 0);
        EXPECT_TRUE(f.straight->inSpace);
    }
    EXPECT_EQ(path.summary.breaksAboveHalfDegree, 4);
    EXPECT_EQ(path.summary.markedStraight, 4);
    EXPECT_EQ(path.summary.straightInSpace, 4);
    // A wobble far below anything a rider feels bends the straight side, but is no jump.
    square[1].cp2Y += 1e-5f;
    const VertexFigures wobble = MeasurePath(square).figures[1];
    EXPECT_TRUE(*wobble.curvatureOut > 0 && *wobble.curvatureOut < kStraightCurvature);
    EXPECT_EQ(*wobble.relativeJump, 0);
}

TEST(ReportFigures, BreaksAndCurvaturesByHand) {
    // Vertex 1: arriving handle (1, 0, 0) after the leg (1, 0, -1): 2/3 * 1 / 1; leaving handle
    // (2, 0, 0) before the leg (1, 0, 2): 2/3 * 4 / 8. The jump is (2/3 - 1/3) / (2/3).
    const VertexFigures f = MeasurePath({{-3, 0, 1, -3, 0, -5, -2, 0, 1},
                                         {0, 0, 0, -1, 0, 0, 2, 0, 0},
                                         {4, 0, 2, 3, 0, 2, 4, 0, 8}})
                                .figures[1];
    EXPECT_DOUBLE_EQ(*f.curvatureIn, 2.0 / 3.0);
    EXPECT_DOUBLE_EQ(*f.curvatureOut, 1.0 / 3.0);
    EXPECT_DOUBLE_EQ(*f.relativeJump, 0.5);

    // The second handles of vertices 1 and 2 of a circle turned about the vertical: the breaks,
    // their largest, their median (of four, the mean of the middle two), how many can be seen.
    for (const auto& [at1, at2, median, visible] :
         std::vector<std::tuple<double, double, double, int>>{
             {0, 0.4, 0, 0}, {0, 0.6, 0, 1}, {0, -30, 0, 1}, {10, 30, 5, 2}, {12.5, 0, 0, 1}}) {
        SCOPED_TRACE(::testing::Message() << at1 << ", " << at2);
        std::vector<BezierVertex> path = Circle(40);
        for (const auto& [i, degrees] : {std::pair{1, at1}, {2, at2}}) {
            BezierVertex& v = path[static_cast<std::size_t>(i)];
            const double a = degrees * kPi / 180, dx = double{v.cp2X} - v.posX,
                         dz = double{v.cp2Z} - v.posZ;
            v.cp2X = static_cast<float>(v.posX + dx * std::cos(a) - dz * std::sin(a));
            v.cp2Z = static_cast<float>(v.posZ + dx * std::sin(a) + dz * std::cos(a));
        }
        const PathFigures figures = MeasurePath(path);
        EXPECT_NEAR(*figures.figures[2].tangentBreak, std::abs(at2), 1e-4);
        EXPECT_NEAR(*figures.summary.largestTangentBreak, std::max(at1, std::abs(at2)), 1e-4);
        EXPECT_NEAR(*figures.summary.medianTangentBreak, median, 1e-4);
        EXPECT_EQ(figures.summary.breaksAboveHalfDegree, visible);
    }
}

// A coordinate that is no number: that vertex and the one whose segment reaches it lose the
// figures that need it and say why; the others keep theirs. One vertex has a segment that runs back
// to itself: marking refuses it, its figures still stand. (A handle of no length is met in the
// report of a kinked track run by the command line.)
TEST(ReportFigures, DegeneratePathsSayWhatIsMissing) {
    for (const float bad :
         {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
        std::vector<BezierVertex> path = Circle(40);
        path[1].cp1Y = bad;
        const PathFigures figures = MeasurePath(path);
        EXPECT_FALSE(figures.figures[1].tangentBreak || figures.figures[1].curvatureIn);
        EXPECT_EQ(figures.figures[1].degenerate,
                  std::vector<std::string>{"a coordinate is infinite or not a number"});
        EXPECT_FALSE(figures.figures[0].curvatureOut);  // it leaves towards that control point
        EXPECT_EQ(figures.figures[0].degenerate,
                  std::vector<std::string>{
                      "the first control point of vertex 1 is infinite or not a number"});
        EXPECT_EQ(figures.summary.degenerateJoints, 2);
        EXPECT_NEAR(*figures.summary.largestTangentBreak, 0, 1e-4);
    }
    const PathFigures one = MeasurePath({{0, 0, 0, -3, 0, 0, 0, 0, 3}});
    EXPECT_NEAR(*one.figures[0].tangentBreak, 90, 1e-12);
    EXPECT_NE(one.marksError.find("only vertex"), std::string::npos) << one.marksError;
}

}  // namespace
}  // namespace railgrace
