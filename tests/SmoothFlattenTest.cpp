// Flattening of control points: 20 half-steps towards the plane of the neighbours, a full step at
// every second vertex, HandleBox, and the vertices that keep their handles.
//
// The layouts use small integers, so that the normal N and its square are exact floats; each
// half-step then halves a control point's distance to its plane exactly, and the distance after
// the 20 iterations is the starting distance times 2^-20, bit for bit.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "smooth/SmoothSteps.h"
#include "tests/SmoothTestSupport.h"

namespace railgrace {
namespace {

using testing::ExpectSameBits;
using testing::MakeVertex;

// Rings in plan of radius about 80 with tangent handles of about 20, as whole numbers.
constexpr std::array<std::array<int, 2>, 6> kHexagonPos{
    {{80, 0}, {40, 69}, {-40, 69}, {-80, 0}, {-40, -69}, {40, -69}}};
constexpr std::array<std::array<int, 2>, 6> kHexagonTangent{
    {{0, 20}, {-17, 10}, {-17, -10}, {0, -20}, {17, -10}, {17, 10}}};
constexpr std::array<std::array<int, 2>, 7> kHeptagonPos{
    {{80, 0}, {50, 63}, {-18, 78}, {-72, 35}, {-72, -35}, {-18, -78}, {50, -63}}};
constexpr std::array<std::array<int, 2>, 7> kHeptagonTangent{
    {{0, 20}, {-16, 12}, {-19, -4}, {-9, -18}, {9, -18}, {19, -4}, {16, 12}}};

// Vertices 0 and n - 1 are unmarked and lie at height 50 with the neighbouring control points
// they see, so both their planes are the level plane y = 50. Each has one control point off
// that plane (cp2 of vertex 0 at 58, cp1 of vertex n - 1 at 42): the one the other does not
// see, so the two approach their planes independently. The marked vertices between lie at
// height 90, apart from the two control points next to the unmarked ones.
template <std::size_t N>
std::vector<BezierVertex> Ring(const std::array<std::array<int, 2>, N>& pos,
                               const std::array<std::array<int, 2>, N>& tangent) {
    std::vector<BezierVertex> vertices;
    for (std::size_t k = 0; k < N; ++k) {
        const float height = (k == 0 || k == N - 1) ? 50.0f : 90.0f;
        const Point3 p{static_cast<float>(pos[k][0]), height, static_cast<float>(pos[k][1])};
        const Point3 t{static_cast<float>(tangent[k][0]), 0, static_cast<float>(tangent[k][1])};
        vertices.push_back(MakeVertex(p, testing::Sub(p, t), testing::Add(p, t)));
    }
    vertices[1].cp1Y = 50;
    vertices[N - 2].cp2Y = 50;
    vertices[0].cp2Y = 58;
    vertices[N - 1].cp1Y = 42;
    return vertices;
}

// Marks every vertex but the first and the last, alternately in both arrays and in plan only.
SmoothWork MarkInner(std::size_t n) {
    SmoothWork work{};
    for (std::size_t k = 1; k + 1 < n; ++k) {
        work.straightPlan[k] = true;
        work.straight3d[k] = (k % 2 == 1);
    }
    return work;
}

void ExpectRingResult(const std::vector<BezierVertex>& before,
                      const std::vector<BezierVertex>& after) {
    const std::size_t n = before.size();
    std::vector<BezierVertex> expected = before;
    // Vertex 0 is even: the full step puts its control point on the plane.
    expected[0].cp2Y = 50;
    // Vertex n - 1 is even when n is odd; otherwise it keeps 8 * 2^-20 of its distance.
    expected[n - 1].cp1Y = (n % 2 == 1) ? 50.0f : 50.0f - 0x1p-17f;
    ExpectSameBits(after, expected);
}

TEST(SmoothFlattenProjection, EvenRingProjectsVertexZeroAndLeavesTheOddLastHalfway) {
    const std::vector<BezierVertex> before = Ring(kHexagonPos, kHexagonTangent);
    std::vector<BezierVertex> vertices = before;
    SmoothWork work = MarkInner(vertices.size());
    FlattenControlPoints(vertices, work);
    ExpectRingResult(before, vertices);
}

TEST(SmoothFlattenProjection, OddRingProjectsTheAdjacentFirstAndLastVertex) {
    const std::vector<BezierVertex> before = Ring(kHeptagonPos, kHeptagonTangent);
    std::vector<BezierVertex> vertices = before;
    SmoothWork work = MarkInner(vertices.size());
    FlattenControlPoints(vertices, work);
    ExpectRingResult(before, vertices);
}

TEST(SmoothFlattenProjection, TwentyIterationsNotNineteenOrTwentyOne) {
    // The last vertex of the even ring keeps 8 * 2^-k after k iterations: 2^-17 after 20, not
    // 2^-16 after 19 or 2^-18 after 21.
    std::vector<BezierVertex> vertices = Ring(kHexagonPos, kHexagonTangent);
    SmoothWork work = MarkInner(vertices.size());
    FlattenControlPoints(vertices, work);
    EXPECT_EQ(vertices[5].cp1Y - 50.0f, -0x1p-17f);
}

// Three vertices: the unmarked vertex x at (0, 50, 0) and its two neighbours, whose control
// points next to x span the tilted plane through x with normal (0, 400, -400). The neighbours'
// other points lie far off that plane. cp1 of x lies (0, 4, -4) off the plane, cp2 on it.
std::vector<BezierVertex> TiltedTriple(std::size_t x, Point3 cp1OfX) {
    std::vector<BezierVertex> vertices(3);
    vertices[x] = MakeVertex({0, 50, 0}, cp1OfX, {10, 55, 5});
    vertices[(x + 2) % 3] = MakeVertex({-60, 90, -20}, {-80, 100, -30}, {-30, 40, -10});
    vertices[(x + 1) % 3] = MakeVertex({50, 20, 40}, {20, 70, 20}, {70, 10, 50});
    return vertices;
}

SmoothWork MarkAllBut(std::size_t x, std::size_t n) {
    SmoothWork work{};
    for (std::size_t k = 0; k < n; ++k) work.straight3d[k] = work.straightPlan[k] = (k != x);
    return work;
}

std::vector<BezierVertex> FlattenTriple(std::size_t x, Point3 cp1OfX) {
    std::vector<BezierVertex> vertices = TiltedTriple(x, cp1OfX);
    SmoothWork work = MarkAllBut(x, vertices.size());
    FlattenControlPoints(vertices, work);
    return vertices;
}

constexpr Point3 kOnTiltedPlane{-10, 45, -5};
constexpr Point3 kOffTiltedPlane{-10, 49, -9};

TEST(SmoothFlattenProjection, TiltedPlaneAtAnEvenVertexIsReachedExactly) {
    for (std::size_t x : {0u, 2u}) {
        std::vector<BezierVertex> expected = TiltedTriple(x, kOnTiltedPlane);
        ExpectSameBits(FlattenTriple(x, kOffTiltedPlane), expected);
    }
}

TEST(SmoothFlattenProjection, TiltedPlaneAtAnOddVertexIsApproachedBy20HalfSteps) {
    std::vector<BezierVertex> expected = TiltedTriple(1, {-10, 45 + 0x1p-18f, -5 - 0x1p-18f});
    ExpectSameBits(FlattenTriple(1, kOffTiltedPlane), expected);
}

TEST(SmoothFlattenKeep, ControlPointsAlreadyInThePlaneStay) {
    for (std::size_t x : {0u, 1u}) {
        ExpectSameBits(FlattenTriple(x, kOnTiltedPlane), TiltedTriple(x, kOnTiltedPlane));
    }
}

TEST(SmoothFlattenKeep, NeighboursInLineWithTheVertexSpanNoPlane) {
    // cp1 of the next vertex in line with the previous vertex's cp2, then on the vertex itself.
    for (Point3 cp1OfNext : {Point3{30, 60, 10}, Point3{0, 50, 0}}) {
        std::vector<BezierVertex> before = TiltedTriple(0, kOffTiltedPlane);
        SetCp1(before[1], cp1OfNext);
        std::vector<BezierVertex> vertices = before;
        SmoothWork work = MarkAllBut(0, vertices.size());
        FlattenControlPoints(vertices, work);
        ExpectSameBits(vertices, before);
    }
}

TEST(SmoothFlattenKeep, MarkedVerticesKeepTheirHandles) {
    const std::vector<BezierVertex> before = TiltedTriple(0, kOffTiltedPlane);
    SmoothWork planOnly = MarkAllBut(0, 3);
    planOnly.straightPlan[0] = true;
    SmoothWork spaceOnly = MarkAllBut(0, 3);
    spaceOnly.straight3d[0] = true;
    for (SmoothWork* work : {&planOnly, &spaceOnly}) {
        std::vector<BezierVertex> vertices = before;
        FlattenControlPoints(vertices, *work);
        ExpectSameBits(vertices, before);
    }
}

TEST(SmoothFlattenKeep, TwoVerticesSeeEachOthersControlPoints) {
    // Vertex 1's control points are vertex 0's D1 and D2 and span the level plane y = 50; its
    // position lies well above.
    std::vector<BezierVertex> vertices{
        MakeVertex({0, 50, 0}, {-10, 58, 0}, {10, 42, 0}),
        MakeVertex({0, 90, -60}, {30, 50, -20}, {-30, 50, -20}),
    };
    std::vector<BezierVertex> expected = vertices;
    expected[0].cp1Y = 50;
    expected[0].cp2Y = 50;
    SmoothWork work{};
    work.straight3d[1] = work.straightPlan[1] = true;
    FlattenControlPoints(vertices, work);
    ExpectSameBits(vertices, expected);
}

// The 20 half-steps worked out one stored float at a time, for one vertex whose neighbours'
// control points p and q stay put: every difference, component of N, s1, s2, nn, projected
// coordinate and half-step rounded to float, as the numbers of the step prescribe.
struct Handles {
    float cp1[3];
    float cp2[3];
};

Handles TwentyHalfSteps(const float pos[3], Handles h, const float p[3], const float q[3]) {
    using testing::StoredFloat;
    for (int k = 0; k < 20; ++k) {
        float d1[3], d2[3], e1[3], e2[3];
        for (int c = 0; c < 3; ++c) {
            d1[c] = StoredFloat(double{p[c]} - double{pos[c]});
            d2[c] = StoredFloat(double{q[c]} - double{pos[c]});
            e1[c] = StoredFloat(double{h.cp1[c]} - double{pos[c]});
            e2[c] = StoredFloat(double{h.cp2[c]} - double{pos[c]});
        }
        const float n[3] = {
            StoredFloat(double{d1[1]} * double{d2[2]} - double{d1[2]} * double{d2[1]}),
            StoredFloat(double{d1[2]} * double{d2[0]} - double{d1[0]} * double{d2[2]}),
            StoredFloat(double{d1[0]} * double{d2[1]} - double{d1[1]} * double{d2[0]})};
        double dot1 = 0, dot2 = 0, dotN = 0;
        for (int c = 0; c < 3; ++c) {
            dot1 += double{n[c]} * double{e1[c]};
            dot2 += double{n[c]} * double{e2[c]};
            dotN += double{n[c]} * double{n[c]};
        }
        const float s1 = StoredFloat(dot1);
        const float s2 = StoredFloat(dot2);
        const float nn = StoredFloat(dotN);
        for (int c = 0; c < 3; ++c) {
            const float p1 = StoredFloat(double{h.cp1[c]} - double{n[c]} * double{s1} / double{nn});
            const float p2 = StoredFloat(double{h.cp2[c]} - double{n[c]} * double{s2} / double{nn});
            h.cp1[c] = StoredFloat((double{p1} + double{h.cp1[c]}) / 2);
            h.cp2[c] = StoredFloat((double{p2} + double{h.cp2[c]}) / 2);
        }
    }
    return h;
}

TEST(SmoothFlattenProjection, EveryStoredValueIsRoundedToFloat) {
    // Many layouts with coordinates that have no short binary expansion, all well inside
    // HandleBox, so that a value kept in double where the track stores a float shows up in some
    // of them. Vertex 1 is odd, so it ends with the 20th half-step.
    std::uint32_t seed = 777;
    const auto next = [&seed](float low, float high) {
        seed = seed * 1664525u + 1013904223u;
        return low + (high - low) * static_cast<float>(seed >> 8) / 16777216.0f;
    };
    for (int trial = 0; trial < 100; ++trial) {
        const float pos[3] = {next(-5, 5), next(55, 65), next(-5, 5)};
        const float p[3] = {next(-35, -15), next(45, 75), next(-25, -5)};
        const float q[3] = {next(15, 35), next(45, 75), next(-25, -5)};
        const Handles start{{next(-12, -4), next(50, 70), next(-4, 4)},
                            {next(4, 12), next(50, 70), next(-4, 4)}};
        std::vector<BezierVertex> vertices{
            MakeVertex({-40, 50, -30}, {-55, 45, -35}, {p[0], p[1], p[2]}),
            MakeVertex({pos[0], pos[1], pos[2]}, {start.cp1[0], start.cp1[1], start.cp1[2]},
                       {start.cp2[0], start.cp2[1], start.cp2[2]}),
            MakeVertex({55, 70, -15}, {q[0], q[1], q[2]}, {70, 72, -18}),
        };
        SmoothWork work = MarkAllBut(1, 3);
        FlattenControlPoints(vertices, work);

        const Handles expected = TwentyHalfSteps(pos, start, p, q);
        EXPECT_EQ(Cp1Of(vertices[1]), (Point3{expected.cp1[0], expected.cp1[1], expected.cp1[2]}))
            << "trial " << trial;
        EXPECT_EQ(Cp2Of(vertices[1]), (Point3{expected.cp2[0], expected.cp2[1], expected.cp2[2]}))
            << "trial " << trial;
    }
}

// A hilly loop of 9 vertices that is its own mirror image across x = 0 with the direction of
// travel reversed: vertex 8 - i is vertex i mirrored, with cp1 and cp2 swapping roles.
Point3 Mirror(Point3 p) {
    return {-p.x, p.y, p.z};
}

BezierVertex Mirrored(const BezierVertex& v) {
    return MakeVertex(Mirror(PosOf(v)), Mirror(Cp2Of(v)), Mirror(Cp1Of(v)));
}

std::vector<BezierVertex> MirrorSymmetricLoop() {
    constexpr int kN = 9;
    std::vector<BezierVertex> vertices(kN);
    for (int i = 0; i < kN / 2; ++i) {
        const double angle = std::numbers::pi / 2 + 2 * std::numbers::pi * (i - kN / 2) / kN;
        const Point3 pos{static_cast<float>(100 * std::cos(angle)), static_cast<float>(60 + 7 * i),
                         static_cast<float>(100 * std::sin(angle))};
        const Point3 tangent{static_cast<float>(-25 * std::sin(angle)),
                             static_cast<float>(3 - 2 * i),
                             static_cast<float>(25 * std::cos(angle))};
        const Point3 twist{0, static_cast<float>(i % 2 == 0 ? 4 : -3), 0};
        vertices[static_cast<std::size_t>(i)] = MakeVertex(
            pos, testing::Sub(pos, tangent), testing::Add(testing::Add(pos, tangent), twist));
        vertices[static_cast<std::size_t>(kN - 1 - i)] =
            Mirrored(vertices[static_cast<std::size_t>(i)]);
    }
    const Point3 top{0, 95, 100};
    vertices[kN / 2] = MakeVertex(top, {25, 101, 100}, {-25, 93, 100});
    vertices[kN / 2].cp1X = -vertices[kN / 2].cp2X;
    vertices[kN / 2].cp1Y = vertices[kN / 2].cp2Y;
    return vertices;
}

TEST(SmoothFlattenProjection, ProposalsOfASweepSeeOnlyTheVerticesAsTheySweepStarted) {
    // Each proposal mirrors exactly into the proposal of the mirrored vertex, so a step in which
    // every proposal sees the loop as it stood keeps the loop exactly its own mirror image;
    // a sweep in which later proposals saw earlier changes would not, as it runs one way round.
    const std::vector<BezierVertex> before = MirrorSymmetricLoop();
    std::vector<BezierVertex> vertices = before;
    SmoothWork work{};
    FlattenControlPoints(vertices, work);
    for (std::size_t i = 0; i < vertices.size(); ++i) {
        // Compared as numbers: the mirror image of 0 is -0.
        const BezierVertex mirrored = Mirrored(vertices[8 - i]);
        EXPECT_EQ(PosOf(vertices[i]), PosOf(mirrored)) << "vertex " << i;
        EXPECT_EQ(Cp1Of(vertices[i]), Cp1Of(mirrored)) << "vertex " << i;
        EXPECT_EQ(Cp2Of(vertices[i]), Cp2Of(mirrored)) << "vertex " << i;
    }
    EXPECT_NE(Cp2Of(vertices[0]), Cp2Of(before[0]));
    EXPECT_NE(Cp1Of(vertices[3]), Cp1Of(before[3]));
}

// HandleBox cases: a plane perpendicular to one axis at `plane`, and one control point of vertex
// 1 twice as far from it as the bound, so that the first half-step proposes exactly the bound.
// The other control point lies a little on the other side, so its own proposal is inside the box.
struct BoxCase {
    int axis;  // 0 = X, 1 = Y, 2 = Z
    float bound;
    float plane;
    bool secondHits;  // cp2 rather than cp1 is proposed on the bound
};

// Local (n, b, c): n along the axis, b and c in the plane, shifted into the box where needed.
Point3 Place(int axis, float n, float b, float c) {
    switch (axis) {
        case 0:
            return {n, 75 + b, c};
        case 1:
            return {b, n, c};
        default:
            return {b, 75 + c, n};
    }
}

std::vector<BezierVertex> BoxLayout(const BoxCase& box, float offset) {
    const float k = box.plane;
    const float side = box.bound > k ? 1.0f : -1.0f;
    const float outward = k + side * offset;
    const float inward = k - side * 4;
    return {
        MakeVertex(Place(box.axis, k, -60, 20), Place(box.axis, k, -80, 20),
                   Place(box.axis, k, -30, 10)),
        MakeVertex(Place(box.axis, k, 0, 0),
                   Place(box.axis, box.secondHits ? inward : outward, -10, -5),
                   Place(box.axis, box.secondHits ? outward : inward, 10, 5)),
        MakeVertex(Place(box.axis, k, 60, 20), Place(box.axis, k, 30, 10),
                   Place(box.axis, k, 80, 20)),
    };
}

class SmoothFlattenBox : public ::testing::TestWithParam<BoxCase> {};

TEST_P(SmoothFlattenBox, ProposalOnTheBoundIsRejectedWhole) {
    const std::vector<BezierVertex> before = BoxLayout(GetParam(), 16);
    std::vector<BezierVertex> vertices = before;
    SmoothWork work = MarkAllBut(1, 3);
    FlattenControlPoints(vertices, work);
    // Vertex 1 is odd, so every offer is the same rejected half-step.
    ExpectSameBits(vertices, before);
}

float Coordinate(Point3 p, int axis) {
    return axis == 0 ? p.x : axis == 1 ? p.y : p.z;
}

TEST_P(SmoothFlattenBox, ProposalJustInsideIsApplied) {
    std::vector<BezierVertex> vertices = BoxLayout(GetParam(), 14);
    SmoothWork work = MarkAllBut(1, 3);
    FlattenControlPoints(vertices, work);
    const BoxCase& box = GetParam();
    EXPECT_NEAR(Coordinate(Cp1Of(vertices[1]), box.axis), box.plane, 1e-4);
    EXPECT_NEAR(Coordinate(Cp2Of(vertices[1]), box.axis), box.plane, 1e-4);
}

INSTANTIATE_TEST_SUITE_P(
    EveryBound, SmoothFlattenBox,
    ::testing::Values(BoxCase{0, 220, 212, false}, BoxCase{0, -220, -212, false},
                      BoxCase{1, 150, 142, false}, BoxCase{1, 0, 8, false},
                      BoxCase{2, 220, 212, false}, BoxCase{2, -220, -212, false},
                      BoxCase{0, 220, 212, true}, BoxCase{0, -220, -212, true},
                      BoxCase{1, 150, 142, true}, BoxCase{1, 0, 8, true},
                      BoxCase{2, 220, 212, true}, BoxCase{2, -220, -212, true}));

TEST(SmoothFlattenFault, NormalBeyondFloatRange) {
    // Neighbours 1e20 away give a normal of about 1e40.
    std::vector<BezierVertex> vertices = TiltedTriple(0, kOffTiltedPlane);
    SetCp2(vertices[2], {-3e20f, 50, -1e20f});
    SetCp1(vertices[1], {2e20f, 50, 2e20f});
    SmoothWork work = MarkAllBut(0, 3);
    EXPECT_EQ(testing::SmoothErrorMessage([&] { FlattenControlPoints(vertices, work); }),
              "Smoothing stopped at vertex 0 while turning control points: the control points "
              "around it lie too far apart to compute with.");
}

}  // namespace
}  // namespace railgrace
