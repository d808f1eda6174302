// Flattening of control points: 20 half-steps towards the plane of the neighbours, a full step at
// every second vertex, HandleBox, and the vertices that keep their handles. That every proposal of
// a sweep sees the sweep's starting state is checked on the whole pass (SmoothTrackTest.cpp).
//
// Most layouts use small whole numbers, so that the normal N and its square are exact floats; each
// half-step then halves a control point's distance to its plane exactly.
#include "tests/SmoothTestSupport.h"

namespace railgrace::testing {
namespace {

TEST(SmoothFlatten, OddAndEvenRingsAndHandleBox) {
    // Vertices 0 and n - 1 (at the angles 0 and above 5) lie at height 50 with the neighbouring
    // control points they see, so both their planes are level at 50. Each has one control point off
    // it, the one the other does not see: cp2 of vertex 0 at 58, cp1 of vertex n - 1 at 42. The
    // rest lie at 90 and keep their handles: vertex 2 because the control points it sees lie in
    // line with it, the others because they are marked, odd ones in space only and even ones in
    // plan only.
    const auto shape = [](double a) { return LoopShape{80, a == 0 || a > 5 ? 50.0 : 90.0, 20}; };
    for (int n : {6, 7}) {
        std::vector<BezierVertex> ring = Loop(n, shape, true);
        ring[1].cp1Y = (ring.end() - 2)->cp2Y = 50;
        ring[0].cp2Y = 58;
        ring.back().cp1Y = 42;
        SetCp2(ring[1], {2 * ring[2].posX - ring[3].cp1X, 90, 2 * ring[2].posZ - ring[3].cp1Z});
        SmoothWork work{};
        for (std::size_t k = 1; k + 1 < ring.size(); ++k)
            if (k != 2) (k % 2 == 1 ? work.straight3d : work.straightPlan)[k] = true;
        std::vector<BezierVertex> expected = ring;
        FlattenControlPoints(ring, work);
        // Vertex 0 is even and gets the full step. Vertex n - 1 is even when n is odd; when n is
        // even it keeps 8 * 2^-20 of its distance (2^-16 after 19 half-steps, 2^-18 after 21).
        expected[0].cp2Y = 50;
        expected.back().cp1Y = n % 2 == 1 ? 50.0f : 50.0f - 0x1p-17f;
        EXPECT_EQ(Bits(ring), Bits(expected)) << n << " vertices";
    }

    // A proposal on a HandleBox bound is rejected whole. Vertex 1 of a Triple and its neighbours'
    // control points lie in a plane across one axis, 8 inside a bound. One control point of vertex
    // 1 (the first at an upper bound, the second at a lower one) lies 16 beyond that plane, so that
    // the first half-step proposes exactly the bound (or 14, just inside); the other lies 4 on the
    // inner side.
    SmoothWork neighboursMarked{};
    neighboursMarked.straight3d = neighboursMarked.straightPlan = {true, false, true};
    const std::pair<float Point3::*, float> bounds[] = {{&Point3::x, 220}, {&Point3::x, -220},
                                                        {&Point3::y, 150}, {&Point3::y, 0},
                                                        {&Point3::z, 220}, {&Point3::z, -220}};
    for (const auto& [member, bound] : bounds) {
        const float side = bound > 0 ? 1.0f : -1.0f, plane = bound - 8 * side;
        // n across the plane; b and d in it, shifted into the box. (A copy of the member pointer,
        // as clang 14 cannot capture a structured binding.)
        const auto at = [axis = member](float n, float b, float d) {
            Point3 p{b, 75 + d, b + d};
            p.*axis = n;
            return p;
        };
        for (float offset : {16.0f, 14.0f}) {
            const float out = plane + side * offset, in = plane - side * 4;
            const std::vector<BezierVertex> before =
                Triple(at(plane, -30, 10), at(side > 0 ? out : in, -10, -5),
                       at(side > 0 ? in : out, 10, 5), at(plane, 30, 10), at(plane, 0, 0));
            std::vector<BezierVertex> after = before;
            FlattenControlPoints(after, neighboursMarked);
            // Vertex 1 is odd, so every offer on the bound is the same rejected half-step.
            EXPECT_EQ(Bits(after) == Bits(before), offset == 16)
                << (member == &Point3::y ? "y " : "x or z ") << bound << ", " << offset;
        }
    }
}

}  // namespace
}  // namespace railgrace::testing
