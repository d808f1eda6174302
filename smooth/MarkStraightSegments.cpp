// First step of the pass: marks the vertices at both ends of every segment that is straight in
// space or in plan, so that the later steps leave straight track alone.
#include <cmath>
#include <string>

#include "smooth/SmoothSteps.h"

namespace railgrace {

namespace {

// Admits angles below about 3.6 degrees between each pair of the three vectors; a cosine of
// exactly this value does not count.
constexpr double kStraightCosine = 0.998;

// On a straight segment with its control points in order along the chord, all three point the
// same way: a from the first inner control point back to the start, b from the end back to the
// second inner control point, c from the end to the start.
struct SegmentVectors {
    Point3 a, b, c;
};

[[noreturn]] void ThrowNotFinite(std::size_t vertex, const char* pointName) {
    ThrowVertexFault(
        kMarkingStep, vertex,
        std::string("its ") + pointName + " has a coordinate that is infinite or not a number");
}

// The difference `from - to` of two points of one vertex; a difference that is not finite comes
// from a point that is not finite or from two points too far apart to subtract.
Point3 CheckedDifference(std::size_t vertex, Point3 from, const char* fromName, Point3 to,
                         const char* toName, const char* tooFarDetail) {
    const Point3 d = Minus(from, to);
    if (IsFinite(d)) return d;
    if (!IsFinite(from)) ThrowNotFinite(vertex, fromName);
    if (!IsFinite(to)) ThrowNotFinite(vertex, toName);
    ThrowVertexFault(kMarkingStep, vertex, tooFarDetail);
}

SegmentVectors FormSegmentVectors(std::span<const BezierVertex> vertices, std::size_t i,
                                  std::size_t j) {
    const BezierVertex& start = vertices[i];
    const BezierVertex& end = vertices[j];
    SegmentVectors s;
    s.a = CheckedDifference(i, PosOf(start), "position", Cp2Of(start), "second control point",
                            "its second control point lies too far from its position to compute "
                            "with");
    s.b = CheckedDifference(j, Cp1Of(end), "first control point", PosOf(end), "position",
                            "its first control point lies too far from its position to compute "
                            "with");
    // Both positions are finite by now, so only their distance can be at fault.
    s.c = Minus(PosOf(start), PosOf(end));
    if (!IsFinite(s.c)) {
        ThrowVertexFault(kMarkingStep, i,
                         "it lies too far from vertex " + std::to_string(j) + " to compute with");
    }
    return s;
}

// The spatial test divides by the three lengths without a guard: a zero length is a degenerate
// track, not a segment that merely fails the test.
bool IsStraightInSpace(const SegmentVectors& s, std::size_t i, std::size_t j) {
    const double lenA = Length(s.a);
    const double lenB = Length(s.b);
    const double lenC = Length(s.c);
    if (lenA == 0)
        ThrowVertexFault(kMarkingStep, i, "its second control point lies on its position");
    if (lenB == 0)
        ThrowVertexFault(kMarkingStep, j, "its first control point lies on its position");
    if (lenC == 0) {
        ThrowVertexFault(kMarkingStep, i,
                         i == j ? "it is the only vertex of the track, and smoothing needs at "
                                  "least two"
                                : "it lies at the same position as vertex " + std::to_string(j));
    }
    const double cosAB = Dot(s.a, s.b) / (lenA * lenB);
    const double cosAC = Dot(s.a, s.c) / (lenA * lenC);
    const double cosBC = Dot(s.b, s.c) / (lenB * lenC);
    return cosAB > kStraightCosine && cosAC > kStraightCosine && cosBC > kStraightCosine;
}

double PlanLength(Point3 a) {
    return std::sqrt(double{a.x} * double{a.x} + double{a.z} * double{a.z});
}

double PlanDot(Point3 a, Point3 b) {
    return double{a.x} * double{b.x} + double{a.z} * double{b.z};
}

// A vector without extent in plan (vertical, or zero) has no direction there: the test is
// skipped rather than failed.
bool IsStraightInPlan(const SegmentVectors& s) {
    const double hA = PlanLength(s.a);
    const double hB = PlanLength(s.b);
    const double hC = PlanLength(s.c);
    const double pAB = hA * hB;
    const double pAC = hA * hC;
    const double pBC = hB * hC;
    if (pAB == 0 || pAC == 0 || pBC == 0) return false;
    return PlanDot(s.a, s.b) / pAB > kStraightCosine && PlanDot(s.a, s.c) / pAC > kStraightCosine &&
           PlanDot(s.b, s.c) / pBC > kStraightCosine;
}

}  // namespace

void MarkStraightSegments(std::span<const BezierVertex> vertices, SmoothWork& work) {
    const std::size_t n = vertices.size();
    for (std::size_t i = 0; i < n; ++i) {
        work.straight3d[i] = false;
        work.straightPlan[i] = false;
    }
    // Marks are only ever set: a vertex is marked when either of its two segments passes.
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t j = NextIndex(i, n);
        const SegmentVectors s = FormSegmentVectors(vertices, i, j);
        if (IsStraightInSpace(s, i, j)) {
            work.straight3d[i] = work.straight3d[j] = true;
            work.straightPlan[i] = work.straightPlan[j] = true;
        }
        if (IsStraightInPlan(s)) work.straightPlan[i] = work.straightPlan[j] = true;
    }
}

}  // namespace railgrace
