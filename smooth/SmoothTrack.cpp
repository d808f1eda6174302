// The "Smooth it!" pass: three steps over a copy of the vertex list, so that a refusal or a
// fault at any step leaves the track exactly as it was.
#include <string>
#include <vector>

#include "smooth/Smooth.h"
#include "smooth/SmoothSteps.h"

namespace railgrace {

namespace {

double Distance(Point3 a, Point3 b) {
    const double dx = double{a.x} - double{b.x};
    const double dy = double{a.y} - double{b.y};
    const double dz = double{a.z} - double{b.z};
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

SmoothSummary Summarize(std::span<const BezierVertex> before, std::span<const BezierVertex> after,
                        const SmoothWork& work) {
    SmoothSummary summary;
    summary.vertices = static_cast<int>(after.size());
    for (std::size_t i = 0; i < after.size(); ++i) {
        if (work.straight3d[i]) ++summary.straight3d;
        if (work.straightPlan[i]) ++summary.straightPlan;
        const Point3 oldPos = PosOf(before[i]);
        const Point3 newPos = PosOf(after[i]);
        if (oldPos != newPos) {
            ++summary.movedVertices;
            const double move = Distance(oldPos, newPos);
            if (move > summary.largestMove) summary.largestMove = move;
        }
        if (Cp1Of(before[i]) != Cp1Of(after[i]) || Cp2Of(before[i]) != Cp2Of(after[i])) {
            ++summary.turnedVertices;
        }
    }
    return summary;
}

}  // namespace

void ThrowVertexFault(const char* step, std::size_t vertex, const std::string& detail) {
    throw SmoothError("Smoothing stopped at vertex " + std::to_string(vertex) + " while " + step +
                      ": " + detail + ".");
}

void CheckVertexLimit(std::size_t vertexCount) {
    if (vertexCount > static_cast<std::size_t>(kMaxSmoothVertices)) {
        throw SmoothError("This track has " + std::to_string(vertexCount) +
                          " vertices; smoothing handles at most " +
                          std::to_string(kMaxSmoothVertices) + ".");
    }
}

SmoothSummary SmoothTrack(TrackModel& model) {
    const std::vector<BezierVertex>& original = model.bezrRecords;
    CheckVertexLimit(original.size());

    std::vector<BezierVertex> vertices = original;
    SmoothWork work{};
    MarkStraightSegments(vertices, work);
    FlattenControlPoints(vertices, work);
    PlaceVertices(vertices, work);

    const SmoothSummary summary = Summarize(original, vertices, work);
    model.bezrRecords.swap(vertices);
    return summary;
}

}  // namespace railgrace
