// Flattening of control points: 20 half-steps towards the plane of the neighbours, a full step at
// every second vertex, HandleBox, and the vertices that keep their handles.
//
// Most layouts use small whole numbers, so that the normal N and its square are exact floats; each
// half-step then halves a control point's distance to its plane exactly.
#include "tests/SmoothTestSupport.h"

namespace railgrace::testing {
namespace {

std::vector<BezierVertex> Flattened(std::vector<BezierVertex> vertices, SmoothWork work) {
    FlattenControlPoints(vertices, work);
    return vertices;
}

TEST(SmoothFlatten, OddAndEvenRings) {
    // Vertices 0 and n - 1 lie at height 50 with the neighbouring control points they see, so both
    // their planes are level at 50. Each has one control point off it, the one the other does not
    // see: cp2 of vertex 0 at 58, cp1 of vertex n - 1 at 42. The rest lie at 90 and keep their
    // handles: vertex 2 because the control points it sees lie in line with it, the others because
    // they are marked, odd ones in space only and even ones in plan only.
    const auto flat = [](double) { return LoopShape{80, 90, 20, 0}; };
    for (int n : {6, 7}) {
        std::vector<BezierVertex> ring = Loop(n, flat, true);
        const std::size_t last = ring.size() - 1;
        for (BezierVertex* v : {&ring[0], &ring[last]}) v->posY = v->cp1Y = v->cp2Y = 50;
        ring[1].cp1Y = ring[last - 1].cp2Y = 50;
        ring[0].cp2Y = 58;
        ring[last].cp1Y = 42;
        SetCp2(ring[1], {2 * ring[2].posX - ring[3].cp1X, 90, 2 * ring[2].posZ - ring[3].cp1Z});
        SmoothWork work{};
        for (std::size_t k = 1; k < last; ++k) {
            if (k != 2) (k % 2 == 1 ? work.straight3d : work.straightPlan)[k] = true;
        }
        const std::vector<BezierVertex> flattened = Flattened(ring, work);
        // Vertex 0 is even and gets the full step. Vertex n - 1 is even when n is odd; when n is
        // even it keeps 8 * 2^-20 of its distance (2^-16 after 19 half-steps, 2^-18 after 21).
        ring[0].cp2Y = 50;
        ring[last].cp1Y = n % 2 == 1 ? 50.0f : 50.0f - 0x1p-17f;
        EXPECT_EQ(Bits(flattened), Bits(ring)) << n << " vertices";
    }
}

TEST(SmoothFlatten, EveryProposalOfASweepSeesTheSweepsStartingState) {
    // Turning an even loop by two vertices keeps every vertex's parity, so the result turns with
    // it; it would not if a proposal saw the changes made before it in its sweep from vertex 0.
    const std::vector<BezierVertex> loop = Loop(36, Hills);
    std::vector<BezierVertex> turned = loop;
    std::rotate(turned.begin(), turned.begin() + 2, turned.end());
    turned = Flattened(turned, {});
    std::rotate(turned.begin(), turned.end() - 2, turned.end());
    EXPECT_EQ(Bits(turned), Bits(Flattened(loop, {})));
    EXPECT_NE(Bits(turned), Bits(loop));
}

TEST(SmoothFlatten, ProposalOnAHandleBoxBoundIsRejectedWhole) {
    // Vertex 1 and its neighbours' control points lie in a plane across one axis, 8 inside a bound.
    // One control point of vertex 1 lies 16 beyond that plane, so that the first half-step proposes
    // exactly the bound (or 14, just inside); the other lies 4 on the inner side.
    const struct {
        std::size_t axis;
        float bound;
        bool secondHits;
    } cases[] = {{0, 220, false}, {0, -220, true}, {1, 150, false},
                 {1, 0, true},    {2, 220, true},  {2, -220, false}};
    for (const auto& c : cases) {
        const float side = c.bound > 0 ? 1.0f : -1.0f, plane = c.bound - 8 * side;
        // n across the plane; b and d in it, shifted into the box.
        const auto at = [&](float n, float b, float d) {
            F3 p{b, 75 + d, b + d};
            p[c.axis] = n;
            return P3(p);
        };
        for (float offset : {16.0f, 14.0f}) {
            const float out = plane + side * offset, in = plane - side * 4;
            const std::vector<BezierVertex> before =
                Triple(at(plane, -30, 10), at(c.secondHits ? in : out, -10, -5),
                       at(c.secondHits ? out : in, 10, 5), at(plane, 30, 10), at(plane, 0, 0));
            // Vertex 1 is odd, so every offer on the bound is the same rejected half-step.
            EXPECT_EQ(Bits(Flattened(before, NeighboursMarked())) == Bits(before), offset == 16)
                << c.axis << " " << c.bound << " " << offset;
        }
    }
}

}  // namespace
}  // namespace railgrace::testing
