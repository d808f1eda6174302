// Last step of the pass: moves each eligible vertex along the line through its two control
// points to where the path has the same curvature on both sides, and clears auxFlagC.
//
// The curvature of the segment arriving at the vertex is (2/3) lenU sinU / (t |T|)^2, that of the
// segment leaving it (2/3) lenV sinV / ((1 - t) |T|)^2; they are equal at t = r / (1 + r) with
// r = sqrt((sinU / sinV) (lenU / lenV)).
#include <cmath>
#include <string>

#include "smooth/SmoothSteps.h"

namespace railgrace {

namespace {

// Outside these bounds (excluded) one side would be all but straight and the other all but a
// kink; the vertex then stays where it is.
constexpr float kLowestT = 0.05f;
constexpr float kHighestT = 0.95f;

// A vertex at the end of a segment straight in space never moves; one at the end of a segment
// straight only in plan moves only inside a run that is straight in plan on both sides.
bool IsEligible(const SmoothWork& work, std::size_t x, std::size_t p, std::size_t q) {
    if (work.straight3d[x]) return false;
    return !work.straightPlan[x] || (work.straightPlan[p] && work.straightPlan[q]);
}

// Parallel vectors can give a cosine a hair beyond 1 through rounding alone; their sine is 0.
double SineFromCosine(double cosine) {
    const double sineSquared = 1.0 - cosine * cosine;
    return sineSquared < 0.0 ? 0.0 : std::sqrt(sineSquared);
}

[[noreturn]] void ThrowTooFar(std::size_t x) {
    ThrowVertexFault(kPlacingStep, x,
                     "the control points around it lie too far apart to compute with");
}

// The cosines divide by |T|, |U| and |V|: a zero length leaves the vertex without a direction.
void CheckLengths(double absT, double absU, double absV, std::size_t x, std::size_t p,
                  std::size_t q) {
    if (absT == 0) ThrowVertexFault(kPlacingStep, x, "its two control points lie on the same spot");
    if (absU == 0) {
        ThrowVertexFault(kPlacingStep, x,
                         "its first control point lies on the second control point of vertex " +
                             std::to_string(p));
    }
    if (absV == 0) {
        ThrowVertexFault(kPlacingStep, x,
                         "its second control point lies on the first control point of vertex " +
                             std::to_string(q));
    }
}

// r = sqrt(qS qL), or 1 where the leaving side gives nothing to compare with (lenV or sinV zero).
float CurvatureRatio(float lenU, float lenV, double sinU, double sinV, std::size_t x) {
    if (lenV == 0.0f || sinV == 0.0) return 1.0f;
    const float qS = ToFloat(sinU / sinV);
    const float qL = ToFloat(double{lenU} / double{lenV});
    if (!std::isfinite(double{qS} + double{qL})) ThrowTooFar(x);
    // The root of a product of two finite floats is itself within float range.
    return ToFloat(std::sqrt(double{qS} * double{qL}));
}

void PlaceVertex(std::span<BezierVertex> vertices, std::size_t x, std::size_t p, std::size_t q) {
    BezierVertex& vertex = vertices[x];
    const Point3 cp1 = Cp1Of(vertex);
    const Point3 cp2 = Cp2Of(vertex);
    const Point3 t = Minus(cp2, cp1);
    const Point3 u = Minus(cp1, Cp2Of(vertices[p]));
    const Point3 v = Minus(cp2, Cp1Of(vertices[q]));
    if (!std::isfinite(FiniteProbe(t) + FiniteProbe(u) + FiniteProbe(v))) ThrowTooFar(x);
    const float lenU = ToFloat(Length(u));
    const float lenV = ToFloat(Length(v));
    if (!std::isfinite(double{lenU} + double{lenV})) ThrowTooFar(x);

    // The cosines use lengths taken afresh in double, not the stored lenU and lenV.
    const double absT = Length(t);
    const double absU = Length(u);
    const double absV = Length(v);
    CheckLengths(absT, absU, absV, x, p, q);
    const Point3 minusT{-t.x, -t.y, -t.z};
    const double sinU = SineFromCosine(Dot(u, t) / (absU * absT));
    const double sinV = SineFromCosine(Dot(v, minusT) / (absV * absT));

    const float r = CurvatureRatio(lenU, lenV, sinU, sinV, x);
    const float along = ToFloat(1.0 - 1.0 / (double{r} + 1.0));
    if (along > kLowestT && along < kHighestT) {
        // Between the two control points, so within float range.
        SetPos(vertex, {ToStoredFloat(double{cp1.x} + double{along} * double{t.x}),
                        ToStoredFloat(double{cp1.y} + double{along} * double{t.y}),
                        ToStoredFloat(double{cp1.z} + double{along} * double{t.z})});
    }
}

}  // namespace

void PlaceVertices(std::span<BezierVertex> vertices, const SmoothWork& work) {
    const std::size_t n = vertices.size();
    // Only control points feed a vertex's new position, and this step moves none, so the order of
    // the sweep does not matter.
    for (std::size_t x = 0; x < n; ++x) {
        if (IsEligible(work, x, PrevIndex(x, n), NextIndex(x, n))) {
            PlaceVertex(vertices, x, PrevIndex(x, n), NextIndex(x, n));
        }
        vertices[x].auxFlagC = false;
    }
}

}  // namespace railgrace
