// The whole pass: its limit, all-or-nothing behaviour, what it changes, and tracks whose result
// is known from their construction.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <vector>

#include "smooth/Smooth.h"
#include "tests/SmoothTestSupport.h"

namespace railgrace {
namespace {

using testing::ExpectSameBits;
using testing::MakeVertex;
using testing::SmoothErrorMessage;

// Five vertices at height 50: the segments 0-1 and 3-4 are straight, with handles along the
// chord, so 0, 1, 3 and 4 are marked and stay put. Vertex 2 between them is free. Its handle
// line is tilted 8 up and 8 down out of the level plane that its neighbours' control points
// (-20, 50, -40) and (20, 50, -10) span with it; flattening levels it. Level, its legs
// U = (0, 0, 40) and V = (0, 0, 10) stand at right angles to T = (40, 0, 0), so placement uses
// r = sqrt(40 / 10) = 2 and t = 2/3.
std::vector<BezierVertex> FreeVertexBetweenStraights() {
    return {
        MakeVertex({-100, 50, -60}, {-100, 50, -160}, {-80, 50, -60}),
        MakeVertex({-40, 50, -60}, {-60, 50, -60}, {-20, 50, -40}),
        MakeVertex({0, 50, 0}, {-20, 58, 0}, {20, 42, 0}),
        MakeVertex({40, 50, -20}, {20, 50, -10}, {60, 50, -20}),
        MakeVertex({100, 50, -20}, {80, 50, -20}, {100, 50, -120}),
    };
}

TrackModel ModelWith(std::vector<BezierVertex> vertices) {
    TrackModel model;
    model.bezrRecords = std::move(vertices);
    for (BezierVertex& v : model.bezrRecords) v.auxFlagC = true;
    return model;
}

std::vector<BezierVertex> Rotated(std::vector<BezierVertex> vertices, std::size_t by) {
    std::rotate(vertices.rbegin(), vertices.rbegin() + static_cast<std::ptrdiff_t>(by),
                vertices.rend());
    return vertices;
}

TEST(SmoothTrackResult, FreeVertexIsLevelledAndPlacedTwoThirdsAlong) {
    TrackModel model = ModelWith(FreeVertexBetweenStraights());
    const SmoothSummary summary = SmoothTrack(model);

    std::vector<BezierVertex> expected = FreeVertexBetweenStraights();
    for (BezierVertex& v : expected) v.auxFlagC = false;
    // Vertex 2 is even: the full step after the 20 half-steps levels it exactly.
    expected[2].cp1Y = 50;
    expected[2].cp2Y = 50;
    const float t = 2.0f / 3.0f;
    SetPos(expected[2], {static_cast<float>(-20.0 + 40.0 * double{t}), 50, 0});
    ExpectSameBits(model.bezrRecords, expected);

    EXPECT_EQ(summary.vertices, 5);
    EXPECT_EQ(summary.straight3d, 4);
    EXPECT_EQ(summary.straightPlan, 4);
    EXPECT_EQ(summary.movedVertices, 1);
    EXPECT_EQ(summary.turnedVertices, 1);
    EXPECT_NEAR(summary.largestMove, 20.0 / 3.0, 1e-5);
}

TEST(SmoothTrackResult, FreeVertexAtAnOddIndexKeepsTheLastHalfStep) {
    TrackModel model = ModelWith(Rotated(FreeVertexBetweenStraights(), 1));
    SmoothTrack(model);
    const BezierVertex& free = model.bezrRecords[3];
    EXPECT_EQ(free.cp1Y, 50 + 0x1p-17f);
    EXPECT_EQ(free.cp2Y, 50 - 0x1p-17f);
    EXPECT_NEAR(free.posX, 20.0 / 3.0, 1e-4);
    EXPECT_NEAR(free.posY, 50.0, 1e-4);
    EXPECT_NEAR(free.posZ, 0.0, 1e-4);
}

// A level ring of n vertices of radius 100 with tangent handles of length 20.
std::vector<BezierVertex> LevelRing(int n) {
    std::vector<BezierVertex> vertices;
    for (int k = 0; k < n; ++k) {
        const double angle = 2 * std::numbers::pi * k / n;
        const Point3 pos{static_cast<float>(100 * std::cos(angle)), 50,
                         static_cast<float>(100 * std::sin(angle))};
        const Point3 tangent{static_cast<float>(-20 * std::sin(angle)), 0,
                             static_cast<float>(20 * std::cos(angle))};
        vertices.push_back(MakeVertex(pos, testing::Sub(pos, tangent), testing::Add(pos, tangent)));
    }
    return vertices;
}

TEST(SmoothTrackResult, LevelRingKeepsItsShape) {
    // Handles 22.5 degrees off every chord: nothing is straight. Level control points lie in
    // every vertex's plane already, and by symmetry every vertex is its handles' midpoint.
    TrackModel model = ModelWith(LevelRing(8));
    const SmoothSummary summary = SmoothTrack(model);
    EXPECT_EQ(summary.straightPlan, 0);
    EXPECT_EQ(summary.turnedVertices, 0);
    const std::vector<BezierVertex> before = LevelRing(8);
    for (std::size_t i = 0; i < before.size(); ++i) {
        const BezierVertex& v = model.bezrRecords[i];
        EXPECT_EQ(Cp1Of(v), Cp1Of(before[i]));
        EXPECT_EQ(Cp2Of(v), Cp2Of(before[i]));
        EXPECT_NEAR(v.posX, before[i].posX, 1e-4);
        EXPECT_EQ(v.posY, 50.0f);
        EXPECT_NEAR(v.posZ, before[i].posZ, 1e-4);
        EXPECT_FALSE(v.auxFlagC);
    }
}

TEST(SmoothTrackLimit, NoVerticesIsNothingToDo) {
    TrackModel model;
    model.infoText = U"empty";
    const TrackModel before = model;
    const SmoothSummary summary = SmoothTrack(model);
    EXPECT_EQ(model, before);
    EXPECT_EQ(summary.vertices, 0);
    EXPECT_EQ(summary.movedVertices, 0);
}

TEST(SmoothTrackLimit, FiveHundredAndOneVerticesAreSmoothed) {
    // Handles pi/501 = 0.36 degrees off every chord: the whole ring counts as straight.
    TrackModel model = ModelWith(LevelRing(kMaxSmoothVertices));
    const SmoothSummary summary = SmoothTrack(model);
    EXPECT_EQ(summary.vertices, 501);
    EXPECT_EQ(summary.straight3d, 501);
    std::vector<BezierVertex> expected = LevelRing(kMaxSmoothVertices);
    ExpectSameBits(model.bezrRecords, expected);
}

TEST(SmoothTrackLimit, FiveHundredAndTwoVerticesAreRefusedUnchanged) {
    TrackModel model = ModelWith(LevelRing(kMaxSmoothVertices + 1));
    const TrackModel before = model;
    EXPECT_EQ(SmoothErrorMessage([&] { SmoothTrack(model); }),
              "This track has 502 vertices; smoothing handles at most 501.");
    ExpectSameBits(model.bezrRecords, before.bezrRecords);
}

TEST(SmoothTrackLimit, RefusalNamesTheVertexCount) {
    TrackModel model = ModelWith(LevelRing(640));
    EXPECT_EQ(SmoothErrorMessage([&] { SmoothTrack(model); }),
              "This track has 640 vertices; smoothing handles at most 501.");
}

void ExpectFaultLeavesTrackUnchanged(TrackModel model, const std::string& message) {
    const TrackModel before = model;
    EXPECT_EQ(SmoothErrorMessage([&] { SmoothTrack(model); }), message);
    ExpectSameBits(model.bezrRecords, before.bezrRecords);
}

TEST(SmoothTrackFault, SingleVertex) {
    ExpectFaultLeavesTrackUnchanged(
        ModelWith({MakeVertex({0, 50, 0}, {-10, 50, 0}, {10, 50, 0})}),
        "Smoothing stopped at vertex 0 while looking for straight segments: it is the only vertex "
        "of the track, and smoothing needs at least two.");
}

TEST(SmoothTrackFault, ZeroLengthHandle) {
    std::vector<BezierVertex> vertices = LevelRing(8);
    SetCp2(vertices[5], PosOf(vertices[5]));
    ExpectFaultLeavesTrackUnchanged(ModelWith(vertices),
                                    "Smoothing stopped at vertex 5 while looking for straight "
                                    "segments: its second control point lies on its position.");
}

TEST(SmoothTrackFault, NotANumber) {
    std::vector<BezierVertex> vertices = LevelRing(8);
    vertices[6].cp1Z = std::numeric_limits<float>::quiet_NaN();
    ExpectFaultLeavesTrackUnchanged(
        ModelWith(vertices),
        "Smoothing stopped at vertex 6 while looking for straight segments: its first control "
        "point has a coordinate that is infinite or not a number.");
}

TEST(SmoothTrackFault, FaultInFlatteningUndoesNothingHalfDone) {
    // Scaled up a hundred billion billion times, the free vertex's normal no longer fits a float.
    std::vector<BezierVertex> vertices = FreeVertexBetweenStraights();
    for (BezierVertex& v : vertices) {
        for (float* c :
             {&v.posX, &v.posY, &v.posZ, &v.cp1X, &v.cp1Y, &v.cp1Z, &v.cp2X, &v.cp2Y, &v.cp2Z}) {
            *c *= 1e20f;
        }
    }
    ExpectFaultLeavesTrackUnchanged(ModelWith(vertices),
                                    "Smoothing stopped at vertex 2 while turning control points: "
                                    "the control points around it lie too far apart to compute "
                                    "with.");
}

TEST(SmoothTrackFault, FaultInPlacementUndoesFlatteningAndEarlierPlacement) {
    // The free vertex's two control points coincide above it; flattening brings both down onto
    // its position, and placement then finds no handle line. By then flattening has changed
    // them and vertices 0 and 1 have had auxFlagC cleared.
    std::vector<BezierVertex> vertices = FreeVertexBetweenStraights();
    SetCp1(vertices[2], {0, 58, 0});
    SetCp2(vertices[2], {0, 58, 0});
    ExpectFaultLeavesTrackUnchanged(ModelWith(vertices),
                                    "Smoothing stopped at vertex 2 while placing vertices: its two "
                                    "control points lie on the same spot.");
}

TEST(SmoothTrackScope, OnlyTheNineCoordinatesAndAuxFlagCChange) {
    TrackModel model = ModelWith(FreeVertexBetweenStraights());
    model.infoText = U"Loop de loop";
    model.trckLeadingValue = 7;
    model.bezrHeader = {348, 0};
    model.terrainGrid = {1.5f, 2.5f};
    for (std::size_t i = 0; i < model.bezrRecords.size(); ++i) {
        BezierVertex& v = model.bezrRecords[i];
        v.auxValue = std::bit_cast<float>(0x7fc01234u + static_cast<std::uint32_t>(i));
        v.auxFlagA = (i % 2 == 0);
        v.auxFlagB = (i % 3 == 0);
    }
    const TrackModel before = model;
    SmoothTrack(model);

    ASSERT_EQ(model.bezrRecords.size(), before.bezrRecords.size());
    for (std::size_t i = 0; i < before.bezrRecords.size(); ++i) {
        const BezierVertex& v = model.bezrRecords[i];
        const BezierVertex& old = before.bezrRecords[i];
        EXPECT_EQ(std::bit_cast<std::uint32_t>(v.auxValue),
                  std::bit_cast<std::uint32_t>(old.auxValue));
        EXPECT_EQ(v.auxFlagA, old.auxFlagA);
        EXPECT_EQ(v.auxFlagB, old.auxFlagB);
        EXPECT_FALSE(v.auxFlagC);
    }
    // The free vertex did change, so the comparison below is not of two untouched tracks.
    EXPECT_NE(PosOf(model.bezrRecords[2]), PosOf(before.bezrRecords[2]));
    // Everything outside the vertex list (compared without it: NaN never equals itself).
    TrackModel rest = model;
    TrackModel restBefore = before;
    rest.bezrRecords.clear();
    restBefore.bezrRecords.clear();
    EXPECT_EQ(rest, restBefore);
}

// An irregular, hilly loop: every step has work to do on it.
std::vector<BezierVertex> HillyLoop(int n) {
    std::vector<BezierVertex> vertices;
    for (int k = 0; k < n; ++k) {
        const double a = 2 * std::numbers::pi * k / n;
        const double radius = 120 + 30 * std::sin(3 * a);
        const Point3 pos{static_cast<float>(radius * std::cos(a)),
                         static_cast<float>(70 + 40 * std::sin(2 * a + 0.3)),
                         static_cast<float>(radius * std::sin(a))};
        const double length = 10 + 4 * std::cos(5 * a);
        const Point3 tangent{static_cast<float>(-length * std::sin(a)),
                             static_cast<float>(6 * std::cos(7 * a)),
                             static_cast<float>(length * std::cos(a))};
        vertices.push_back(MakeVertex(pos, testing::Sub(pos, tangent), testing::Add(pos, tangent)));
    }
    return vertices;
}

TEST(SmoothTrackRepeat, SameInputGivesTheSameBits) {
    TrackModel first = ModelWith(HillyLoop(37));
    TrackModel second = ModelWith(HillyLoop(37));
    SmoothTrack(first);
    SmoothTrack(second);
    ExpectSameBits(first.bezrRecords, second.bezrRecords);
}

TEST(SmoothTrackRepeat, NothingCarriesOverFromAnotherTrack) {
    TrackModel fresh = ModelWith(HillyLoop(37));
    SmoothTrack(fresh);
    // A run over a longer track that marks everything straight leaves no trace on the next.
    TrackModel other = ModelWith(LevelRing(kMaxSmoothVertices));
    SmoothTrack(other);
    TrackModel again = ModelWith(HillyLoop(37));
    SmoothTrack(again);
    ExpectSameBits(again.bezrRecords, fresh.bezrRecords);
}

TEST(SmoothTrackRepeat, SecondPassSmoothsTheSmoothedTrack) {
    TrackModel twice = ModelWith(HillyLoop(37));
    const SmoothSummary firstSummary = SmoothTrack(twice);
    const std::vector<BezierVertex> afterOne = twice.bezrRecords;
    const SmoothSummary secondSummary = SmoothTrack(twice);
    EXPECT_GT(firstSummary.movedVertices, 0);
    EXPECT_GT(firstSummary.turnedVertices, 0);
    // Odd vertices kept part of their distance to the plane, so the second press turns them on.
    EXPECT_GT(secondSummary.turnedVertices, 0);

    TrackModel single = ModelWith(afterOne);
    SmoothTrack(single);
    ExpectSameBits(twice.bezrRecords, single.bezrRecords);
}

TEST(SmoothTrackRepeat, MovedVerticesLieOnTheirHandleLine) {
    TrackModel model = ModelWith(HillyLoop(37));
    const std::vector<BezierVertex> before = model.bezrRecords;
    SmoothTrack(model);
    for (std::size_t i = 0; i < before.size(); ++i) {
        const BezierVertex& v = model.bezrRecords[i];
        if (PosOf(v) == PosOf(before[i])) continue;
        // pos = cp1 + t (cp2 - cp1) with 0.05 < t < 0.95, up to float rounding.
        const double tx = (double{v.posX} - v.cp1X) / (double{v.cp2X} - v.cp1X);
        const double tz = (double{v.posZ} - v.cp1Z) / (double{v.cp2Z} - v.cp1Z);
        EXPECT_NEAR(tx, tz, 1e-3) << "vertex " << i;
        EXPECT_GT(tx, 0.05 - 1e-4) << "vertex " << i;
        EXPECT_LT(tx, 0.95 + 1e-4) << "vertex " << i;
    }
}

}  // namespace
}  // namespace railgrace
