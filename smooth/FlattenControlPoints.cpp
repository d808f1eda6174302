// Second step of the pass: turns the two control points of every unmarked vertex towards the
// plane through the vertex and its neighbours' nearest control points, so that the path does
// not twist at the vertex. Positions do not move.
#include <cmath>

#include "smooth/SmoothSteps.h"

namespace railgrace {

namespace {

// Twenty half-steps bring a control point to within a millionth of its distance from the plane;
// the full step that follows at every second vertex finishes the job there.
constexpr int kDampedIterations = 20;

// Control points may only be moved to where the track may stand; the bounds are excluded.
constexpr float kBoxMinX = -220.0f;
constexpr float kBoxMaxX = 220.0f;
constexpr float kBoxMinY = 0.0f;
constexpr float kBoxMaxY = 150.0f;
constexpr float kBoxMinZ = -220.0f;
constexpr float kBoxMaxZ = 220.0f;

bool InsideHandleBox(Point3 p) {
    return p.x > kBoxMinX && p.x < kBoxMaxX && p.y > kBoxMinY && p.y < kBoxMaxY && p.z > kBoxMinZ &&
           p.z < kBoxMaxZ;
}

Point3 Cross(Point3 a, Point3 b) {
    return {ToFloat(double{a.y} * double{b.z} - double{a.z} * double{b.y}),
            ToFloat(double{a.z} * double{b.x} - double{a.x} * double{b.z}),
            ToFloat(double{a.x} * double{b.y} - double{a.y} * double{b.x})};
}

// The foot of point on the plane through the vertex with the given normal; s is
// normal . (point - vertex position) and nn is normal . normal, both as stored floats.
Point3 Project(Point3 point, Point3 normal, float s, float nn) {
    return {ToFloat(double{point.x} - double{normal.x} * double{s} / double{nn}),
            ToFloat(double{point.y} - double{normal.y} * double{s} / double{nn}),
            ToFloat(double{point.z} - double{normal.z} * double{s} / double{nn})};
}

// Halfway from a point to its projection: the mean of two finite floats is finite. The result
// is only stored, so it needs no shield from the optimiser (see ToFloat).
Point3 Halfway(Point3 projected, Point3 point) {
    return {ToStoredFloat((double{projected.x} + double{point.x}) / 2.0),
            ToStoredFloat((double{projected.y} + double{point.y}) / 2.0),
            ToStoredFloat((double{projected.z} + double{point.z}) / 2.0)};
}

[[noreturn]] void ThrowTooFar(std::size_t x) {
    ThrowVertexFault(kFlatteningStep, x,
                     "the control points around it lie too far apart to compute with");
}

// Leaves the proposal of vertex x in newCp1 and newCp2 and returns a probe that is finite exactly
// when every value the proposal formed is finite. Writes only to the proposal arrays, so that
// every proposal of a sweep sees the vertices as they stood at the start of the sweep.
template <bool damped>
double Propose(std::span<const BezierVertex> vertices, SmoothWork& work, std::size_t x) {
    const Point3 cp1 = Cp1Of(vertices[x]);
    const Point3 cp2 = Cp2Of(vertices[x]);
    work.newCp1[x] = cp1;
    work.newCp2[x] = cp2;
    if (work.straightPlan[x] || work.straight3d[x]) return 0;

    const std::size_t n = vertices.size();
    const Point3 pos = PosOf(vertices[x]);
    const Point3 d1 = Minus(Cp2Of(vertices[PrevIndex(x, n)]), pos);
    const Point3 d2 = Minus(Cp1Of(vertices[NextIndex(x, n)]), pos);
    const Point3 normal = Cross(d1, d2);
    const Point3 e1 = Minus(cp1, pos);
    const Point3 e2 = Minus(cp2, pos);
    const float s1 = ToFloat(Dot(normal, e1));
    const float s2 = ToFloat(Dot(normal, e2));
    const float nn = ToFloat(Dot(normal, normal));
    // A value above that is not finite reaches s1, s2 or nn: an infinite component of D1 or D2
    // meets a zero (giving NaN) or not (giving an infinity) in every product of N that uses it,
    // and one of E1, E2 or N meets the other in s1, s2 and nn in the same way.
    const double probe = double{s1} + double{s2} + double{nn};

    // Neighbours' control points in line with the vertex span no plane.
    if (nn == 0.0f) return probe;

    const Point3 p1 = Project(cp1, normal, s1, nn);
    const Point3 p2 = Project(cp2, normal, s2, nn);
    if constexpr (damped) {
        work.newCp1[x] = Halfway(p1, cp1);
        work.newCp2[x] = Halfway(p2, cp2);
    } else {
        work.newCp1[x] = p1;
        work.newCp2[x] = p2;
    }
    return probe + FiniteProbe(p1) + FiniteProbe(p2);
}

// One proposal sweep over every `stride`-th vertex from 0. Faults are looked for once per sweep:
// a probe sums at most 9 floats per vertex, so the sum over the sweep is finite exactly when all
// its values are. Only then is the sweep proposed again, vertex by vertex, to find the first
// vertex at fault; proposals change no vertex, so the second run sees what the first saw.
template <bool damped>
void ProposeSweep(std::span<const BezierVertex> vertices, SmoothWork& work, std::size_t stride) {
    double probe = 0;
    for (std::size_t x = 0; x < vertices.size(); x += stride) {
        probe += Propose<damped>(vertices, work, x);
    }
    if (std::isfinite(probe)) return;
    for (std::size_t x = 0; x < vertices.size(); x += stride) {
        if (!std::isfinite(Propose<damped>(vertices, work, x))) ThrowTooFar(x);
    }
}

// All or nothing per vertex: a proposal with one coordinate on or beyond HandleBox is dropped
// whole, never clamped.
void WriteBack(std::span<BezierVertex> vertices, const SmoothWork& work, std::size_t y) {
    if (InsideHandleBox(work.newCp1[y]) && InsideHandleBox(work.newCp2[y])) {
        SetCp1(vertices[y], work.newCp1[y]);
        SetCp2(vertices[y], work.newCp2[y]);
    }
}

void WriteBackAll(std::span<BezierVertex> vertices, const SmoothWork& work) {
    for (std::size_t y = 0; y < vertices.size(); ++y) WriteBack(vertices, work, y);
}

}  // namespace

void FlattenControlPoints(std::span<BezierVertex> vertices, SmoothWork& work) {
    for (int k = 0; k < kDampedIterations; ++k) {
        ProposeSweep<true>(vertices, work, 1);
        WriteBackAll(vertices, work);
    }
    // Every second vertex, from 0. Odd vertices keep their proposals from the last iteration,
    // which the last write-back has already applied or refused; offering them again changes
    // nothing.
    ProposeSweep<false>(vertices, work, 2);
    WriteBackAll(vertices, work);
}

}  // namespace railgrace
